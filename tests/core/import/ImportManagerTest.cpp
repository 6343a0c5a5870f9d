#include "CapturedMessages.h"
#include "TestFiles.h"
#include "TestPrinters.h"
#include "document/DocumentKeys.h"
#include "import/LXDataImportManager.h"
#include "import/LXSmartStringFileReader.h"
#include "platform/ManualMainLoop.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

// A destination list like the address importer's: entries 4 on are listed keys.
const QStringList kDestinations{u"NO_IMPORT"_s, QString(), u"NEW_FIELD"_s, QString(), u"3"_s, u"4"_s, u"5"_s};

// Records that start from a template holding a running number under "n" and
// "t" under "3", so that what the file overwrote and what it left is visible.
class RecordImporter : public LXDataImportManager
{
public:
    using LXDataImportManager::LXDataImportManager;

    QStringList calls;
    QStringList finalKeys; // given to the run in willImport when not empty
    qint64 made = 0;

protected:
    void preImportSettings() override { calls << u"preImportSettings"_s; }
    void willImport() override
    {
        calls << u"willImport"_s;
        if (!finalKeys.isEmpty())
            setInnerKeyFinalDestinationArray(finalKeys);
    }
    std::optional<Dict> createNewObjectToImport() override
    {
        calls << u"create"_s;
        return Dict{{u"n"_s, Value(++made)}, {u"3"_s, Value(u"t"_s)}};
    }
    void recordIsGoingToBeInserted(const Dict &) override { calls << u"willInsert"_s; }
    void addRecordToDestination(const Dict &record) override
    {
        calls << u"add"_s;
        LXDataImportManager::addRecordToDestination(record);
    }
    void didImport() override { calls << u"didImport"_s; }
};

// The base class with no template of its own.
class BareImporter : public LXDataImportManager
{
public:
    using LXDataImportManager::LXDataImportManager;
};

Value dbKey(const QString &inner, const QString &name)
{
    return Value(Dict{{DocumentKeys::innerKey(), Value(inner)}, {DocumentKeys::publicKey(), Value(name)}});
}

// An importer over a list of records with the keys #, sel, email, Name, Town.
struct Importing
{
    Importing() { manager.setImportFieldKeyArray(kDestinations); }

    void load(const QString &text, qint32 format = 0)
    {
        manager.loadDataFromText(text, format);
        loop.runPending();
    }
    // One entry of every column's settings, as text.
    QStringList settings(const QString &entry) const
    {
        QStringList out;
        for (const Value &row : manager.destFieldArray().items())
            out.append(row.toDict().stringValue(entry));
        return out;
    }
    QString recordValue(qsizetype i, const QString &key) const { return records.at(i).toDict().stringValue(key); }

    List records;
    List keys{List::Items{dbKey(u"1"_s, u"#"_s), dbKey(u"2"_s, u"sel"_s), dbKey(u"3"_s, u"email"_s),
                          dbKey(u"4"_s, u"Name"_s), dbKey(u"5"_s, u"Town"_s)}};
    ScriptedFilePanel panel;
    ScriptedAlertPresenter alerts;
    ManualMainLoop loop;
    RecordImporter manager{records, keys, nullptr, {panel, alerts, loop}};
};

class ImportManager : public ::testing::Test, public Importing
{
};

QString tenRows()
{
    QString text;
    for (int i = 0; i < 10; ++i)
        text += u"a%1@example.com,Name %1\n"_s.arg(i);
    return text;
}

TEST_F(ImportManager, HeldBackFirstRowStillUsesATemplate)
{
    load(tenRows());
    manager.AssignCascadeImportFields();
    manager.setDoNotImportFirstRecord(true);
    manager.importRows();
    ASSERT_EQ(records.size(), 9);
    EXPECT_EQ(records.at(0).toDict().intValue(u"n"_s), 2);
}

TEST_F(ImportManager, FirstRowAsNamesIsKept)
{
    load(tenRows());
    manager.AssignCascadeImportFields();
    manager.setUseFirstRecordAsFieldsName(true);
    manager.firstRowSetFieldsNameSelected();
    manager.importRows();
    ASSERT_TRUE(manager.firstRowToImportUsedForColumnNames().has_value());
    EXPECT_EQ(manager.firstRowToImportUsedForColumnNames()->stringValue(u"4"_s), u"Name 0"_s);
}

