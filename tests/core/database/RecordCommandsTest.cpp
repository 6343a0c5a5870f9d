#include "DatabaseTestData.h"
#include "TestPrinters.h"
#include "database/GeneralCommands.h"
#include "database/RecordCommands.h"
#include "ScriptedAlertPresenter.h"
#include "platform/ManualMainLoop.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace quillcast::dbtest;
using namespace Qt::StringLiterals;

namespace {

// A document set up with these records; a search, when given, filters them.
void setUpSearched(MyDocument &doc, const QList<Dict> &records, const QString &search)
{
    setUp(doc, records);
    doc.setSearchFieldStr(search);
    doc.filterAddresses();
}

} // namespace

// --- Adding and removing, with undo ---------------------------------------------------

TEST(RecordCommandsAdd, NumbersFromTheShownRecordsThenClearsTheSearch)
{
    MyDocument doc{SystemClock::instance()};
    setUpSearched(doc, {record(3, false, u"anna@a.org"_s), record(20, false, u"ben@b.org"_s), record(5, false, u"anna@c.org"_s)},
                  u"anna"_s);
    const Dict added = RecordCommands(doc).addAddress();

    EXPECT_EQ(added.value(u"1"_s), Value(qint64(6))); // 20 was hidden by the search
    EXPECT_EQ(added.value(u"2"_s), Value(false));
    EXPECT_EQ(added.value(u"4"_s), Value(u""_s));
    EXPECT_EQ(doc.searchFieldStr(), u""_s);
    EXPECT_EQ(doc.addressArrayShown().indexOf(added), 3);
    EXPECT_TRUE(doc.isDocumentEdited());

    MyDocument empty{SystemClock::instance()};
    setUp(empty);
    EXPECT_EQ(RecordCommands(empty).addAddress().value(u"1"_s), Value(qint64(1)));
}

TEST(RecordCommandsAdd, UndoRemovesItAndRedoAddsAFreshEmptyRecord)
{
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {record(1, false, u"a@a.org"_s)});
    const Dict added = RecordCommands(doc).addAddress();
    Dict handle = added;
    handle.set(u"3"_s, u"typed@a.org"_s);

    ASSERT_TRUE(doc.undoManager().undo());
    EXPECT_EQ(emails(doc.addressArray()), QStringList({u"a@a.org"_s}));
    EXPECT_EQ(doc.addressArrayShown().indexOf(added), -1);
    EXPECT_EQ(doc.undoManager().redoActionName(), u"Add Record"_s);

    ASSERT_TRUE(doc.undoManager().redo());
    ASSERT_EQ(doc.addressArray().size(), 2);
    const Dict redone = doc.addressArray().at(1).toDict();
    EXPECT_FALSE(Dict::sameObject(redone, added));
    EXPECT_EQ(redone.stringValue(u"3"_s), u""_s);
    EXPECT_EQ(redone.intValue(u"1"_s), 2);
}

TEST(RecordCommandsRemove, UndoPutsTheRecordBackAtTheEnd)
{
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {record(1, false, u"a@x.org"_s), record(2, true, u"b@x.org"_s), record(3, false, u"c@x.org"_s)});
    ASSERT_TRUE(RecordCommands(doc).removeAddress({0, 1}));
    EXPECT_EQ(emails(doc.addressArray()), QStringList({u"a@x.org"_s, u"c@x.org"_s}));
    EXPECT_FALSE(doc.isCheckedRecords());
    EXPECT_EQ(doc.undoManager().undoActionName(), u"Delete Record"_s);

    ASSERT_TRUE(doc.undoManager().undo());
    EXPECT_EQ(emails(doc.addressArray()), QStringList({u"a@x.org"_s, u"c@x.org"_s, u"b@x.org"_s}));
    EXPECT_TRUE(doc.isCheckedRecords());
    ASSERT_TRUE(doc.undoManager().redo());
    EXPECT_EQ(emails(doc.addressArray()), QStringList({u"a@x.org"_s, u"c@x.org"_s}));
}

