#include "TestFiles.h"
#include "TestPrinters.h"
#include "TestRecords.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/SystemClock.h"
#include "import/DocumentImport.h"
#include "import/MyDataImportManager.h"
#include "import/MyExceptImportManager.h"
#include "platform/FixedClock.h"
#include "platform/ManualMainLoop.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <limits>

using namespace quillcast;
using namespace Qt::StringLiterals;
using quillcast::testing::exceptRecord;
using quillcast::testing::record;

namespace {

const FixedClock &testClock()
{
    static const FixedClock clock(QDateTime(QDate(2024, 3, 5), QTime(9, 30), QTimeZone::utc()));
    return clock;
}

// A mailing with the keys #, sel, email and name ("1" to "4"), the window set
// up, and the importers' services.
class DocumentImporters : public ::testing::Test
{
protected:
    DocumentImporters() : doc(testClock())
    {
        doc.InitialSetupKeyArrayController();
        doc.keyArray().append(Value(DocumentKeys::makeDbKey(u"4"_s, u"name"_s)));
        doc.setUpOpenedDocument();
    }

    // The importer with the text loaded and the settings sheet open.
    template<typename Importer>
    Importer &opened(Importer &importer, const QString &content)
    {
        importer.loadDataFromText(content, 0);
        loop.runPending();
        EXPECT_EQ(importer.phase(), LXDataImportManager::Phase::Settings);
        return importer;
    }
    std::unique_ptr<MyDataImportManager> addressImporter(const QString &content)
    {
        auto importer = std::make_unique<MyDataImportManager>(doc.addressArray(), doc.keyArray(), &doc, services());
        opened(*importer, content);
        return importer;
    }
    std::unique_ptr<MyExceptImportManager> exceptImporter(const QString &content)
    {
        auto importer = std::make_unique<MyExceptImportManager>(doc.exceptArray(), &doc, services());
        opened(*importer, content);
        return importer;
    }

    void choose(LXDataImportManager &importer, qsizetype column, qint32 destination)
    {
        importer.chooseDestination(column, destination);
        loop.runPending();
    }
    static qint32 destination(const LXDataImportManager &importer, qsizetype column)
    {
        return importer.destFieldArray().at(column).toDict().intValue(u"destination"_s);
    }

    Dict addressAt(qsizetype i) const { return doc.addressArray().at(i).toDict(); }
    Dict exceptAt(qsizetype i) const { return doc.exceptArray().at(i).toDict(); }
    LXDataImportManager::Services services() { return {panel, alerts, loop}; }

