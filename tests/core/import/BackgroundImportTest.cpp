#include "TestFiles.h"
#include "TestPrinters.h"
#include "database/KeyCommands.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "import/ImportChoices.h"
#include "import/LXSmartStringFileReader.h"
#include "import/MyDataImportManager.h"
#include "import/MyExceptImportManager.h"
#include "platform/ManualMainLoop.h"
#include "platform/SystemClock.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

// Rows "name<i>@example.org,First<i>,City<i>" under a names row.
QByteArray csvRows(int rows)
{
    QByteArray csv = "email,name,town\n";
    for (int i = 0; i < rows; ++i)
        csv += "name" + QByteArray::number(i) + "@example.org,First" + QByteArray::number(i) + ",City"
            + QByteArray::number(i) + "\n";
    return csv;
}

// A mailing with the keys #, sel, email and name ("1" to "4") and two
// records, and its importers running in the background.
class BackgroundImport : public ::testing::Test
{
protected:
    BackgroundImport()
    {
        doc.setMainLoop(&loop);
        doc.InitialSetupKeyArrayController();
        doc.keyArray().append(Value(DocumentKeys::makeDbKey(u"4"_s, u"name"_s)));
        doc.setUpOpenedDocument();
        for (int i = 1; i <= 2; ++i) {
            doc.addressArray().append(Value(Dict{{u"1"_s, Value(qint64(i))},
                                                 {u"2"_s, Value(true)},
                                                 {u"3"_s, Value(u"old%1@example.org"_s.arg(i))},
                                                 {u"4"_s, Value(u"Old"_s)}}));
        }
        doc.setSearchFieldStr(u"old"_s);
        doc.updateChangeCount(MyDocument::ChangeKind::Cleared);
        loop.runPending();
    }

    QString file(const QByteArray &bytes, const QString &name = u"rows.csv"_s)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(quillcast::testing::writeFile(path, bytes));
        return path;
    }

    template<typename Importer>
    std::unique_ptr<Importer> make();

    // Turns the loop until the importer's run has delivered (or stopped).
    void finish(LXDataImportManager &importer)
    {
        while (importer.isRunning()) {
            loop.waitForPending(std::chrono::milliseconds(50));
            loop.runPending();
        }
        loop.runPending();
    }

    // Loads the file in the background and opens the mapping step.
    void load(LXDataImportManager &importer, const QString &path, qint32 encoding = 0)
    {
        importer.startLoadingFile(path, 0, encoding);
        finish(importer);
    }

    // What must not change when an import is cancelled.
    struct State
    {
        QStringList records;
        QStringList keys;
        bool edited;
        QString search;
        friend bool operator==(const State &, const State &) = default;
    };
    State state() const
    {
        State s;
        for (const Value &r : doc.addressArray().items()) {
            QStringList entries;
            for (const auto &[key, value] : r.toDict().snapshot().entries())
                entries.append(key + u'=' + value.toString());
            s.records.append(entries.join(u';'));
        }
        for (const Value &k : doc.keyArray().items())
            s.keys.append(k.toDict().stringValue(DocumentKeys::innerKey()) + u'/'
                          + k.toDict().stringValue(DocumentKeys::publicKey()));
        s.edited = doc.isDocumentEdited();
        s.search = doc.searchFieldStr();
        return s;
    }

    MyDocument doc{SystemClock::instance()};
    ScriptedFilePanel panel;
    ScriptedAlertPresenter alerts;
    ManualMainLoop loop;
    QTemporaryDir dir;
};

template<>
std::unique_ptr<MyDataImportManager> BackgroundImport::make()
{
    auto importer = std::make_unique<MyDataImportManager>(doc.addressArray(), doc.keyArray(), &doc,
                                                          LXDataImportManager::Services{panel, alerts, loop});
    importer->setNotVisibleFirstRecAsNameOption(true);
    return importer;
}

template<>
std::unique_ptr<MyExceptImportManager> BackgroundImport::make()
{
    return std::make_unique<MyExceptImportManager>(doc.exceptArray(), &doc,
                                                   LXDataImportManager::Services{panel, alerts, loop});
}

// --- The whole run ----------------------------------------------------------------------------

