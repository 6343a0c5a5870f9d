#include "TestPrinters.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "import/DocumentImport.h"
#include "import/MyDataImportManager.h"
#include "import/MyExceptImportManager.h"
#include "platform/FixedClock.h"
#include "platform/ManualMainLoop.h"
#include "platform/ScriptedAlertPresenter.h"
#include "platform/ScriptedFilePanel.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <limits>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

const FixedClock &testClock()
{
    static const FixedClock clock(QDateTime(QDate(2024, 3, 5), QTime(9, 30), QTimeZone::utc()));
    return clock;
}

Dict address(const Value &number, const QString &email, const QString &name)
{
    return Dict{{u"1"_s, number}, {u"2"_s, Value(true)}, {u"3"_s, Value(email)}, {u"4"_s, Value(name)}};
}

Dict exception(qint64 number, const QString &email)
{
    return Dict{{u"num"_s, Value(number)}, {u"sel"_s, Value(false)}, {u"email"_s, Value(email)},
                {u"note"_s, Value(u""_s)}, {u"date"_s, Value(u"2024-01-01"_s)}};
}

QString text(const Dict &record, const QString &key)
{
    return record.stringValue(key);
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
        doc.windowControllerDidLoadNib();
    }

    void addAddresses(const QList<Dict> &records)
    {
        for (const Dict &r : records)
            doc.addressArray().append(Value(r));
    }

    // The address importer over the mailing, with the text loaded and the
    // settings sheet open.
    std::unique_ptr<MyDataImportManager> addressImporter(const QString &content)
    {
        auto importer = std::make_unique<MyDataImportManager>(doc.addressArray(), doc.keyArray(), &doc, services());
        importer->loadDataFromText(content, 0);
        loop.runPending();
        EXPECT_EQ(importer->phase(), LXDataImportManager::Phase::Settings);
        return importer;
    }

    std::unique_ptr<MyExceptImportManager> exceptImporter(const QString &content)
    {
        auto importer = std::make_unique<MyExceptImportManager>(doc.exceptArray(), &doc, services());
        importer->loadDataFromText(content, 0);
        loop.runPending();
        EXPECT_EQ(importer->phase(), LXDataImportManager::Phase::Settings);
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

    MyDocument doc;
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
    choose(*importer, 0, 4);
    choose(*importer, 1, 4);
    EXPECT_EQ(destination(*importer, 0), 0) << "the email key moved to column 2";
    EXPECT_EQ(destination(*importer, 1), 4);
    EXPECT_EQ(importer->destFieldArray().at(0).toDict().stringValue(u"importFlag"_s), u""_s);

    choose(*importer, 2, 2);
    choose(*importer, 3, 2);
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
    addAddresses({address(Value(3), u"a@x.org"_s, u"A"_s), address(Value(u"41"_s), u"b@x.org"_s, u"B"_s),
                  address(Value(7), u"c@x.org"_s, u"C"_s)});
    auto importer = addressImporter(u"x@y.org\tXavier\ny@y.org\tYvonne\nz@y.org"_s);
    EXPECT_EQ(importer->serialNum(), 42);
    choose(*importer, 0, 4);
    choose(*importer, 1, 5);
    importer->DoImport();

    ASSERT_EQ(doc.addressArray().size(), 6);
    EXPECT_EQ(addressAt(3).value(u"1"_s), Value(qint64(42)));
    EXPECT_EQ(addressAt(4).value(u"1"_s), Value(qint64(43)));
    EXPECT_EQ(addressAt(5).value(u"1"_s), Value(qint64(44)));
    EXPECT_EQ(addressAt(3).value(u"2"_s), Value(false)) << "imported records start unchecked";
    EXPECT_EQ(text(addressAt(4), u"3"_s), u"y@y.org"_s);
    EXPECT_EQ(text(addressAt(4), u"4"_s), u"Yvonne"_s);
    EXPECT_EQ(addressAt(5).value(u"4"_s), Value(u""_s)) << "a short row keeps the template's empty name";
}

