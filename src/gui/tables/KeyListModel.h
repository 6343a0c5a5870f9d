#pragma once

#include <QAbstractListModel>
#include <QPointer>

namespace quillcast {
class MyDocument;
}

namespace quillcast::gui {

// The key list of the database page: one row per DB key of the mailing, in
// column order, showing the key's public name. The fixed keys ("#", "sel",
// "email") cannot be renamed; the others are renamed through the key
// commands, which refuse a blank name or one another key has already.
//
// The list is short (one row per column), so a change of the keys resets it;
// a rename is announced as its row alone.
class KeyListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit KeyListModel(MyDocument &document, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // A rename the key-name rule turned down; the key kept its name.
    void renameRefused(int row, const QString &typed);

private:
    void keysChanged();
    QString nameAt(int row) const;

    QPointer<MyDocument> m_doc;
    int m_rows = 0;
};

} // namespace quillcast::gui
