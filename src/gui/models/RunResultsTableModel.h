#pragma once

#include "send/RunResultsModel.h"

#include <QAbstractTableModel>
#include <QPointer>

namespace quillcast::gui {

// The send page's results table over the results of the last run: one row
// per recipient tried (address, outcome, time, the server's reply: the
// longest, last, where the table has room for it). Passes
// on each row the run adds or changes as that row alone; only a new run, or
// another run loaded, resets the table.
class RunResultsTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Address, Outcome, Time, Reply, ColumnCount };

    explicit RunResultsTableModel(quillcast::RunResultsModel &results, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static QString outcomeText(const quillcast::RunResultsModel::Row &row);
    // A refusal's reply with its code first, as the server said it.
    static QString replyText(const quillcast::RunResultsModel::Row &row);

private:
    // The results go with the session, which may go before the page.
    QPointer<quillcast::RunResultsModel> m_results;
};

} // namespace quillcast::gui
