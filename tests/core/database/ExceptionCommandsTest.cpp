#include "DatabaseTestData.h"
#include "TestPrinters.h"
#include "database/ExceptionCommands.h"
#include "ScriptedAlertPresenter.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace quillcast::dbtest;
using namespace Qt::StringLiterals;

TEST(ExceptionCommandsAdd, NumbersFromTheShownRecordsDatesItAndClearsTheSearch)
{
    MyDocument doc(testClock());
    setUp(doc, {}, {exceptRecord(4, u"spam@x.org"_s, u"abuse"_s), exceptRecord(9, u"boss@y.org"_s)});
    doc.setSearchFieldExceptStr(u"abuse"_s);
    doc.filterExcepts();

    const Dict added = ExceptionCommands(doc).addExcept();
    EXPECT_EQ(added.value(u"num"_s), Value(qint64(5)));
    EXPECT_EQ(added.value(u"sel"_s), Value(false));
    EXPECT_EQ(added.value(u"email"_s), Value(u""_s));
    EXPECT_EQ(added.value(u"note"_s), Value(u""_s));
    EXPECT_EQ(added.value(u"date"_s), Value(testClock().now()));
    EXPECT_EQ(doc.searchFieldExceptStr(), u""_s);
    EXPECT_EQ(doc.exceptArrayShown().indexOf(added), 2);
    EXPECT_EQ(doc.undoManager().undoActionName(), u"Add Record"_s);
    EXPECT_TRUE(doc.isDocumentEdited());
}

TEST(ExceptionCommandsAdd, UndoThenRedoBringsBackTheSameRecord)
{
    MyDocument doc(testClock());
    setUp(doc);
    const Dict added = ExceptionCommands(doc).addExcept();
    Dict handle = added;
    handle.set(u"email"_s, u"typed@x.org"_s);

    ASSERT_TRUE(doc.undoManager().undo());
    EXPECT_EQ(doc.exceptArray().size(), 0);
    EXPECT_EQ(doc.exceptArrayShown().size(), 0);
    ASSERT_TRUE(doc.undoManager().redo());
    ASSERT_EQ(doc.exceptArray().size(), 1);
    EXPECT_TRUE(Dict::sameObject(doc.exceptArray().at(0).toDict(), added));
    EXPECT_EQ(added.stringValue(u"email"_s), u"typed@x.org"_s);
    EXPECT_EQ(doc.undoManager().undoActionName(), u"Add Record"_s);
}

TEST(ExceptionCommandsRemove, UndoAppendsAndRedoRemovesAgain)
{
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {},
          {exceptRecord(1, u"a@x.org"_s), exceptRecord(2, u"b@x.org"_s, QString(), true), exceptRecord(3, u"c@x.org"_s)});
    ExceptionCommands commands(doc);
    commands.updateIsCheckedRecords4Exception();
    ASSERT_TRUE(doc.isCheckedRecords4Exception());

    ASSERT_TRUE(commands.removeExcept({1}));
    EXPECT_FALSE(doc.isCheckedRecords4Exception());
    EXPECT_EQ(doc.undoManager().undoActionName(), u"Delete Record"_s);
    ASSERT_TRUE(doc.undoManager().undo());
    EXPECT_EQ(emails(doc.exceptArray(), u"email"_s), QStringList({u"a@x.org"_s, u"c@x.org"_s, u"b@x.org"_s}));
    EXPECT_TRUE(doc.isCheckedRecords4Exception());
    ASSERT_TRUE(doc.undoManager().redo());
    EXPECT_EQ(emails(doc.exceptArray(), u"email"_s), QStringList({u"a@x.org"_s, u"c@x.org"_s}));
}

TEST(ExceptionCommandsDeleteChecked, CountsAndDeletesOnlyTheShownRecords)
{
    MyDocument doc{SystemClock::instance()};
    ScriptedAlertPresenter presenter(0);
    doc.setAlertPresenter(&presenter);
    QList<Dict> checked;
    for (const QString &email : {u"a@y.net"_s, u"b@x.org"_s, u"c@x.org"_s, u"d@y.net"_s, u"e@x.org"_s})
        checked.append(exceptRecord(checked.size() + 1, email, QString(), true));
    setUp(doc, {}, checked);
    doc.setSearchFieldExceptStr(u"x.org"_s);
    doc.filterExcepts();
    ASSERT_EQ(doc.exceptArrayShown().size(), 3);

    qsizetype deleted = -2;
    ExceptionCommands(doc).deleteCheckRecords4Except([&](qsizetype n) { deleted = n; });
    ASSERT_EQ(presenter.shown().size(), 1);
    EXPECT_EQ(presenter.shown().front().messageText, u"Do you want to delete all the 3 checked records?"_s);
    EXPECT_EQ(presenter.shown().front().buttons, QStringList({u"OK"_s, u"Cancel"_s}));
    EXPECT_EQ(deleted, 3);
    EXPECT_EQ(emails(doc.exceptArray(), u"email"_s), QStringList({u"a@y.net"_s, u"d@y.net"_s}));
    EXPECT_FALSE(doc.isCheckedRecords4Exception()); // both left are hidden
    EXPECT_FALSE(doc.undoManager().canUndo());
}

