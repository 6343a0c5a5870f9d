#include "prefs/ConnectionTableModel.h"

#include "connections/ConnectionList.h"

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

QList<Dict> connectionsOf(const ConnectionList &connections)
{
    QList<Dict> rows;
    for (const Value &entry : connections.connectionArray().items())
        rows.append(entry.toDict());
    return rows;
}

bool sameConnections(const QList<Dict> &a, const QList<Dict> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a.at(i).identity() != b.at(i).identity())
            return false;
    }
    return true;
}

} // namespace

ConnectionTableModel::ConnectionTableModel(ConnectionList &connections, QObject *parent)
    : QAbstractTableModel(parent),
      m_connections(connections),
      m_rows(connectionsOf(connections))
{
    connect(&connections, &ConnectionList::connectionInserted, this, &ConnectionTableModel::inserted);
    connect(&connections, &ConnectionList::connectionRemoved, this, &ConnectionTableModel::removed);
    connect(&connections, &ConnectionList::connectionEdited, this, &ConnectionTableModel::edited);
    connect(&connections, &ConnectionList::connectionArrayChanged, this, &ConnectionTableModel::listChanged);
}

int ConnectionTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ConnectionTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ConnectionTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::AccessibleTextRole)
        return {};
    const Dict &connection = m_rows.at(index.row());
    switch (index.column()) {
    case DescriptionColumn:
        return connection.stringValue(u"mailServerDescription"_s);
    case ServerColumn:
        return connection.stringValue(u"mailServerName"_s);
    default:
        return {};
    }
}

QVariant ConnectionTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case DescriptionColumn:
        return u"Description"_s;
    case ServerColumn:
        return u"Server"_s;
    default:
        return {};
    }
}

void ConnectionTableModel::inserted(qsizetype row)
{
    const Dict connection = m_connections.connectionArray().at(row).toDict();
    beginInsertRows({}, int(row), int(row));
    m_rows.insert(row, connection);
    endInsertRows();
}

void ConnectionTableModel::removed(qsizetype row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    beginRemoveRows({}, int(row), int(row));
    m_rows.removeAt(row);
    endRemoveRows();
}

void ConnectionTableModel::edited(qsizetype row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    Q_EMIT dataChanged(index(int(row), 0), index(int(row), ColumnCount - 1));
}

void ConnectionTableModel::listChanged()
{
    QList<Dict> rows = connectionsOf(m_connections);
    if (sameConnections(rows, m_rows))
        return;
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

} // namespace quillcast::gui
