#include "DatabaseTestData.h"
#include "TestPrinters.h"
#include "database/KeyCommands.h"
#include "ScriptedAlertPresenter.h"
#include "platform/ManualMainLoop.h"

#include <gtest/gtest.h>

#include <QSet>

#include <memory>

using namespace quillcast;
using namespace quillcast::dbtest;
using namespace Qt::StringLiterals;

namespace {

QStringList innerNames(const MyDocument &doc)
{
    QStringList names;
    for (const Value &k : doc.keyArray().items())
        names.append(k.toDict().stringValue(u"innerKey"_s));
    return names;
}

// A new document with its window set up: the three fixed keys only.
void setUpPlain(MyDocument &doc, const QList<Dict> &records)
{
    List::Items items;
    for (const Dict &r : records)
        items.emplace_back(r);
    doc.setAddressArray(List(std::move(items)));
    doc.setUpOpenedDocument();
    doc.filterAddresses();
    doc.updateChangeCount(MyDocument::ChangeKind::Cleared);
}

} // namespace

TEST(KeyCommandsAdd, NewColumnsTakeTheNextInnerKeysAndEmptyValues)
{
    MyDocument doc{SystemClock::instance()};
    const Dict r = record(1, false, u"a@x.org"_s);
    setUpPlain(doc, {r});
    KeyCommands keys(doc);

    EXPECT_EQ(keys.addColumnInTable(), u"4"_s);
    EXPECT_EQ(keys.insertNewColumnInTable(), u"5"_s);
    EXPECT_EQ(doc.columnHeaders(), QStringList({u"#"_s, u"sel"_s, u"email"_s, u"KEY4"_s, u"KEY5"_s}));
    EXPECT_EQ(r.value(u"4"_s), Value(u""_s));
    EXPECT_EQ(r.value(u"5"_s), Value(u""_s));
    EXPECT_TRUE(doc.canRemoveKeyListElement());
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_FALSE(doc.undoManager().canUndo());
}

