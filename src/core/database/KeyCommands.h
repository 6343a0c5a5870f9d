#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quillcast {

class MainLoop;
class MyDocument;

// The commands on the columns of the recipient database (the DB keys): add,
// rename and delete user keys with their values, the repair of duplicate
// inner keys, the delete permission of the key list, and the items of the two
// menus from which the user inserts a column's merge tag.
//
// Main thread only; a handle may be dropped at any time.
class KeyCommands
{
public:
    // Deferred steps (the scroll to a new column) go to the document's loop.
    explicit KeyCommands(MyDocument &document);
    KeyCommands(MyDocument &document, MainLoop &mainLoop) : m_doc(document), m_mainLoop(mainLoop) {}

    // Adds a user key with a new inner key n, "" under n in every record, and
    // returns n (the importer maps new fields onto it). The key is named
    // "KEY<n>", or "KEY<n+1>" and so on when the user already gave another
    // key that name. The new key becomes the key list's selection; the table
    // is asked to scroll to it on the next turn of the loop. No undo step.
    QString addColumnInTable() { return insertNewColumnInTable(); }
    QString insertNewColumnInTable();

    // The key-name rule for the key at index: a blank name is refused (false)
    // and the key keeps its previous name; fixed keys are never renamed. A
    // name another key has already is refused too and changes nothing: two
    // columns of one name would answer to one merge tag.
    bool renameKey(qsizetype index, const QString &newName);
    // Index of the first key with this public name, or -1.
    qsizetype indexOfPublicKey(const QString &publicName) const;

    // Asks (the buttons are "Cancel" then "Delete"), then deletes the key at
    // selectedRow with its column and every record's value under it. Rows of
    // the fixed keys, or no selection, do nothing. done receives whether the
    // key was deleted. No undo step.
    void deleteSelectedKey(std::optional<qsizetype> selectedRow, std::function<void(bool deleted)> done = {});
    // The answer "Delete": false for a fixed key or an index outside the list.
    bool deleteKeyConfirmed(qsizetype index);

    // The user selected a row of the key list (or none): only a user key may
    // be deleted.
    void selectKeyRow(std::optional<qsizetype> selectedRow);
    // Whether the key list lets the user edit the name in this row.
    static bool shouldEditKeyRow(qsizetype row);

    // The merge tag of every user key, in key order: the items that follow the
    // fixed ones in both key menus (each inserts its title into the focused
    // field of the mail form; none has a key equivalent).
    QStringList userKeyTags() const;
    // The item titles of the mail form's key pop-up (4 fixed items first) and
    // of the application's DB key menu (3 fixed items first), rebuilt from
    // their current titles.
    QStringList syncKeyWithKeyPopMenu(const QStringList &currentItems) const;
    QStringList adjustDBKey(const QStringList &currentItems) const;

private:
    QStringList rebuiltMenu(const QStringList &currentItems, qsizetype fixedItems) const;

    MyDocument &m_doc;
    MainLoop &m_mainLoop;
};

} // namespace quillcast