TEST_F(BackgroundImport, GivesTheSameRecordsAndColumnsAsTheRunWithinTheCall)
{
    const QString path = file(csvRows(3000));
    // Email to the email key, name to a new column, town to another one.
    const auto map = [this](LXDataImportManager &importer) {
        importer.tryAssignFromFirstRow();
        importer.chooseDestination(1, 2);
        loop.runPending();
        importer.chooseDestination(2, 2);
        loop.runPending();
    };

    MyDocument other{SystemClock::instance()};
    other.InitialSetupKeyArrayController();
    other.keyArray().append(Value(DocumentKeys::makeDbKey(u"4"_s, u"name"_s)));
    other.setUpOpenedDocument();
    other.addressArray().setItems(doc.addressArray().items());
    {
        MyDataImportManager within(other.addressArray(), other.keyArray(), &other, {panel, alerts, loop});
        within.loadDataFromFile(path, 0, 0);
        loop.runPending();
        map(within);
        within.importRows();
        loop.runPending();
        EXPECT_EQ(within.rowCount(), 0) << "the rows go once imported";
    }

    auto importer = make<MyDataImportManager>();
    QList<std::pair<qint64, qint64>> progress;
    QObject::connect(importer.get(), &LXDataImportManager::progressChanged,
                     [&](qint64 done, qint64 total) { progress.append({done, total}); });
    load(*importer, path);
    ASSERT_EQ(importer->phase(), LXDataImportManager::Phase::Settings);
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.first().second, QFileInfo(path).size()) << "the load counts the file's bytes";
    map(*importer);
    progress.clear();
    importer->startImport();
    EXPECT_EQ(importer->phase(), LXDataImportManager::Phase::Importing);
    finish(*importer);

    EXPECT_EQ(importer->phase(), LXDataImportManager::Phase::Idle);
    EXPECT_EQ(importer->rowCount(), 0) << "the rows go once imported";
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_EQ(progress.last(), std::pair(qint64(3001), qint64(3001))) << "the progress reaches the end";
    for (qsizetype i = 1; i < progress.size(); ++i)
        EXPECT_LE(progress[i - 1].first, progress[i].first);

    ASSERT_EQ(doc.addressArray().size(), 3002);
    ASSERT_EQ(doc.keyArray().size(), other.keyArray().size());
    EXPECT_EQ(doc.keyArray().size(), 6) << "two new columns";
    for (qsizetype i = 0; i < doc.addressArray().size(); ++i)
        ASSERT_EQ(doc.addressArray().at(i).toDict().snapshot().entries(),
                  other.addressArray().at(i).toDict().snapshot().entries())
            << "record " << i;
    EXPECT_EQ(importer->serialNum(), 3 + 3001) << "the held-back first row used a number too";
}

TEST_F(BackgroundImport, AppliesInOneStepWithTheEndOfImportRules)
{
    const QString path = file(csvRows(2500));
    auto importer = make<MyDataImportManager>();
    load(*importer, path);
    importer->tryAssignFromFirstRow();
    const State before = state();
    QList<MyDocument::View> scrolled;
    QObject::connect(&doc, &MyDocument::scrollToEndRequested, [&](MyDocument::View view) { scrolled.append(view); });

    // Until the result arrives, the document is as it was.
    bool lastReportSeen = false;
    QObject::connect(importer.get(), &LXDataImportManager::progressChanged, [&](qint64 done, qint64 total) {
        if (done == total) {
            lastReportSeen = true;
            EXPECT_EQ(state(), before) << "nothing is applied while the worker runs";
        }
    });
    importer->startImport();
    EXPECT_EQ(state(), before);
    finish(*importer);

    EXPECT_TRUE(lastReportSeen);
    EXPECT_EQ(doc.addressArray().size(), 2 + 2500);
    EXPECT_EQ(doc.searchFieldStr(), QString());
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_EQ(scrolled, QList<MyDocument::View>{MyDocument::View::AddressShown});
}

// --- Cancelling ----------------------------------------------------------------------------------

struct CancelPoint
{
    const char *name;
    bool whileLoading;
    // When to cancel: at once after the start, or in the n-th progress report
    // (0: the first; -1: the last, after all the work and before the result).
    std::optional<int> atReport;
};

class BackgroundImportCancel : public BackgroundImport, public ::testing::WithParamInterface<CancelPoint>
{
};