// A new key is never named like a key the user already named: the merge tag
// "_KEY5_" would stand for two columns.
TEST(KeyCommandsAdd, TheNewNameSkipsNamesTheUserGaveOtherKeys)
{
    const struct
    {
        const char *name;
        int added; // columns added before the renames
        QStringList renames; // new names of the user keys, in order
        QString expectedName; // of the column added after them
        QString expectedInner;
    } rows[] = {
        {"no clash", 1, {u"City"_s}, u"KEY5"_s, u"5"_s},
        {"the user took the new key's name", 1, {u"KEY5"_s}, u"KEY6"_s, u"5"_s},
        {"the user took the next names too", 2, {u"KEY6"_s, u"KEY7"_s}, u"KEY8"_s, u"6"_s},
        {"a name of another case is another tag", 1, {u"key5"_s}, u"KEY5"_s, u"5"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        setUpPlain(doc, {});
        KeyCommands keys(doc);
        for (int i = 0; i < row.added; ++i)
            keys.insertNewColumnInTable();
        for (qsizetype i = 0; i < row.renames.size(); ++i)
            ASSERT_TRUE(keys.renameKey(3 + i, row.renames.at(i)));

        EXPECT_EQ(keys.insertNewColumnInTable(), row.expectedInner);
        EXPECT_EQ(doc.columnHeaders().constLast(), row.expectedName);
        const QStringList tags = keys.userKeyTags();
        EXPECT_EQ(QSet<QString>(tags.cbegin(), tags.cend()).size(), tags.size()) << tags.join(u' ').toStdString();
    }
}

// The table scrolls to the new column only once the command has finished,
// on the next turn of the loop; a document closed before then is left alone.
TEST(KeyCommandsAdd, TheScrollToTheNewColumnWaitsForTheLoop)
{
    ManualMainLoop loop;
    auto doc = std::make_unique<MyDocument>(SystemClock::instance());
    setUpPlain(*doc, {});
    int scrolls = 0;
    QObject::connect(doc.get(), &MyDocument::scrollToLastColumnRequested, [&scrolls] { ++scrolls; });
    KeyCommands(*doc, loop).insertNewColumnInTable();
    EXPECT_EQ(scrolls, 0);
    EXPECT_EQ(loop.runPending(), 1);
    EXPECT_EQ(scrolls, 1);

    KeyCommands(*doc, loop).insertNewColumnInTable();
    doc.reset();
    EXPECT_EQ(loop.runPending(), 1);
}

TEST(KeyCommandsDelete, AsksThenRemovesTheKeyAndItsValuesAndTheInnerKeyIsReused)
{
    MyDocument doc{SystemClock::instance()};
    ScriptedAlertPresenter presenter;
    presenter.queueAnswer(1); // "Delete"
    doc.setAlertPresenter(&presenter);
    const Dict r = record(1, false, u"a@x.org"_s);
    setUpPlain(doc, {r});
    KeyCommands keys(doc);
    keys.insertNewColumnInTable();
    keys.insertNewColumnInTable();
    Dict(r).set(u"4"_s, u"Berlin"_s);

    bool deleted = false;
    keys.deleteSelectedKey(3, [&](bool d) { deleted = d; });
    ASSERT_EQ(presenter.shown().size(), 1);
    const Alert &alert = presenter.shown().front();
    EXPECT_EQ(alert.messageText, u"Do you want to delete the selected DB Key 'KEY4'?"_s);
    EXPECT_EQ(alert.informativeText, u"WARNING.\nAll the data in the Database in the column 'KEY4' associated with "
                                     u"this DB Key will be deleted\nAction will not be undoable"_s);
    EXPECT_EQ(alert.buttons, QStringList({u"Cancel"_s, u"Delete"_s}));
    EXPECT_TRUE(deleted);
    EXPECT_EQ(innerNames(doc), QStringList({u"1"_s, u"2"_s, u"3"_s, u"5"_s}));
    EXPECT_FALSE(r.contains(u"4"_s));
    EXPECT_EQ(doc.columnHeaders(), QStringList({u"#"_s, u"sel"_s, u"email"_s, u"KEY5"_s}));

    EXPECT_EQ(keys.insertNewColumnInTable(), u"4"_s);
    EXPECT_EQ(r.value(u"4"_s), Value(u""_s));
}

TEST(KeyCommandsDelete, CancelAndFixedRowsChangeNothing)
{
    MyDocument doc{SystemClock::instance()};
    ScriptedAlertPresenter presenter(0); // "Cancel"
    doc.setAlertPresenter(&presenter);
    setUpPlain(doc, {});
    KeyCommands keys(doc);
    keys.insertNewColumnInTable();

    keys.deleteSelectedKey(3);
    EXPECT_EQ(doc.keyArray().size(), 4);
    for (qsizetype row : {0, 1, 2})
        keys.deleteSelectedKey(row);
    keys.deleteSelectedKey(std::nullopt);
    EXPECT_EQ(presenter.shown().size(), 1);
    EXPECT_EQ(doc.keyArray().size(), 4);
    // The completion's own check: a fixed inner key at a user row stays.
    doc.keyArray().append(Value(DocumentKeys::makeDbKey(u"3"_s, u"copy"_s)));
    EXPECT_FALSE(keys.deleteKeyConfirmed(4));
    EXPECT_FALSE(keys.deleteKeyConfirmed(1));
}

TEST(KeyCommandsRename, FollowsTheKeyNameRuleAndTheMenus)
{
    MyDocument doc{SystemClock::instance()};
    const Dict r = record(1, false, u"a@x.org"_s);
    setUpPlain(doc, {r});
    KeyCommands keys(doc);
    const QStringList popUpFixed{u"a"_s, u"b"_s, u"c"_s, u"d"_s};
    const QStringList menuFixed{u"x"_s, u"y"_s, u"z"_s};
    EXPECT_EQ(keys.syncKeyWithKeyPopMenu(popUpFixed + QStringList{u"_Old_"_s}), popUpFixed);
    EXPECT_EQ(keys.adjustDBKey(menuFixed), menuFixed);

    keys.insertNewColumnInTable();
    Dict(r).set(u"4"_s, u"Berlin"_s);
    EXPECT_TRUE(keys.renameKey(3, u"City"_s));
    EXPECT_EQ(keys.indexOfPublicKey(u"City"_s), 3);
    EXPECT_EQ(keys.syncKeyWithKeyPopMenu(popUpFixed + QStringList{u"_KEY4_"_s}),
              popUpFixed + QStringList{u"_City_"_s});
    EXPECT_EQ(keys.adjustDBKey(menuFixed), menuFixed + QStringList{u"_City_"_s});
    EXPECT_EQ(r.stringValue(u"4"_s), u"Berlin"_s);
}

TEST(KeyCommandsRepair, ASecondKeyWithTheSameInnerKeyGetsANewOne)
{
    MyDocument doc{SystemClock::instance()};
    const Dict r = record(1, false, u"a@x.org"_s);
    Dict(r).set(u"4"_s, u"Berlin"_s);
    doc.setKeyArray(List({Value(DocumentKeys::makeDbKey(u"1"_s, u"#"_s)), Value(DocumentKeys::makeDbKey(u"2"_s, u"sel"_s)),
                          Value(DocumentKeys::makeDbKey(u"3"_s, u"email"_s)),
                          Value(DocumentKeys::makeDbKey(u"4"_s, u"City"_s)),
                          Value(DocumentKeys::makeDbKey(u"4"_s, u"Town"_s))}));
    setUpPlain(doc, {r});

    EXPECT_EQ(innerNames(doc), QStringList({u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s}));
    EXPECT_EQ(r.stringValue(u"4"_s), u"Berlin"_s);
    EXPECT_FALSE(r.contains(u"5"_s));
}

TEST(KeyCommandsSelection, OnlyAUserKeyMayBeDeleted)
{
    MyDocument doc{SystemClock::instance()};
    setUpPlain(doc, {});
    KeyCommands keys(doc);
    keys.insertNewColumnInTable();
    const struct
    {
        const char *name;
        std::optional<qsizetype> row;
        bool removable;
    } rows[] = {{"email row", 2, false}, {"user key", 3, true}, {"no selection", std::nullopt, false}};
    for (const auto &row : rows) {
        keys.selectKeyRow(row.row);
        EXPECT_EQ(doc.canRemoveKeyListElement(), row.removable) << row.name;
    }
}

// The key list's rename: no second column under a name (and so a merge tag)
// another column answers to already. Blank names, fixed keys and rows
// outside the list are the document's own rule, checked with it.
TEST(KeyCommandsRename, RefusesBlankFixedAndTakenNames)
{
    const struct
    {
        const char *name;
        qsizetype index;
        QString typed;
        bool taken;
        QString nameAfter; // of the key at index
    } rows[] = {
        {"a new name", 4, u"Zip"_s, true, u"Zip"_s},
        {"its own name again", 4, u"KEY5"_s, true, u"KEY5"_s},
        {"another case is another name", 4, u"city"_s, true, u"city"_s},
        {"leading spaces are kept", 4, u" Zip"_s, true, u" Zip"_s},
        {"the other user key's name", 4, u"City"_s, false, u"KEY5"_s},
        {"a fixed key's name", 4, u"email"_s, false, u"KEY5"_s},
        {"the number column's name", 4, u"#"_s, false, u"KEY5"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        setUpPlain(doc, {record(1, false, u"a@x.org"_s)});
        KeyCommands keys(doc);
        keys.insertNewColumnInTable();
        keys.insertNewColumnInTable();
        ASSERT_TRUE(keys.renameKey(3, u"City"_s));
        doc.updateChangeCount(MyDocument::ChangeKind::Cleared);

        EXPECT_EQ(keys.renameKey(row.index, row.typed), row.taken);
        EXPECT_EQ(doc.keyArray().at(row.index).toDict().stringValue(u"publicKey"_s), row.nameAfter);
        EXPECT_EQ(doc.isDocumentEdited(), row.taken);
        EXPECT_EQ(doc.columnHeaders().value(3), u"City"_s);
    }
}