TEST_F(DocumentImporters, AHeldBackFirstRowUsesUpItsSerialNumber)
{
    addAddresses({address(Value(41), u"a@x.org"_s, u"A"_s)});
    auto importer = addressImporter(u"email,name\nx@y.org,X\ny@y.org,Y"_s);
    importer->tryAssignFromFirstRow();
    ASSERT_TRUE(importer->doNotImportFirstRecord());
    importer->DoImport();

    ASSERT_EQ(doc.addressArray().size(), 3);
    EXPECT_EQ(addressAt(1).intValue(u"1"_s), 43);
    EXPECT_EQ(text(addressAt(1), u"3"_s), u"x@y.org"_s);
    EXPECT_EQ(addressAt(2).intValue(u"1"_s), 44);
}

TEST_F(DocumentImporters, SerialNumbersStartAtOneInEmptyLists)
{
    auto addresses = addressImporter(u"a@x.org"_s);
    choose(*addresses, 0, 4);
    addresses->DoImport();
    auto exceptions = exceptImporter(u"b@x.org"_s);
    choose(*exceptions, 0, 2);
    exceptions->DoImport();
    EXPECT_EQ(addressAt(0).intValue(u"1"_s), 1);
    EXPECT_EQ(exceptAt(0).intValue(u"num"_s), 1);
}

TEST_F(DocumentImporters, ANumberAtTheTopOfTheRangeDoesNotOverflow)
{
    addAddresses({address(Value(u"99999999999999999999"_s), u"a@x.org"_s, u"A"_s)});
    auto importer = addressImporter(u"b@x.org\nc@x.org"_s);
    choose(*importer, 0, 4);
    importer->DoImport();
    ASSERT_EQ(doc.addressArray().size(), 3);
    EXPECT_EQ(addressAt(2).intValue(u"1"_s), std::numeric_limits<qint64>::max());
}

// --- New columns -------------------------------------------------------------------------

TEST_F(DocumentImporters, NewFieldColumnsBecomeNewKeysInColumnOrderBeforeAnyRecord)
{
    addAddresses({address(Value(1), u"a@x.org"_s, u"A"_s)});
    auto importer = addressImporter(u"x@y.org,Berlin,blue\ny@y.org"_s);
    choose(*importer, 0, 4);
    choose(*importer, 1, 2);
    choose(*importer, 2, 2);
    importer->DoImport();

    ASSERT_EQ(doc.keyArray().size(), 6);
    const Dict town = doc.keyArray().at(4).toDict();
    const Dict colour = doc.keyArray().at(5).toDict();
    EXPECT_EQ(town.stringValue(DocumentKeys::innerKey()), u"5"_s);
    EXPECT_EQ(town.stringValue(DocumentKeys::publicKey()), u"KEY5"_s);
    EXPECT_EQ(colour.stringValue(DocumentKeys::innerKey()), u"6"_s);
    EXPECT_EQ(importer->innerKeyFinalDestinationArray(), (QStringList{u"3"_s, u"5"_s, u"6"_s}));

    EXPECT_EQ(addressAt(0).value(u"5"_s), Value(u""_s)) << "existing records get the new columns empty";
    EXPECT_EQ(addressAt(0).value(u"6"_s), Value(u""_s));
    EXPECT_EQ(text(addressAt(1), u"5"_s), u"Berlin"_s);
    EXPECT_EQ(text(addressAt(1), u"6"_s), u"blue"_s);
    EXPECT_FALSE(addressAt(2).contains(u"5"_s)) << "the template does not grow with the new keys";
}

TEST_F(DocumentImporters, ANewFieldColumnIsMadeEvenWhenNoRowFillsIt)
{
    auto importer = addressImporter(u"x@y.org,\ny@y.org"_s);
    choose(*importer, 1, 2);
    importer->DoImport();
    EXPECT_EQ(doc.keyArray().size(), 5);
}

TEST_F(DocumentImporters, WithoutItsDocumentANewFieldColumnIsLeftOut)
{
    auto orphan = std::make_unique<MyDocument>(testClock());
    orphan->InitialSetupKeyArrayController();
    List records;
    MyDataImportManager importer(records, orphan->keyArray(), orphan.get(), services());
    importer.loadDataFromText(u"x@y.org,Berlin"_s, 0);
    loop.runPending();
    choose(importer, 0, 4);
    choose(importer, 1, 2);
    orphan.reset();
    importer.DoImport();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(importer.innerKeyFinalDestinationArray(), (QStringList{u"3"_s, u""_s}));
    EXPECT_EQ(records.at(0).toDict().keys(), (QStringList{u"1"_s, u"2"_s, u"3"_s}));
    EXPECT_FALSE(loop.hasPending()) << "nobody to tell of the end of the run";
}