TEST(RecordCommandsRemove, RemovesOnlyTheSelectedRecordAndNothingWhenNoneIsSelected)
{
    MyDocument doc{SystemClock::instance()};
    // Two identical rows, as an import of a file with a repeated line makes them.
    setUp(doc, {record(1, false, u"same@x.org"_s), record(1, false, u"same@x.org"_s)});
    EXPECT_FALSE(RecordCommands(doc).removeAddress({}));
    EXPECT_FALSE(RecordCommands(doc).removeAddress({7}));
    EXPECT_FALSE(doc.undoManager().canUndo());
    ASSERT_TRUE(RecordCommands(doc).removeAddress({1}));
    EXPECT_EQ(doc.addressArray().size(), 1);
}

// --- Checks ------------------------------------------------------------------------

TEST(RecordCommandsChecks, DuplicateAndUniqueIgnoreCaseAndCompareWholeFields)
{
    const struct { const char *name; QStringList fields; QList<bool> duplicates; QList<bool> unique; } rows[] = {
        {"mixed case", {u"Ann@X.org"_s, u"ann@x.org"_s, u"bob@x.org"_s, u"ANN@X.ORG"_s}, {false, true, false, true},
         {true, false, true, false}},
        {"two addresses are one field", {u"a@x.org,b@x.org"_s, u"a@x.org"_s, u"A@x.org,B@x.org"_s},
         {false, false, true}, {true, true, false}},
        {"empty fields compare like text", {u""_s, u"a@x.org"_s, u""_s, u""_s}, {false, false, true, true},
         {true, true, false, false}},
        {"spaces are not trimmed", {u"a@x.org"_s, u" a@x.org"_s}, {false, false}, {true, true}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QList<Dict> records;
        for (qsizetype i = 0; i < row.fields.size(); ++i)
            records.append(record(i + 1, true, row.fields[i]));
        MyDocument doc{SystemClock::instance()};
        setUp(doc, records);

        RecordCommands(doc).checkDuplicateEmails();
        for (qsizetype i = 0; i < records.size(); ++i)
            EXPECT_EQ(records[i].boolValue(u"2"_s), row.duplicates[i]) << "duplicate, record " << i;
        RecordCommands(doc).checkUniqueEmails();
        for (qsizetype i = 0; i < records.size(); ++i)
            EXPECT_EQ(records[i].boolValue(u"2"_s), row.unique[i]) << "unique, record " << i;
    }
}

TEST(RecordCommandsChecks, RecordsWithoutAnAddressFieldAreUncheckedAndSkipped)
{
    MyDocument doc{SystemClock::instance()};
    Dict noField{{u"1"_s, qint64(1)}, {u"2"_s, true}};
    setUp(doc, {noField, record(2, true, u"a@x.org"_s), record(3, false, u"a@x.org"_s)});
    RecordCommands(doc).checkUniqueEmails();
    EXPECT_FALSE(noField.boolValue(u"2"_s));
    EXPECT_EQ(checkedEmails(doc.addressArray()), QStringList({u"a@x.org"_s}));
}

TEST(RecordCommandsChecks, ValidAndInvalidUseTheMultipleAddressTest)
{
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {record(1, false, u"a@x.org, b@y.org"_s), record(2, false, u""_s), record(3, true, u"a@x.org;b@y.org"_s),
                record(4, false, u"not an address"_s)});
    RecordCommands(doc).checkValidEmails();
    EXPECT_EQ(checkedEmails(doc.addressArray()), QStringList({u"a@x.org, b@y.org"_s, u""_s}));
    RecordCommands(doc).checkUnvalidEmails();
    EXPECT_EQ(checkedEmails(doc.addressArray()), QStringList({u"a@x.org;b@y.org"_s, u"not an address"_s}));
}

TEST(RecordCommandsChecks, ActOnTheShownRecordsOnly)
{
    MyDocument doc{SystemClock::instance()};
    setUpSearched(doc, {record(1, false, u"anna@x.org"_s), record(2, true, u"ben@x.org"_s), record(3, false, u"anna@y.org"_s)},
                  u"anna"_s);
    RecordCommands commands(doc);
    const QStringList all{u"anna@x.org"_s, u"ben@x.org"_s, u"anna@y.org"_s};

    commands.checkAllRecords();
    EXPECT_EQ(checkedEmails(doc.addressArray()), all);
    commands.uncheckAllRecords();
    EXPECT_EQ(checkedEmails(doc.addressArray()), QStringList({u"ben@x.org"_s}));
    EXPECT_TRUE(doc.isCheckedRecords()); // the hidden record counts
    commands.invertCheckRecords();
    EXPECT_EQ(checkedEmails(doc.addressArray()), all);
    EXPECT_EQ(commands.checkedRecordsDataBaseN(), 3);
}

