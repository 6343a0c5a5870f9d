#include "window/ProgressSheet.h"

#include "window/Controls.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

// The bar counts in steps of its own: a file's bytes do not fit an int.
constexpr int kBarSteps = 1000;

} // namespace

ProgressSheet::ProgressSheet(const QString &objectName, const QString &message, QWidget *window)
    : QDialog(window)
{
    setObjectName(objectName);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(message);
    setAccessibleName(message);

    m_message = new QLabel(message, this);
    m_message->setObjectName(u"progressMessage"_s);
    m_bar = namedControl<QProgressBar>(u"progressBar"_s, message, this);
    m_bar->setRange(0, 0);
    m_bar->setMinimumWidth(320);
    m_cancel = namedControl<QPushButton>(u"cancelProgressButton"_s, u"Cancel"_s, this);
    m_cancel->setText(u"Cancel"_s);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_message);
    layout->addWidget(m_bar);
    layout->addWidget(buttons);
}

void ProgressSheet::setProgress(qint64 done, qint64 total)
{
    if (total <= 0) {
        m_bar->setRange(0, 0);
        return;
    }
    m_bar->setRange(0, kBarSteps);
    m_bar->setValue(int(std::clamp<qint64>(done, 0, total) * kBarSteps / total));
}

} // namespace quillcast::gui