// --- Exceptions ----------------------------------------------------------------------------

TEST_F(DocumentImporters, ImportedExceptionsAreCheckedNumberedAndHaveNoDate)
{
    doc.exceptArray().append(Value(exception(5, u"old@x.org"_s)));
    auto importer = exceptImporter(u"spam@x.org;ignored;bounced\nnoreply@x.org"_s);
    choose(*importer, 0, 2);
    choose(*importer, 2, 3);
    importer->DoImport();

    ASSERT_EQ(doc.exceptArray().size(), 3);
    const Dict first = exceptAt(1);
    EXPECT_EQ(first.keys(), (QStringList{u"email"_s, u"note"_s, u"num"_s, u"sel"_s}));
    EXPECT_EQ(first.value(u"num"_s), Value(qint64(6)));
    EXPECT_EQ(first.value(u"sel"_s), Value(true));
    EXPECT_EQ(text(first, u"email"_s), u"spam@x.org"_s);
    EXPECT_EQ(text(first, u"note"_s), u"bounced"_s);
    EXPECT_EQ(exceptAt(2).value(u"note"_s), Value(u""_s));
    EXPECT_EQ(exceptAt(2).intValue(u"num"_s), 7);
}

// --- End of a run ---------------------------------------------------------------------------

TEST_F(DocumentImporters, TheDocumentHearsOfTheEndOfARunAtTheNextTurn)
{
    doc.setSearchFieldStr(u"zzz"_s);
    doc.setSearchFieldExceptStr(u"yyy"_s);
    doc.updateChangeCount(MyDocument::ChangeKind::Cleared);
    auto addresses = addressImporter(u"x@y.org"_s);
    choose(*addresses, 0, 4);
    addresses->DoImport();
    EXPECT_EQ(doc.searchFieldStr(), u"zzz"_s) << "not before the next turn";
    loop.runPending();
    EXPECT_EQ(doc.searchFieldStr(), u""_s);
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_EQ(doc.addressArrayShown().size(), 1);

    auto exceptions = exceptImporter(u"x@y.org"_s);
    choose(*exceptions, 0, 2);
    exceptions->DoImport();
    EXPECT_EQ(doc.searchFieldExceptStr(), u"yyy"_s);
    loop.runPending();
    EXPECT_EQ(doc.searchFieldExceptStr(), u""_s);
    EXPECT_EQ(doc.exceptArrayShown().size(), 1);
}

// --- The document's commands ---------------------------------------------------------------------

TEST_F(DocumentImporters, EachListKeepsItsImporterAndEveryImportStartsOnTheListAsItStands)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"people.csv"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("a@x.org\n");
    file.close();

    DocumentImport imports(doc, services());
    panel.queueOpenAnswer(path);
    MyDataImportManager &first = imports.importFromTextFile();
    EXPECT_TRUE(first.notVisibleFirstRecAsNameOption());
    EXPECT_EQ(panel.openRequests().size(), 1);
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
    second.DoImport();
    EXPECT_EQ(doc.addressArray().size(), 1) << "records go to the list the mailing now holds";
}

TEST_F(DocumentImporters, TheMenuCommandFollowsTheSelectedTab)
{
    DocumentImport imports(doc, services());
    doc.setSelectedTab(MyDocument::MailTab);
    imports.importFromTextFileGeneral();
    EXPECT_TRUE(panel.openRequests().isEmpty());
    EXPECT_EQ(imports.addressImporter(), nullptr);

    doc.setSelectedTab(MyDocument::ExceptionTab);
    imports.importFromTextFileGeneral();
    EXPECT_NE(imports.exceptImporter(), nullptr);
    EXPECT_EQ(imports.addressImporter(), nullptr);
    EXPECT_EQ(panel.openRequests().size(), 1);
}

} // namespace
