#include "send/RunProgressPanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <limits>

namespace quillcast::gui {

RunProgressPanel::RunProgressPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("runProgressPanel"));

    m_action = new QLabel(this);
    m_action->setObjectName(QStringLiteral("runActionLine"));
    m_action->setAccessibleName(tr("Progress"));
    m_action->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("runProgressBar"));
    m_bar->setAccessibleName(tr("Messages handled"));
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_bar->setTextVisible(true);

    m_estimate = new QLabel(this);
    m_estimate->setObjectName(QStringLiteral("runEstimateLine"));
    m_estimate->setAccessibleName(tr("Remaining time"));

    m_cancel = new QPushButton(tr("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancelRunButton"));
    m_cancel->setAccessibleName(tr("Cancel"));
    m_cancel->setToolTip(tr("Stop the run before its next message"));
    // The page enables it: a run is still active while the server's answers
    // are awaited, after the progress has ended.
    m_cancel->setEnabled(false);
    connect(m_cancel, &QPushButton::clicked, this, &RunProgressPanel::cancelRequested);

    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_action, 0, 0);
    layout->addWidget(m_estimate, 0, 1, Qt::AlignRight);
    layout->addWidget(m_bar, 1, 0, 1, 2);
    layout->addWidget(m_cancel, 1, 2);
    layout->setColumnStretch(0, 1);
}

void RunProgressPanel::setProgress(quillcast::SendProgress *progress)
{
    if (m_progress)
        disconnect(m_progress, nullptr, this, nullptr);
    m_progress = progress;
    if (!progress) {
        show(SendProgress::Snapshot());
        return;
    }
    // Queued on the way from the worker already: each snapshot arrives on
    // this thread as it was when the run made it.
    connect(progress, &SendProgress::changed, this, &RunProgressPanel::show);
    show(progress->snapshot());
}

void RunProgressPanel::show(const quillcast::SendProgress::Snapshot &snapshot)
{
    // The bar's range is an int; a longer run is shown scaled.
    const qint64 length = snapshot.length;
    const qint64 scale = length > std::numeric_limits<int>::max() ? length / std::numeric_limits<int>::max() + 1 : 1;
    qint64 handled = snapshot.position;
    // A run that handled every record ends with the position of its last one.
    if (!snapshot.running && snapshot.action.startsWith(QLatin1String("Done.")))
        handled = length;
    handled = std::min(handled, length);
    m_bar->setRange(0, int(std::max<qint64>(length / scale, 1)));
    m_bar->setValue(int(handled / scale));
    m_bar->setFormat(length > 0 ? tr("%1 of %2").arg(handled).arg(length) : QString());
    m_action->setText(snapshot.action);
    m_estimate->setText(snapshot.estimate);
}

} // namespace quillcast::gui