    MyDocument doc{SystemClock::instance()};
    ScriptedFilePanel panel;
    ScriptedAlertPresenter alerts;
    ManualMainLoop loop;
};

// --- Destinations ----------------------------------------------------------------------

TEST_F(DocumentImporters, SettingsListEveryKeyFromTheThirdOnWithItsName)
{
    doc.keyArray().append(Value(Dict{{DocumentKeys::innerKey(), Value(u"7"_s)}})); // a key without a name
    auto importer = addressImporter(u"a,b"_s);
    EXPECT_EQ(importer->ImportFieldKeyArray(),
              (QStringList{u"NO_IMPORT"_s, u""_s, u"NEW_FIELD"_s, u""_s, u"3"_s, u"4"_s, u"7"_s}));
    EXPECT_EQ(importer->importFieldMenuTitles().mid(4), (QStringList{u"email"_s, u"name"_s, u"-"_s}));
    EXPECT_EQ(importer->importFieldMenuTitles().size(), importer->ImportFieldKeyArray().size());
    EXPECT_EQ(importer->sizeOfRecord(), 5);
}

TEST_F(DocumentImporters, AListedKeyBelongsToOneColumnButNewColumnsAndNoImportAreShared)
{
    auto importer = addressImporter(u"a,b,c,d"_s);
    for (const auto &[column, to] : {std::pair(0, 4), std::pair(1, 4), std::pair(2, 2), std::pair(3, 2)})
        choose(*importer, column, to);
    EXPECT_EQ(destination(*importer, 0), 0) << "the email key moved to column 2";
    EXPECT_EQ(destination(*importer, 1), 4);
    EXPECT_EQ(destination(*importer, 2), 2) << "NEW_FIELD is not taken from column 3";
    EXPECT_EQ(destination(*importer, 3), 2);
    EXPECT_EQ(importer->numberOfImportedFields(), 3);
}

TEST_F(DocumentImporters, ExceptionDestinationsAreEachHeldByOneColumn)
{
    auto importer = exceptImporter(u"a,b"_s);
    EXPECT_EQ(importer->ImportFieldKeyArray(), (QStringList{u"NO_IMPORT"_s, u""_s, u"email"_s, u"note"_s}));
    EXPECT_EQ(importer->importFieldMenuTitles().mid(2), (QStringList{u"Email"_s, u"Note"_s}));
    choose(*importer, 0, 2);
    choose(*importer, 1, 2);
    EXPECT_EQ(destination(*importer, 0), 0);
    EXPECT_EQ(destination(*importer, 1), 2);
}

// --- Serial numbers and the template ---------------------------------------------------------

TEST_F(DocumentImporters, SerialNumbersContinueFromTheLargestNumberNotTheLastRecord)
{
    // The largest number sits in the middle and one is stored as text, as
    // older files hold it.
    Dict textNumber = record(0, true, u"b@x.org"_s);
    textNumber.set(u"1"_s, u"41"_s);
    for (const Dict &r : {record(3, true, u"a@x.org"_s), textNumber, record(7, true, u"c@x.org"_s)})
        doc.addressArray().append(Value(r));
    auto importer = addressImporter(u"x@y.org\tXavier\ny@y.org\tYvonne\nz@y.org"_s);
    choose(*importer, 0, 4);
    choose(*importer, 1, 5);
    importer->importRows();

    ASSERT_EQ(doc.addressArray().size(), 6);
    EXPECT_EQ(addressAt(3).value(u"1"_s), Value(qint64(42)));
    EXPECT_EQ(addressAt(5).value(u"1"_s), Value(qint64(44)));
    EXPECT_EQ(addressAt(3).value(u"2"_s), Value(false)) << "imported records start unchecked";
    EXPECT_EQ(addressAt(4).stringValue(u"4"_s), u"Yvonne"_s);
    EXPECT_EQ(addressAt(5).value(u"4"_s), Value(u""_s)) << "a short row keeps the template's empty name";
}

TEST_F(DocumentImporters, SerialNumbersStartAtOneInEmptyListsAndDoNotOverflow)
{
    auto exceptions = exceptImporter(u"b@x.org"_s);
    choose(*exceptions, 0, 2);
    exceptions->importRows();
    EXPECT_EQ(exceptAt(0).intValue(u"num"_s), 1);

    auto first = addressImporter(u"a@x.org"_s);
    choose(*first, 0, 4);
    first->importRows();
    EXPECT_EQ(addressAt(0).intValue(u"1"_s), 1);

    doc.addressArray().append(Value(Dict{{u"1"_s, u"99999999999999999999"_s}, {u"3"_s, u"b@x.org"_s}}));
    auto top = addressImporter(u"c@x.org\nd@x.org"_s);
    choose(*top, 0, 4);
    top->importRows();
    ASSERT_EQ(doc.addressArray().size(), 4);
    EXPECT_EQ(addressAt(3).intValue(u"1"_s), std::numeric_limits<qint64>::max());
}

// --- New columns -------------------------------------------------------------------------

TEST_F(DocumentImporters, NewFieldColumnsBecomeNewKeysInColumnOrderBeforeAnyRecord)
{
    doc.addressArray().append(Value(record(1, true, u"a@x.org"_s, u"A"_s)));
    auto importer = addressImporter(u"x@y.org,Berlin,blue,\ny@y.org"_s);
    for (const auto &[column, to] : {std::pair(0, 4), std::pair(1, 2), std::pair(2, 2), std::pair(3, 2)})
        choose(*importer, column, to);
    importer->importRows();

    ASSERT_EQ(doc.keyArray().size(), 7) << "a column no row fills is made too";
    EXPECT_EQ(importer->innerKeyFinalDestinationArray(), (QStringList{u"3"_s, u"5"_s, u"6"_s, u"7"_s}));
    EXPECT_EQ(addressAt(0).value(u"5"_s), Value(u""_s)) << "existing records get the new columns empty";
    EXPECT_EQ(addressAt(1).stringValue(u"5"_s), u"Berlin"_s);
    EXPECT_EQ(addressAt(1).stringValue(u"6"_s), u"blue"_s);
    EXPECT_FALSE(addressAt(2).contains(u"5"_s)) << "the template does not grow with the new keys";
}

// With the first row held back as names, the first-row tool leaves no named
// column behind and each new column takes its name from that row, unless
// the name is blank or already a column's (case aside).
TEST_F(DocumentImporters, NamesRowNamesTheNewColumns)
{
    auto importer = addressImporter(u"Email,Town,NAME,,Town,sel\nx@y.org,Berlin,Xu,7,Bonn,YES\n"_s);
    importer->tryAssignFromFirstRow();
    importer->newColumnsForUnmatchedNames();
    EXPECT_EQ(destination(*importer, 0), 4);
    EXPECT_EQ(destination(*importer, 1), 2);
    EXPECT_EQ(destination(*importer, 2), 5) << "the name key matched";
    EXPECT_EQ(destination(*importer, 3), 0) << "a column without a name is not imported";
    importer->importRows();

    QStringList names;
    for (const Value &key : doc.keyArray().items())
        names.append(key.toDict().stringValue(DocumentKeys::publicKey()));
    EXPECT_EQ(names, (QStringList{u"#"_s, u"sel"_s, u"email"_s, u"name"_s, u"Town"_s, u"KEY6"_s, u"KEY7"_s}));
    ASSERT_EQ(doc.addressArray().size(), 1);
    EXPECT_EQ(addressAt(0).stringValue(u"5"_s), u"Berlin"_s);
    EXPECT_EQ(addressAt(0).stringValue(u"6"_s), u"Bonn"_s);

    // A first row that is imported names nothing.
    auto again = addressImporter(u"a@y.org,Ulm\n"_s);
    choose(*again, 0, 4);
    choose(*again, 1, 2);
    again->importRows();
    EXPECT_EQ(doc.keyArray().at(7).toDict().stringValue(DocumentKeys::publicKey()), u"KEY8"_s);
}

TEST_F(DocumentImporters, WithoutItsDocumentANewFieldColumnIsLeftOut)
{
    auto orphan = std::make_unique<MyDocument>(testClock());
    orphan->InitialSetupKeyArrayController();
    List records;
    MyDataImportManager importer(records, orphan->keyArray(), orphan.get(), services());
    opened(importer, u"x@y.org,Berlin"_s);
    choose(importer, 0, 4);
    choose(importer, 1, 2);
    orphan.reset();
    importer.importRows();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(importer.innerKeyFinalDestinationArray(), (QStringList{u"3"_s, u""_s}));
    EXPECT_EQ(records.at(0).toDict().keys(), (QStringList{u"1"_s, u"2"_s, u"3"_s}));
    EXPECT_FALSE(loop.hasPending()) << "nobody to tell of the end of the run";
}

// The command line's import checks the values and numbers of imported
// exceptions; here, that they carry no date and what a short row leaves.
TEST_F(DocumentImporters, ImportedExceptionsHaveNoDate)
{
    doc.exceptArray().append(Value(exceptRecord(5, u"old@x.org"_s)));
    auto importer = exceptImporter(u"spam@x.org;ignored;bounced\nnoreply@x.org"_s);
    choose(*importer, 0, 2);
    choose(*importer, 2, 3);
    importer->importRows();
    ASSERT_EQ(doc.exceptArray().size(), 3);
    EXPECT_EQ(exceptAt(1).keys(), (QStringList{u"email"_s, u"note"_s, u"num"_s, u"sel"_s}));
    EXPECT_EQ(exceptAt(1).stringValue(u"note"_s), u"bounced"_s);
    EXPECT_EQ(exceptAt(2).value(u"note"_s), Value(u""_s));
}

// --- End of a run and the document's commands ---------------------------------------------

TEST_F(DocumentImporters, TheDocumentHearsOfTheEndOfARunAtTheNextTurn)
{
    doc.setSearchFieldStr(u"zzz"_s);
    doc.setSearchFieldExceptStr(u"yyy"_s);
    doc.updateChangeCount(MyDocument::ChangeKind::Cleared);
    auto addresses = addressImporter(u"x@y.org"_s);
    choose(*addresses, 0, 4);
    addresses->importRows();
    EXPECT_EQ(doc.searchFieldStr(), u"zzz"_s) << "not before the next turn";
    loop.runPending();
    EXPECT_EQ(doc.searchFieldStr(), u""_s);
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_EQ(doc.addressArrayShown().size(), 1);

    auto exceptions = exceptImporter(u"x@y.org"_s);
    choose(*exceptions, 0, 2);
    exceptions->importRows();
    loop.runPending();
    EXPECT_EQ(doc.searchFieldExceptStr(), u""_s);
    EXPECT_EQ(doc.exceptArrayShown().size(), 1);
}

TEST_F(DocumentImporters, EachListKeepsItsImporterAndEveryImportStartsOnTheListAsItStands)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"people.csv"_s);
    ASSERT_TRUE(quillcast::testing::writeFile(path, "a@x.org\n"));

    DocumentImport imports(doc, services());
    panel.queueOpenAnswer(path);
    MyDataImportManager &first = imports.importFromTextFile();
    EXPECT_TRUE(first.notVisibleFirstRecAsNameOption());
    loop.runPending();
    first.setDoNotImportFirstRecord(true);

    // The mailing's list is replaced (as reading another version would).
    doc.setAddressArray(List());
    panel.queueOpenAnswer(path);
    MyDataImportManager &second = imports.importFromTextFile();
    EXPECT_EQ(&first, &second);
    EXPECT_FALSE(second.doNotImportFirstRecord()) << "the first-row options start afresh";
    loop.runPending();
    second.AssignCascadeImportFields();
    second.importRows();
    EXPECT_EQ(doc.addressArray().size(), 1) << "records go to the list the mailing now holds";
}