TEST_F(ImportManager, RunCallsTheHooksInOrder)
{
    load(u"x\n"_s);
    manager.calls.clear();
    manager.importRows();
    EXPECT_EQ(manager.calls, (QStringList{u"willImport"_s, u"create"_s, u"willInsert"_s, u"add"_s, u"didImport"_s}));
}

TEST_F(ImportManager, CascadeFillsListedKeysThenStops)
{
    load(u"a,b,c,d,e\n"_s);
    manager.AssignCascadeImportFields();
    EXPECT_EQ(settings(u"destination"_s), (QStringList{u"4"_s, u"5"_s, u"6"_s, u"0"_s, u"0"_s}));
    EXPECT_EQ(settings(u"importFlag"_s), (QStringList{u"»"_s, u"»"_s, u"»"_s, u""_s, u""_s}));
    EXPECT_EQ(manager.numberOfImportedFields(), 3);
}

// Two columns may match the same name; the first row is then held back.
TEST_F(ImportManager, FirstRowNamesMatchPublicKeysWhateverTheirCase)
{
    load(u"EMAIL,name,Other,town,Town\nann@x.org,Ann,1,2,3\n"_s);
    manager.tryAssignFromFirstRow();
    EXPECT_EQ(settings(u"destination"_s), (QStringList{u"4"_s, u"5"_s, u"0"_s, u"6"_s, u"6"_s}));
    EXPECT_TRUE(manager.doNotImportFirstRecord());
}

// A listed key belongs to one column only; by the base rule NEW_FIELD too.
// The choice is applied at the next turn of the loop.
TEST_F(ImportManager, PickingATakenDestinationClearsTheOtherColumn)
{
    load(u"a,b,c\n"_s);
    manager.AssignCascadeImportFields();
    manager.chooseDestination(2, 4);
    manager.chooseDestination(0, 2);
    manager.chooseDestination(1, 2);
    EXPECT_EQ(manager.numberOfImportedFields(), 3);
    loop.runPending();
    EXPECT_EQ(settings(u"destination"_s), (QStringList{u"0"_s, u"2"_s, u"4"_s}));
    EXPECT_EQ(settings(u"importFlag"_s), (QStringList{u""_s, u"»"_s, u"»"_s}));
    EXPECT_EQ(manager.numberOfImportedFields(), 2);
}

TEST_F(ImportManager, ColumnsLeftOutAndSeparatorsStoreNothing)
{
    load(u"ann@x.org,Ann,Leeds\n"_s);
    manager.chooseDestination(0, 4);
    manager.chooseDestination(1, 1); // a separator entry
    loop.runPending();
    manager.importRows();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records.at(0).toDict().keys(), (QStringList{u"3"_s, u"n"_s}));
    EXPECT_EQ(recordValue(0, u"3"_s), u"ann@x.org"_s);
}

TEST_F(ImportManager, ShortRowKeepsTheTemplateValues)
{
    load(u"x,Ann\n\"\"\n"_s, 2);
    manager.AssignCascadeImportFields();
    manager.importRows();
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(recordValue(1, u"3"_s), QString());
    EXPECT_FALSE(records.at(1).toDict().contains(u"4"_s));
}

TEST_F(ImportManager, FinalKeysWinAndTheLaterColumnWins)
{
    load(u"a,b,c\n"_s);
    manager.finalKeys = {u"7"_s, QString(), u"7"_s};
    manager.importRows();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(recordValue(0, u"7"_s), u"c"_s);
}

TEST_F(ImportManager, BrowsingStopsAtBothEnds)
{
    load(u"a\nb\n"_s);
    ASSERT_EQ(manager.currentRecordIndex(), 1);
    manager.showPrevRecord();
    EXPECT_EQ(manager.selectedRowIndex(), 0);
    EXPECT_EQ(manager.currentRecordIndex(), 1);
    manager.showNextRecord();
    manager.showNextRecord();
    EXPECT_EQ(manager.selectedRowIndex(), 1);
    EXPECT_EQ(manager.currentRecordIndex(), 2);
    EXPECT_EQ(manager.selectedRowFields(), QStringList{u"b"_s});
}

