#include "database/KeyCommands.h"

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/AlertPresenter.h"
#include "platform/MainLoop.h"

#include <QPointer>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

bool isFixedInnerKey(const QString &inner)
{
    return inner == DocumentKeys::numberInnerKey() || inner == DocumentKeys::checkedInnerKey()
        || inner == DocumentKeys::emailInnerKey();
}

} // namespace

KeyCommands::KeyCommands(MyDocument &document) : KeyCommands(document, document.mainLoop())
{
}

QString KeyCommands::insertNewColumnInTable()
{
    const QString inner = m_doc.getUniqueNewInnerColName();
    // Two keys of one name would give one merge tag for two columns.
    QString name = u"KEY"_s + inner;
    for (qint64 n = inner.toLongLong() + 1; indexOfPublicKey(name) >= 0; ++n)
        name = u"KEY"_s + QString::number(n);
    const Value empty(QString(u""_s));
    m_doc.addressArray().read([&](const List::Items &records) {
        for (const Value &item : records) {
            if (!item.isDict())
                continue;
            Dict record = item.toDict();
            record.set(inner, empty);
        }
    });
    m_doc.filterAddresses();

    m_doc.keyArray().append(Value(DocumentKeys::makeDbKey(inner, name)));
    m_doc.keyArrayDidChange();
    m_doc.buildColumnHeaders();
    // The new key is the key list's selection, and it may be deleted.
    m_doc.setCanRemoveKeyListElement(true);

    m_mainLoop.post([doc = QPointer<MyDocument>(&m_doc)] {
        if (doc)
            doc->requestScrollToLastColumn();
    });
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    return inner;
}

bool KeyCommands::renameKey(qsizetype index, const QString &newName)
{
    const qsizetype holder = indexOfPublicKey(newName);
    if (holder >= 0 && holder != index)
        return false;
    return m_doc.setPublicKey(index, newName);
}

qsizetype KeyCommands::indexOfPublicKey(const QString &publicName) const
{
    qsizetype found = -1;
    m_doc.keyArray().read([&](const List::Items &keys) {
        for (size_t i = 0; i < keys.size() && found < 0; ++i) {
            if (keys[i].toDict().stringValue(DocumentKeys::publicKey()) == publicName)
                found = qsizetype(i);
        }
    });
    return found;
}

void KeyCommands::deleteSelectedKey(std::optional<qsizetype> selectedRow, std::function<void(bool)> done)
{
    AlertPresenter *presenter = m_doc.alertPresenter();
    const Value key = selectedRow ? m_doc.keyArray().at(*selectedRow) : Value();
    if (!selectedRow || *selectedRow < DocumentKeys::fixedKeyCount || !key.isDict() || !presenter) {
        if (done)
            done(false);
        return;
    }
    const Dict chosen = key.toDict();
    const QString name = chosen.stringValue(DocumentKeys::publicKey());
    Alert alert;
    alert.messageText = u"Do you want to delete the selected DB Key '%1'?"_s.arg(name);
    alert.informativeText = u"WARNING.\nAll the data in the Database in the column '%1' associated with this DB "
                            u"Key will be deleted\nAction will not be undoable"_s.arg(name);
    alert.buttons = {u"Cancel"_s, u"Delete"_s};
    alert.kind = Alert::Kind::Sheet;

    QPointer<MyDocument> doc(&m_doc);
    presenter->present(alert, [doc, chosen, done = std::move(done)](int button) {
        bool deleted = false;
        if (doc && button == 1) {
            // The key, not the row: the list may have changed while the sheet was open.
            const qsizetype index = doc->keyArray().indexOfObject(chosen.identity());
            deleted = index >= 0 && KeyCommands(*doc).deleteKeyConfirmed(index);
        }
        if (done)
            done(deleted);
    });
}

bool KeyCommands::deleteKeyConfirmed(qsizetype index)
{
    const Value key = m_doc.keyArray().at(index);
    if (index < DocumentKeys::fixedKeyCount || !key.isDict())
        return false;
    const QString inner = key.toDict().stringValue(DocumentKeys::innerKey());
    // Checked once more: the fixed columns hold the number, the flag and the address.
    if (isFixedInnerKey(inner))
        return false;

    m_doc.keyArray().removeAt(index);
    m_doc.addressArray().read([&](const List::Items &records) {
        for (const Value &item : records) {
            if (!item.isDict())
                continue;
            Dict record = item.toDict();
            if (record.contains(inner))
                record.remove(inner);
        }
    });
    m_doc.keyArrayDidChange();
    m_doc.buildColumnHeaders();
    m_doc.filterAddresses();
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    return true;
}

void KeyCommands::selectKeyRow(std::optional<qsizetype> selectedRow)
{
    m_doc.setCanRemoveKeyListElement(selectedRow.has_value() && shouldEditKeyRow(*selectedRow));
}

bool KeyCommands::shouldEditKeyRow(qsizetype row)
{
    return row >= DocumentKeys::fixedKeyCount;
}

QStringList KeyCommands::userKeyTags() const
{
    QStringList tags;
    m_doc.keyArray().read([&](const List::Items &keys) {
        for (size_t i = size_t(DocumentKeys::fixedKeyCount); i < keys.size(); ++i)
            tags.append(m_doc.tagFromKey(keys[i].toDict().stringValue(DocumentKeys::publicKey())));
    });
    return tags;
}

QStringList KeyCommands::rebuiltMenu(const QStringList &currentItems, qsizetype fixedItems) const
{
    QStringList items = currentItems.first(std::min(currentItems.size(), fixedItems));
    items.append(userKeyTags());
    return items;
}

QStringList KeyCommands::syncKeyWithKeyPopMenu(const QStringList &currentItems) const
{
    return rebuiltMenu(currentItems, 4);
}

QStringList KeyCommands::adjustDBKey(const QStringList &currentItems) const
{
    return rebuiltMenu(currentItems, 3);
}

} // namespace quillcast
