#pragma once

#include "send/RunResultsModel.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;
class QTableView;

namespace quillcast::gui {

class RunResultsTableModel;

// The results of the mailing's last send run on the send page: a line of
// counts ("Accepted: 2  Refused: 1  Failed: 0  Unknown: 0"), the table of
// recipients tried, and the commands on them (the page enables them and
// does what they ask).
class RunResultsPanel : public QWidget
{
    Q_OBJECT

public:
    explicit RunResultsPanel(QWidget *parent = nullptr);

    // Shows results (null: none).
    void setResults(quillcast::RunResultsModel *results);
    // Shown in place of the counts when the last run's journal could not be read.
    void setProblem(const QString &problem);

    static QString countsText(const quillcast::RunResultsModel::Counts &counts, bool anyRun);

    QTableView *table() const { return m_table; }
    QLabel *countsLine() const { return m_counts; }
    QPushButton *retryButton() const { return m_retry; }
    QPushButton *checkButton() const { return m_check; }
    QPushButton *exportButton() const { return m_export; }

private:
    void showCounts();

    QPointer<quillcast::RunResultsModel> m_results;
    RunResultsTableModel *m_model = nullptr;
    QLabel *m_counts = nullptr;
    QTableView *m_table = nullptr;
    QPushButton *m_retry = nullptr;
    QPushButton *m_check = nullptr;
    QPushButton *m_export = nullptr;
    QString m_problem;
};

} // namespace quillcast::gui
