#include "send/RunResultsPanel.h"

#include "models/RunResultsTableModel.h"
#include "window/Controls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace quillcast::gui {

namespace {

QPushButton *commandButton(const QString &text, const QString &name, const QString &tip, QWidget *parent)
{
    auto *button = namedControl<QPushButton>(name, text, parent);
    button->setText(text);
    button->setToolTip(tip);
    button->setAutoDefault(false);
    button->setEnabled(false);
    return button;
}

} // namespace

RunResultsPanel::RunResultsPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("runResultsPanel"));

    m_table = namedControl<QTableView>(QStringLiteral("runResultsTable"), tr("Results of the last run"), this);
    setUpReadOnlyRowTable(m_table);
    auto *heading = buddyLabel(tr("Results of the last run:"), m_table, this);

    m_counts = namedControl<QLabel>(QStringLiteral("runResultsCountsLine"), tr("Result counts"), this);
    m_counts->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_retry = commandButton(tr("Retry Failed"), QStringLiteral("retryFailedButton"),
                            tr("Send again to the recipients whose message failed or was refused for now"), this);
    m_check = commandButton(tr("Check Failed"), QStringLiteral("checkFailedButton"),
                            tr("Check the records whose message failed or was refused, and only those (undoable)"),
                            this);
    m_export = commandButton(tr("Export Results…"), QStringLiteral("exportResultsButton"),
                             tr("Write the results of the last run to a CSV file"), this);

    auto *header = new QHBoxLayout;
    header->addWidget(heading);
    header->addStretch(1);
    header->addWidget(m_counts);

    auto *commands = new QHBoxLayout;
    commands->addWidget(m_retry);
    commands->addWidget(m_check);
    commands->addStretch(1);
    commands->addWidget(m_export);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(header);
    layout->addWidget(m_table, 1);
    layout->addLayout(commands);

    setTabOrder(m_table, m_retry);
    setTabOrder(m_retry, m_check);
    setTabOrder(m_check, m_export);
    showCounts();
}

void RunResultsPanel::setResults(RunResultsModel *results)
{
    if (m_results)
        disconnect(m_results, nullptr, this, nullptr);
    m_results = results;
    RunResultsTableModel *old = m_model;
    m_model = results ? new RunResultsTableModel(*results, this) : nullptr;
    m_table->setModel(m_model);
    delete old;
    if (results) {
        connect(results, &RunResultsModel::countsChanged, this, &RunResultsPanel::showCounts);
        // A new run, or another loaded: what could not be read is past.
        connect(results, &RunResultsModel::modelReset, this, [this] { m_problem.clear(); });
        const QFontMetrics metrics = m_table->fontMetrics();
        m_table->setColumnWidth(RunResultsTableModel::Address,
                                metrics.horizontalAdvance(QStringLiteral("firstname.last@example.org")));
        m_table->setColumnWidth(RunResultsTableModel::Outcome, metrics.horizontalAdvance(tr("Awaiting answer")) + 16);
        m_table->setColumnWidth(RunResultsTableModel::Time,
                                metrics.horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 16);
    }
    showCounts();
}

void RunResultsPanel::setProblem(const QString &problem)
{
    m_problem = problem;
    showCounts();
}

QString RunResultsPanel::countsText(const RunResultsModel::Counts &counts, bool anyRun)
{
    if (!anyRun)
        return tr("No send run yet");
    QString text = tr("Accepted: %1  Refused: %2  Failed: %3  Unknown: %4")
                       .arg(counts.accepted)
                       .arg(counts.refused)
                       .arg(counts.failed)
                       .arg(counts.unknown);
    if (counts.awaiting > 0)
        text += tr("  Awaiting answer: %1").arg(counts.awaiting);
    if (counts.notSent > 0)
        text += tr("  Not sent: %1").arg(counts.notSent);
    return text;
}

void RunResultsPanel::showCounts()
{
    if (!m_problem.isEmpty()) {
        m_counts->setText(tr("The results of the last run could not be read"));
        m_counts->setToolTip(m_problem);
        return;
    }
    m_counts->setToolTip(QString());
    const bool anyRun = m_results && !m_results->journalPath().isEmpty();
    m_counts->setText(countsText(m_results ? m_results->counts() : RunResultsModel::Counts(), anyRun));
}

} // namespace quillcast::gui