TEST_F(DocumentImporters, PreparingAnImportShowsNoChooserAndSharesTheCommandsImporter)
{
    DocumentImport imports(doc, services());
    MyDataImportManager &prepared = imports.prepareAddressImport();
    MyExceptImportManager &preparedExcept = imports.prepareExceptImport();
    EXPECT_TRUE(panel.openRequests().isEmpty());
    EXPECT_TRUE(prepared.notVisibleFirstRecAsNameOption());
    EXPECT_EQ(prepared.phase(), LXDataImportManager::Phase::Idle);
    prepared.setDoNotImportFirstRecord(true);

    doc.setAddressArray(List());
    EXPECT_EQ(&imports.prepareAddressImport(), &prepared);
    EXPECT_FALSE(prepared.doNotImportFirstRecord()) << "the first-row options start afresh";
    prepared.loadDataFromText(u"a@x.org"_s, 0);
    loop.runPending();
    prepared.AssignCascadeImportFields();
    prepared.importRows();
    EXPECT_EQ(doc.addressArray().size(), 1) << "records go to the list the mailing now holds";

    panel.queueOpenAnswer(std::nullopt);
    EXPECT_EQ(&imports.importExceptFromTextFile(), &preparedExcept);
    EXPECT_EQ(panel.openRequests().size(), 1);
}

TEST_F(DocumentImporters, TheMenuCommandFollowsTheSelectedTab)
{
    DocumentImport imports(doc, services());
    doc.setSelectedTab(MyDocument::MailTab);
    imports.importFromTextFileGeneral();
    EXPECT_TRUE(panel.openRequests().isEmpty());

    doc.setSelectedTab(MyDocument::ExceptionTab);
    imports.importFromTextFileGeneral();
    EXPECT_NE(imports.exceptImporter(), nullptr);
    EXPECT_EQ(imports.addressImporter(), nullptr);
    EXPECT_EQ(panel.openRequests().size(), 1);
}

} // namespace