TEST(RecordCommandsChecks, MarkTheDocumentEditedOnlyWhenAFlagChanged)
{
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {record(1, true, u"a@x.org"_s)});
    RecordCommands(doc).checkAllRecords();
    EXPECT_FALSE(doc.isDocumentEdited());
    RecordCommands(doc).uncheckAllRecords();
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_FALSE(doc.undoManager().canUndo());
}

// --- Delete checked ----------------------------------------------------------------

// The number in an irreversible confirmation is the number deleted: checked
// records hidden by the search are neither counted nor deleted.
TEST(RecordCommandsDeleteChecked, AsksAboutExactlyTheShownCheckedRecordsItDeletes)
{
    MyDocument doc{SystemClock::instance()};
    ScriptedAlertPresenter presenter(0);
    doc.setAlertPresenter(&presenter);
    setUpSearched(doc, {record(1, true, u"anna@a.org"_s), record(2, true, u"ben@b.org"_s), record(3, true, u"anna@c.org"_s),
                        record(4, true, u"carl@d.org"_s), record(5, true, u"anna@e.org"_s), record(6, false, u"anna@f.org"_s)},
                  u"anna"_s);
    qsizetype deleted = -2;
    RecordCommands(doc).deleteCheckRecords([&](qsizetype n) { deleted = n; });

    ASSERT_EQ(presenter.shown().size(), 1);
    EXPECT_EQ(presenter.shown().front().messageText, u"Do you want to delete all the 3 checked records?"_s);
    EXPECT_EQ(deleted, 3);
    EXPECT_EQ(emails(doc.addressArray()), QStringList({u"ben@b.org"_s, u"carl@d.org"_s, u"anna@f.org"_s}));
    EXPECT_EQ(doc.addressArrayShown().size(), 1);
    EXPECT_TRUE(doc.isCheckedRecords());
    EXPECT_TRUE(doc.isDocumentEdited());
}

TEST(RecordCommandsDeleteChecked, CancelOrNoPresenterChangesNothing)
{
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {record(1, true, u"a@x.org"_s)});
    qsizetype deleted = -2;
    RecordCommands(doc).deleteCheckRecords([&](qsizetype n) { deleted = n; });
    EXPECT_EQ(deleted, -1);

    ScriptedAlertPresenter presenter(1);
    doc.setAlertPresenter(&presenter);
    RecordCommands(doc).deleteCheckRecords([&](qsizetype n) { deleted = n; });
    EXPECT_EQ(deleted, -1);
    EXPECT_EQ(doc.addressArray().size(), 1);
    EXPECT_FALSE(doc.isDocumentEdited());
}

// --- Numbers and import --------------------------------------------------------------

// Renumbering counts the shown records only. The numbers are saved with the
// mailing: renumbering that changed one must leave the mailing edited, or
// neither the user nor autosave would keep it.
TEST(RecordCommandsNumbers, RenumberingCountsTheShownRecordsAndMarksAChangeEdited)
{
    struct Row { const char *name; QList<qint64> numbers; bool edited; };
    const Row rows[] = {
        {"numbers out of order", {7, 4}, true},
        {"numbers in order already", {1, 2}, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        const Dict hidden = record(9, false, u"ben@x.org"_s);
        setUpSearched(doc, {record(row.numbers[0], false, u"anna@x.org"_s), hidden,
                            record(row.numbers[1], false, u"anna@y.org"_s)},
                      u"anna"_s);
        ASSERT_FALSE(doc.isDocumentEdited());
        RecordCommands(doc).resetCounterField();
        EXPECT_EQ(doc.addressArray().at(0).toDict().value(u"1"_s), Value(qint64(1)));
        EXPECT_EQ(doc.addressArray().at(2).toDict().value(u"1"_s), Value(qint64(2)));
        EXPECT_EQ(hidden.intValue(u"1"_s), 9);
        EXPECT_EQ(doc.isDocumentEdited(), row.edited);
    }
}

TEST(RecordCommandsNumbers, MaximumIgnoresRecordsWithoutANumber)
{
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {Dict{{u"3"_s, u"a@x.org"_s}}, record(-4, false, u"b@x.org"_s)});
    EXPECT_EQ(RecordCommands(doc).getMaxValueOfField1(), -4);
}

