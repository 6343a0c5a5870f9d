#include "tables/KeyListModel.h"

#include "database/KeyCommands.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"

#include <QFont>

namespace quillcast::gui {

KeyListModel::KeyListModel(MyDocument &document, QObject *parent)
    : QAbstractListModel(parent), m_doc(&document), m_rows(int(document.keyArray().size()))
{
    connect(&document, &MyDocument::keyArrayChanged, this, &KeyListModel::keysChanged);
    connect(&document, &MyDocument::keyNameChanged, this, [this](qsizetype row, const QString &) {
        if (row >= 0 && row < m_rows)
            Q_EMIT dataChanged(index(int(row)), index(int(row)));
    });
}

void KeyListModel::keysChanged()
{
    beginResetModel();
    m_rows = m_doc ? int(m_doc->keyArray().size()) : 0;
    endResetModel();
}

QString KeyListModel::nameAt(int row) const
{
    if (!m_doc)
        return {};
    const Value key = m_doc->keyArray().at(row);
    return key.isDict() ? key.toDict().stringValue(DocumentKeys::publicKey()) : QString();
}

int KeyListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

QVariant KeyListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::AccessibleTextRole:
        return nameAt(index.row());
    case Qt::FontRole:
        if (!KeyCommands::shouldEditKeyRow(index.row())) {
            // The fixed keys read as such: they cannot be renamed.
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    case Qt::ToolTipRole:
        if (!KeyCommands::shouldEditKeyRow(index.row()))
            return tr("A fixed column: it cannot be renamed or deleted");
        return tr("Merge tag: %1").arg(m_doc ? m_doc->tagFromKey(nameAt(index.row())) : QString());
    default:
        return {};
    }
}

bool KeyListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!m_doc || role != Qt::EditRole || !index.isValid() || !KeyCommands::shouldEditKeyRow(index.row()))
        return false;
    const QString typed = value.toString();
    if (typed == nameAt(index.row()))
        return true;
    if (!KeyCommands(*m_doc).renameKey(index.row(), typed)) {
        // The editor showed the refused text: the row shows the kept name again.
        Q_EMIT dataChanged(index, index);
        Q_EMIT renameRefused(index.row(), typed);
        return false;
    }
    return true;
}

Qt::ItemFlags KeyListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (KeyCommands::shouldEditKeyRow(index.row()))
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant KeyListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && (role == Qt::DisplayRole || role == Qt::AccessibleTextRole))
        return tr("DB Keys");
    return {};
}

} // namespace quillcast::gui
