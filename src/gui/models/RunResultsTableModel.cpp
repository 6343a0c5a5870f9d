#include "models/RunResultsTableModel.h"

#include <QLocale>

namespace quillcast::gui {

using Outcome = RunResultsModel::Outcome;

RunResultsTableModel::RunResultsTableModel(RunResultsModel &results, QObject *parent)
    : QAbstractTableModel(parent), m_results(&results)
{
    connect(&results, &RunResultsModel::modelAboutToBeReset, this, &RunResultsTableModel::beginResetModel);
    connect(&results, &RunResultsModel::modelReset, this, &RunResultsTableModel::endResetModel);
    connect(&results, &RunResultsModel::rowsAboutToBeInserted, this, [this](qsizetype first, qsizetype last) {
        beginInsertRows(QModelIndex(), int(first), int(last));
    });
    connect(&results, &RunResultsModel::rowsInserted, this, [this] { endInsertRows(); });
    connect(&results, &RunResultsModel::rowChanged, this, [this](qsizetype row) {
        Q_EMIT dataChanged(index(int(row), 0), index(int(row), ColumnCount - 1));
    });
    connect(&results, &QObject::destroyed, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int RunResultsTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_results ? 0 : int(m_results->rowCount());
}

int RunResultsTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString RunResultsTableModel::outcomeText(const RunResultsModel::Row &row)
{
    if (row.awaiting)
        return tr("Awaiting answer");
    switch (row.outcome) {
    case Outcome::Accepted:
        return tr("Accepted");
    case Outcome::Refused:
        return row.code >= 500 ? tr("Refused") : tr("Refused for now");
    case Outcome::Failed:
        return tr("Failed");
    case Outcome::Unknown:
        return tr("Unknown");
    case Outcome::NotAttempted:
        return tr("Not sent");
    }
    return QString();
}

QString RunResultsTableModel::replyText(const RunResultsModel::Row &row)
{
    if (row.outcome == Outcome::Refused && row.code != 0)
        return QString::number(row.code) + u' ' + row.reply;
    return row.reply;
}

QVariant RunResultsTableModel::data(const QModelIndex &index, int role) const
{
    if (!m_results || !index.isValid() || index.row() >= m_results->rowCount())
        return QVariant();
    const RunResultsModel::Row &row = m_results->row(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (index.column()) {
        case Address:
            return row.address;
        case Outcome:
            return outcomeText(row);
        case Reply:
            return replyText(row);
        case Time:
            if (!row.time.isValid())
                return QString();
            return role == Qt::ToolTipRole ? QLocale().toString(row.time.toLocalTime(), QLocale::LongFormat)
                                           : row.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        default:
            break;
        }
    }
    return QVariant();
}

QVariant RunResultsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case Address:
        return tr("Address");
    case Outcome:
        return tr("Outcome");
    case Reply:
        return tr("Server Reply");
    case Time:
        return tr("Time");
    default:
        return QVariant();
    }
}

} // namespace quillcast::gui