TEST_P(BackgroundImportCancel, LeavesTheDocumentExactlyAsItWas)
{
    const CancelPoint point = GetParam();
    // Large enough for the load to report more than once (4 MiB slices).
    const QString path = file(csvRows(point.whileLoading ? 200000 : 5000));
    auto importer = make<MyDataImportManager>();
    if (!point.whileLoading) {
        load(*importer, path);
        importer->tryAssignFromFirstRow();
        importer->chooseDestination(2, 2); // town to a new column
        loop.runPending();
    }
    const State before = state();
    const qint64 serial = importer->serialNum();

    int reports = 0;
    bool cancelled = false;
    QObject::connect(importer.get(), &LXDataImportManager::progressChanged, [&](qint64 done, qint64 total) {
        const bool last = total > 0 && done == total;
        if (cancelled || !point.atReport)
            return;
        if (*point.atReport == reports || (*point.atReport == -1 && last)) {
            importer->cancelRun();
            cancelled = true;
        }
        ++reports;
    });
    if (point.whileLoading)
        importer->startLoadingFile(path, 0, 0);
    else
        importer->startImport();
    if (!point.atReport) {
        importer->cancelRun();
        cancelled = true;
    }
    EXPECT_EQ(importer->phase(), point.atReport ? (point.whileLoading ? LXDataImportManager::Phase::Loading
                                                                       : LXDataImportManager::Phase::Importing)
                                                : LXDataImportManager::Phase::Idle);
    finish(*importer);

    EXPECT_TRUE(cancelled);
    EXPECT_EQ(importer->phase(), LXDataImportManager::Phase::Idle);
    EXPECT_EQ(state(), before);
    EXPECT_EQ(importer->serialNum(), serial);
    EXPECT_TRUE(alerts.shown().isEmpty());
    // A cancelled load or import leaves no rows (an import uses its rows up
    // as it goes), and the file loads and imports again.
    EXPECT_EQ(importer->rowCount(), 0);
    if (point.whileLoading) {
        EXPECT_EQ(importer->destFieldArray().size(), 0);
        load(*importer, path);
        EXPECT_EQ(importer->phase(), LXDataImportManager::Phase::Settings);
    } else {
        load(*importer, path);
        importer->tryAssignFromFirstRow();
        importer->chooseDestination(2, 2);
        loop.runPending();
        importer->startImport();
        finish(*importer);
        EXPECT_EQ(doc.addressArray().size(), 2 + 5000);
        EXPECT_EQ(doc.keyArray().size(), 5);
    }
}

INSTANTIATE_TEST_SUITE_P(Points, BackgroundImportCancel,
                         ::testing::Values(CancelPoint{"LoadingAtOnce", true, std::nullopt},
                                           CancelPoint{"LoadingAtFirstReport", true, 0},
                                           CancelPoint{"LoadingWhileReading", true, 1},
                                           CancelPoint{"ImportingAtOnce", false, std::nullopt},
                                           CancelPoint{"ImportingAtFirstReport", false, 0},
                                           CancelPoint{"ImportingAfterAllRows", false, -1}),
                         [](const auto &point) { return std::string(point.param.name); });

TEST_F(BackgroundImport, AnImporterDestroyedMidRunChangesNothing)
{
    const QString path = file(csvRows(20000));
    auto importer = make<MyDataImportManager>();
    load(*importer, path);
    importer->tryAssignFromFirstRow();
    const State before = state();
    importer->startImport();
    importer.reset();
    loop.waitForPending(std::chrono::milliseconds(20));
    loop.runPending();
    EXPECT_EQ(state(), before);
}

TEST_F(BackgroundImport, NewColumnsTakenDuringTheRunMoveTheValuesToTheColumnsMade)
{
    const QString path = file("a@x.org,Ann\nb@x.org,Bob\n");
    auto importer = make<MyDataImportManager>();
    load(*importer, path);
    importer->chooseDestination(0, 4);
    loop.runPending();
    importer->chooseDestination(1, 2); // a new column, planned as "5"
    loop.runPending();
    importer->startImport();
    // Meanwhile the user adds a column, which takes "5".
    KeyCommands(doc).insertNewColumnInTable();
    finish(*importer);

    ASSERT_EQ(doc.keyArray().size(), 6);
    const QString made = doc.keyArray().at(5).toDict().stringValue(DocumentKeys::innerKey());
    EXPECT_EQ(made, u"6"_s);
    const Dict ann = doc.addressArray().at(2).toDict();
    EXPECT_EQ(ann.stringValue(made), u"Ann"_s);
    EXPECT_EQ(ann.stringValue(u"5"_s), QString()) << "not in the user's column";
}

// --- Files that cannot be had ------------------------------------------------------------------------

TEST_F(BackgroundImport, UnreadableFilesAreReportedAndOpenNoMapping)
{
    const QString utf8 = file(u"email\nzoë@example.org\n"_s.toUtf8(), u"accents.csv"_s);
    struct Case { const char *name; QString path; qint32 encoding; QString message; };
    const QList<Case> cases{
        {"missing", dir.filePath(u"none.csv"_s), 0, u"The file could not be read"_s},
        {"folder", dir.path(), 0, u"The file could not be read"_s},
        {"not ASCII", utf8, LXSmartStringFileReader::EncodingAscii,
         LXSmartStringFileReader::decodingFailedMessage()},
        {"readable", utf8, LXSmartStringFileReader::EncodingUtf8, QString()},
    };
    for (const Case &c : cases) {
        auto importer = make<MyDataImportManager>();
        const qsizetype alertsBefore = alerts.shown().size();
        load(*importer, c.path, c.encoding);
        if (c.message.isEmpty()) {
            EXPECT_EQ(importer->phase(), LXDataImportManager::Phase::Settings) << c.name;
            EXPECT_EQ(importer->rowFields(1), QStringList{u"zoë@example.org"_s}) << c.name;
            continue;
        }
        EXPECT_EQ(importer->phase(), LXDataImportManager::Phase::Idle) << c.name;
        EXPECT_EQ(importer->destFieldArray().size(), 0) << c.name;
        ASSERT_EQ(alerts.shown().size(), alertsBefore + 1) << c.name;
        EXPECT_EQ(alerts.shown().last().messageText, c.message) << c.name;
    }
}