// The end of an import clears the search and shows every record at once;
// the step after it (the checked flag, the scroll to the end) goes through
// the document's main loop, so a test steps it; a document closed before the
// loop turns is left alone.
TEST(RecordCommandsImport, StepAfterTheImportRunsOnTheMainLoopOnlyWhileTheDocumentLives)
{
    ManualMainLoop loop;
    {
        MyDocument doc{SystemClock::instance()};
        doc.setMainLoop(&loop);
        setUpSearched(doc, {record(1, false, u"anna@x.org"_s)}, u"zzz"_s);
        doc.appendRecord(record(2, true, u"new@x.org"_s)); // the importer appends straight to the list
        QStringList heard;
        QObject::connect(&doc.addresses(), &RecordList::rearranged, [&](RecordList::Part part) {
            heard.append(part == RecordList::Part::Items ? u"Items"_s : u"view"_s);
        });
        int scrolled = 0;
        QObject::connect(&doc, &MyDocument::scrollToEndRequested, [&](MyDocument::View) { ++scrolled; });

        RecordCommands(doc).justFinishedImporting();
        EXPECT_TRUE(heard.contains(u"Items"_s));
        EXPECT_EQ(doc.searchFieldStr(), u""_s);
        EXPECT_EQ(doc.addressArrayShown().size(), 2);
        EXPECT_TRUE(doc.isDocumentEdited());
        EXPECT_FALSE(doc.isCheckedRecords());
        EXPECT_EQ(loop.runPending(), 1);
        EXPECT_TRUE(doc.isCheckedRecords());
        EXPECT_EQ(scrolled, 1);

        RecordCommands(doc).justFinishedImporting();
        ASSERT_TRUE(loop.hasPending());
    }
    EXPECT_EQ(loop.runPending(), 1);
}

// --- General commands ------------------------------------------------------------------

TEST(GeneralCommands, DoNothingOnTheMailAndPreviewTabs)
{
    for (int tab : {MyDocument::MailTab, MyDocument::PreviewTab}) {
        SCOPED_TRACE(tab);
        MyDocument doc{SystemClock::instance()};
        ScriptedAlertPresenter presenter(0);
        doc.setAlertPresenter(&presenter);
        setUp(doc, {record(1, true, u"a@x.org"_s)}, {exceptRecord(1, u"b@x.org"_s, QString(), true)});
        doc.setSelectedTab(tab);
        GeneralCommands general(doc);
        general.addRow();
        general.removeRow({0});
        general.uncheckAllGeneral();
        general.deleteCheckRecordsGeneral();
        EXPECT_EQ(doc.addressArray().size(), 1);
        EXPECT_EQ(doc.exceptArray().size(), 1);
        EXPECT_EQ(checkedEmails(doc.addressArray()), QStringList({u"a@x.org"_s}));
        EXPECT_TRUE(presenter.shown().isEmpty());
        EXPECT_FALSE(general.atLeastOneRecordChecked());
    }
}

TEST(GeneralCommands, DispatchOnTheSelectedTab)
{
    MyDocument doc{SystemClock::instance()};
    setUp(doc, {record(1, false, u"a@x.org"_s)}, {exceptRecord(1, u"b@x.org"_s)});
    GeneralCommands general(doc);

    doc.setSelectedTab(MyDocument::ExceptionTab);
    general.checkAllGeneral();
    EXPECT_EQ(checkedEmails(doc.exceptArray(), u"sel"_s, u"email"_s), QStringList({u"b@x.org"_s}));
    EXPECT_EQ(checkedEmails(doc.addressArray()), QStringList());
    general.addRow();
    EXPECT_EQ(doc.exceptArray().size(), 2);

    doc.setSelectedTab(MyDocument::DatabaseTab);
    general.checkAllGeneral();
    EXPECT_EQ(checkedEmails(doc.addressArray()), QStringList({u"a@x.org"_s}));
    EXPECT_TRUE(general.atLeastOneRecordChecked());
}