TEST_F(ImportManager, WithoutSettingsTheRunFollowsTheLoad)
{
    manager.setUseSettingsPanel(false);
    manager.loadDataFromText(u"a\nb\n"_s, 1);
    EXPECT_EQ(records.size(), 2); // nothing mapped: template records only
    EXPECT_TRUE(manager.calls.contains(u"didImport"_s));
    EXPECT_FALSE(loop.hasPending());
}

TEST_F(ImportManager, EmptyFileInTabModeShowsOneColumn)
{
    load(QString(), 0);
    EXPECT_EQ(manager.rows().rowCount(), 0);
    EXPECT_EQ(manager.destFieldArray().size(), 1);
}

TEST_F(ImportManager, ChooserLoadsTheFileAndOpensTheSettings)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"people.csv"_s);
    ASSERT_TRUE(quillcast::testing::writeFile(path, "email;name\r\nann@x.org;Ann\r\n"));
    QObject window;
    panel.queueOpenAnswer(path);
    manager.setFileFormatToImport(3);
    manager.loadDataForWin(&window);
    EXPECT_EQ(manager.fileFormatToImport(), 0);
    ASSERT_EQ(panel.openRequests().size(), 1);
    loop.runPending();
    EXPECT_EQ(manager.phase(), LXDataImportManager::Phase::Settings);
    EXPECT_EQ(manager.rows().fields(1), (QStringList{u"ann@x.org"_s, u"Ann"_s}));
    EXPECT_TRUE(manager.calls.contains(u"preImportSettings"_s));

    Importing cancelled; // the chooser cancelled: nothing is loaded
    cancelled.panel.queueOpenAnswer(std::nullopt);
    cancelled.manager.loadDataForWin(&window);
    EXPECT_FALSE(cancelled.loop.hasPending());
    EXPECT_EQ(cancelled.manager.phase(), LXDataImportManager::Phase::Idle);
}

// A file that cannot be read is reported, and no settings sheet opens; the
// alert's message, or (when that is not given) the system's reason.
TEST(ImportManagerFiles, UnreadableFilesAreReportedNotMapped)
{
    QTemporaryDir dir;
    const QString latin = dir.filePath(u"latin.csv"_s);
    ASSERT_TRUE(quillcast::testing::writeFile(latin, "Zo\xeb,1\n"));
    const struct { const char *name; QString path; qint32 encoding; QString message; } rows[] = {
        {"undecodable", latin, LXSmartStringFileReader::EncodingAscii,
         u"The file could not be read with the chosen text encoding"_s},
        {"missing", u"/nonexistent/people.csv"_s, 0, u""_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        Importing i;
        i.manager.loadDataFromFile(row.path, 0, row.encoding);
        ASSERT_EQ(i.alerts.shown().size(), 1);
        if (row.message.isEmpty())
            EXPECT_FALSE(i.alerts.shown().first().informativeText.isEmpty());
        else
            EXPECT_EQ(i.alerts.shown().first().messageText, row.message);
        EXPECT_FALSE(i.loop.hasPending());
        EXPECT_EQ(i.manager.destFieldArray().size(), 0);
        EXPECT_EQ(i.manager.phase(), LXDataImportManager::Phase::Idle);
    }
}

TEST_F(ImportManager, BaseTemplateLogsAndAddsNothing)
{
    BareImporter bare(records, keys, nullptr, {panel, alerts, loop});
    bare.setImportFieldKeyArray(kDestinations);
    bare.setUseSettingsPanel(false);
    const quillcast::testing::CapturedMessages log;
    bare.loadDataFromText(u"a\n"_s, 1);
    EXPECT_EQ(records.size(), 0);
    EXPECT_EQ(log.lines(), QStringList{u"[LXDataImportManager createNewObjectToImport] must be subclassed"_s});
}

} // namespace