// --- The mapping step as data ----------------------------------------------------------------------

TEST_F(BackgroundImport, EachImporterOffersItsMenuAndTools)
{
    const QString path = file("email,note,x\na@x.org,hi,1\nb@x.org,ho,2\n");
    auto address = make<MyDataImportManager>();
    load(*address, path);
    auto except = make<MyExceptImportManager>();
    load(*except, path);

    const auto items = [](const LXDataImportManager &importer) {
        QList<std::tuple<QString, bool, bool>> list;
        for (const LXDataImportManager::DestinationItem &item : importer.destinationMenu())
            list.append({item.title, item.separator, item.exclusive});
        return list;
    };
    using T = std::tuple<QString, bool, bool>;
    EXPECT_EQ(items(*address), (QList<T>{T{u"Do not import"_s, false, false}, T{QString(), true, false},
                                         T{u"Create a new column"_s, false, false}, T{QString(), true, false},
                                         T{u"email"_s, false, true}, T{u"name"_s, false, true}}));
    EXPECT_EQ(items(*except), (QList<T>{T{u"Do not import"_s, false, false}, T{QString(), true, false},
                                        T{u"Email"_s, false, true}, T{u"Note"_s, false, true}}));

    using Tool = LXDataImportManager::Tool;
    EXPECT_EQ(address->offeredTools(),
              (QList<Tool>{Tool::Reset, Tool::Cascade, Tool::AllToNewColumns, Tool::FromFirstRow}));
    EXPECT_EQ(except->offeredTools(), (QList<Tool>{Tool::Reset, Tool::Cascade}));

    // A tool that is not offered does nothing: all to new columns would send
    // every column of an exception import to "email".
    except->chooseDestination(1, 3);
    loop.runPending();
    except->applyTool(Tool::AllToNewColumns);
    EXPECT_EQ(except->destinationOf(0), 0);
    EXPECT_EQ(except->destinationOf(1), 3);
    except->applyTool(Tool::Reset);
    EXPECT_EQ(except->destinationOf(1), 0);

    address->applyTool(Tool::FromFirstRow);
    EXPECT_EQ(address->destinationOf(0), 4);
    EXPECT_TRUE(address->isImported(0));
    EXPECT_FALSE(address->isImported(1));
    EXPECT_TRUE(address->doNotImportFirstRecord());
    address->applyTool(Tool::AllToNewColumns);
    EXPECT_EQ(address->numberOfImportedFields(), 3);

    // The row browser.
    EXPECT_EQ(address->rowCount(), 3);
    EXPECT_EQ(address->rowFields(2), (QStringList{u"b@x.org"_s, u"ho"_s, u"2"_s}));
    EXPECT_EQ(address->rowFields(3), QStringList());
    EXPECT_EQ(address->rowFields(-1), QStringList());
}

TEST(ImportChoices, TablesHoldEveryCodeWithATitleAndTheNamesTheCommandLineTakes)
{
    QList<qint32> codes;
    for (const ImportChoices::Choice &c : ImportChoices::encodings())
        codes.append(c.code);
    EXPECT_EQ(codes, (QList<qint32>{0, 1, 10, 11, 12, 20, 21, 22, 30, 50}));
    EXPECT_EQ(ImportChoices::formats().size(), 4);
    EXPECT_EQ(ImportChoices::formats().first().code, 0) << "imports start on automatic";

    EXPECT_EQ(ImportChoices::encodingByName(u"UTF-16LE"_s), 12);
    EXPECT_EQ(ImportChoices::encodingByName(u"30"_s), 30);
    EXPECT_EQ(ImportChoices::encodingByName(u"7"_s), std::nullopt) << "a code of no encoding";
    EXPECT_EQ(ImportChoices::encodingByName(u"latin1"_s), std::nullopt);
    EXPECT_EQ(ImportChoices::formatByName(u"Semicolon"_s), 3);
    EXPECT_EQ(ImportChoices::formatByName(u"pipe"_s), std::nullopt);
    // Every code outside the table means automatic detection.
    EXPECT_EQ(ImportChoices::encodingIndex(7), 0);
    EXPECT_EQ(ImportChoices::encodingIndex(50), 9);
}

} // namespace
