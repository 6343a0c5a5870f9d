#pragma once

#include "util/Dict.h"

#include <QAbstractTableModel>
#include <QList>

namespace quillcast {
class ConnectionList;
}

namespace quillcast::gui {

// The table of the user's SMTP connections: one row per connection, in the
// list's order, showing its description and its server.
//
// The list announces each connection added, removed or edited, and the model
// passes each on as that row alone, so the table keeps its selection and
// scroll position; only a list read anew (at launch) resets it.
class ConnectionTableModel final : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { DescriptionColumn = 0, ServerColumn = 1, ColumnCount };

    explicit ConnectionTableModel(ConnectionList &connections, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void inserted(qsizetype row);
    void removed(qsizetype row);
    void edited(qsizetype row);
    // Resets the rows when they no longer match the list.
    void listChanged();

    ConnectionList &m_connections;
    // The connections as the table last announced them (handles: their
    // fields are read where they live).
    QList<Dict> m_rows;
};

} // namespace quillcast::gui
