#include "DatabaseTestData.h"
#include "TestPrinters.h"
#include "database/KeyCommands.h"
#include "platform/ScriptedAlertPresenter.h"

#include <gtest/gtest.h>

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
    doc.windowControllerDidLoadNib();
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
    EXPECT_FALSE(keys.renameKey(3, u"   "_s));
    EXPECT_FALSE(keys.renameKey(2, u"mail"_s));
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
        keys.tableViewSelectionDidChange(row.row);
        EXPECT_EQ(doc.canRemoveKeyListElement(), row.removable) << row.name;
    }
}