TEST(ExceptionCommandsChecks, WorkOnEmailAndSel)
{
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {},
          {exceptRecord(1, u"Ann@X.org"_s), exceptRecord(2, u"ann@x.org"_s), exceptRecord(3, u"bad address"_s),
           exceptRecord(4, u"ANN@X.ORG"_s)});
    ExceptionCommands commands(doc);
    commands.checkDuplicateEmails4Except();
    EXPECT_EQ(checkedEmails(doc.exceptArray(), u"sel"_s, u"email"_s), QStringList({u"ann@x.org"_s, u"ANN@X.ORG"_s}));
    commands.checkUniqueEmails4Except();
    EXPECT_EQ(checkedEmails(doc.exceptArray(), u"sel"_s, u"email"_s), QStringList({u"Ann@X.org"_s, u"bad address"_s}));
    commands.checkUnvalidEmails4Except();
    EXPECT_EQ(checkedEmails(doc.exceptArray(), u"sel"_s, u"email"_s), QStringList({u"bad address"_s}));
    commands.invertCheckRecords4Except();
    EXPECT_EQ(commands.checkedRecordsExceptN(), 3);
    EXPECT_TRUE(doc.isDocumentEdited());
}

TEST(ExceptionCommandsTest, ComparesTheWholeFieldExactly)
{
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {}, {exceptRecord(1, u"ann@x.org"_s), exceptRecord(2, u""_s)});
    ExceptionCommands commands(doc);
    const struct { const char *name; Value address; bool excluded; } rows[] = {
        {"same text", Value(u"ann@x.org"_s), true},
        {"other case", Value(u"Ann@x.org"_s), false},
        {"trailing space", Value(u"ann@x.org "_s), false},
        {"one of two addresses", Value(u"ann@x.org,bob@y.org"_s), false},
        {"empty field against empty exception", Value(u""_s), true},
        {"no value", Value(), false},
    };
    for (const auto &row : rows)
        EXPECT_EQ(commands.emailInExceptionList(row.address), row.excluded) << row.name;

    MyDocument empty{SystemClock::instance()};
    setUp(empty);
    EXPECT_FALSE(ExceptionCommands(empty).emailInExceptionList(Value(u""_s)));
}

// A cell of the exception table edited by the user: stored as typed, an edit
// of the document, announced as one row; what the list keeps for itself, or
// a value of the wrong kind, is refused and leaves the document as it was.
TEST(ExceptionCommandsCellEdit, StoresTextAndFlagsAsAnEditAndRefusesTheRest)
{
    const QDateTime added(QDate(2023, 1, 2), QTime(8, 0), QTimeZone::utc());
    const struct { const char *name; QString key; Value typed; bool stored; } rows[] = {
        {"email as typed", u"email"_s, Value(u" Boss@Y.org "_s), true},
        {"note", u"note"_s, Value(u"asked to be left alone"_s), true},
        {"note cleared", u"note"_s, Value(u""_s), true},
        {"the same note again", u"note"_s, Value(u"unsubscribed"_s), true},
        {"ticked", u"sel"_s, Value(true), true},
        {"the number", u"num"_s, Value(qint64(7)), false},
        {"the date as text", u"date"_s, Value(u"yesterday"_s), false},
        {"the flag as text", u"sel"_s, Value(u"yes"_s), false},
        {"the email as a number", u"email"_s, Value(qint64(3)), false},
        {"an entry the record has no column for", u"3"_s, Value(u"a@x.org"_s), false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc(testClock());
        Dict edited = exceptRecord(1, u"spam@x.org"_s, u"unsubscribed"_s);
        edited.set(u"date"_s, Value(added));
        setUp(doc, {}, {exceptRecord(2, u"other@x.org"_s), edited});
        doc.updateChangeCount(MyDocument::ChangeKind::Cleared);
        const Value before = edited.value(row.key);
        QList<qsizetype> announced;
        QObject::connect(&doc.exceptions(), &RecordList::rowChanged,
                         [&](RecordList::Part part, qsizetype r, const QString &) {
                             if (part == RecordList::Part::Shown)
                                 announced.append(r);
                         });

        EXPECT_EQ(ExceptionCommands(doc).setExceptionValue(edited, row.key, row.typed), row.stored);
        EXPECT_EQ(edited.value(row.key), row.stored ? row.typed : before);
        const bool changed = row.stored && row.typed != before;
        EXPECT_EQ(doc.isDocumentEdited(), changed);
        EXPECT_EQ(announced, changed ? QList<qsizetype>{1} : QList<qsizetype>{});
        EXPECT_EQ(edited.value(u"date"_s), Value(added));
        EXPECT_FALSE(doc.undoManager().canUndo());
    }
}

TEST(ExceptionCommandsCellEdit, ARecordOutsideTheListIsLeftAlone)
{
    MyDocument doc(testClock());
    setUp(doc, {record(1, false, u"a@x.org"_s)}, {exceptRecord(1, u"spam@x.org"_s)});
    doc.updateChangeCount(MyDocument::ChangeKind::Cleared);
    const Dict stranger = exceptRecord(5, u"x@y.org"_s);
    const Dict databaseRecord = doc.addressArray().at(0).toDict();

    ExceptionCommands commands(doc);
    EXPECT_FALSE(commands.setExceptionValue(stranger, u"note"_s, Value(u"n"_s)));
    EXPECT_FALSE(commands.setExceptionValue(databaseRecord, u"email"_s, Value(u"b@x.org"_s)));
    EXPECT_EQ(stranger.stringValue(u"note"_s), u""_s);
    EXPECT_EQ(databaseRecord.value(u"email"_s), Value());
    EXPECT_FALSE(doc.isDocumentEdited());
}
