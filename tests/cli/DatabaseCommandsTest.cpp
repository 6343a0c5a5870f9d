#include "CliRunner.h"
#include "ConsoleAlertPresenter.h"
#include "TestPrinters.h"
#include "TestRecords.h"
#include "document/DocumentFile.h"
#include "document/MyDocument.h"
#include "document/SendListRebuilder.h"
#include "platform/FixedClock.h"
#include "platform/LXBookmark.h"
#include "platform/NullUrlOpener.h"
#include "ScriptedAlertPresenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

using namespace quillcast;
using namespace Qt::StringLiterals;
using ::testing::HasSubstr;
using quillcast::clitest::CliRun;
using quillcast::clitest::fileContents;
using quillcast::clitest::runCli;
using quillcast::testing::exceptRecord;
using quillcast::testing::record;

namespace {

QJsonArray flags(const std::vector<bool> &values)
{
    QJsonArray array;
    for (bool value : values)
        array.append(value);
    return array;
}

class DatabaseCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // A mailing with these database and exception records and its send list
    // built, as the desktop application saves it.
    void writeMailing(const std::vector<Dict> &records, const std::vector<Dict> &exceptions = {})
    {
        MyDocument doc(clock);
        doc.setUpOpenedDocument();
        for (const Dict &record : records)
            doc.addressArray().append(Value(record));
        for (const Dict &exception : exceptions)
            doc.exceptArray().append(Value(exception));
        ASSERT_TRUE(doc.sendListRebuilder().rebuildNow());
        ASSERT_TRUE(DocumentFile::writeToFile(doc, path).ok());
    }

    // The mailing's path goes after the command (for column, after its action).
    CliRun run(QStringList arguments)
    {
        arguments.insert(std::min<qsizetype>(arguments.value(0) == u"column" ? 2 : 1, arguments.size()), path);
        return runCli(arguments);
    }

    // What a run that must succeed printed; also keeps what it warned in lastErr.
    std::string ok(const QStringList &arguments)
    {
        const CliRun r = run(arguments);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        lastErr = r.err.toStdString();
        return r.out.toStdString();
    }

    QJsonObject show()
    {
        const CliRun r = runCli({u"show"_s, path, u"--json"_s});
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out.toUtf8()).object();
    }

    // One value of every record of a saved list, in order.
    static QJsonArray column(const QJsonObject &root, const QString &list, const QString &key)
    {
        QJsonArray values;
        for (const QJsonValue &record : root.value(list).toArray())
            values.append(record.toObject().value(key));
        return values;
    }

    const FixedClock clock{QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone::utc())};
    QTemporaryDir dir;
    const QString path = dir.filePath(u"mailing.quill"_s);
    std::string lastErr;
};

// --- add-record and add-exception ---------------------------------------------------

TEST_F(DatabaseCommandsTest, AddRecordFillsTheNamedColumnsAndNumbersTheRecord)
{
    ASSERT_EQ(runCli({u"new"_s, path}).status, 0);
    ok({u"column"_s, u"add"_s, u"City"_s});
    // The first '=' separates: the value may hold more of them.
    EXPECT_EQ(ok({u"add-record"_s, u"email=ada@example.org"_s, u"City=Paris=France"_s}), "Added record 1\n");
    EXPECT_EQ(ok({u"add-record"_s, u"City=Rome"_s}), "Added record 2\n");

    const QJsonObject root = show();
    EXPECT_EQ(column(root, u"addressArray"_s, u"1"_s), QJsonArray({1, 2}));
    EXPECT_EQ(column(root, u"addressArray"_s, u"2"_s), flags({false, false}));
    EXPECT_EQ(column(root, u"addressArray"_s, u"3"_s), QJsonArray({u"ada@example.org"_s, u""_s}));
    // City is the first user column: inner key "4".
    EXPECT_EQ(column(root, u"addressArray"_s, u"4"_s), QJsonArray({u"Paris=France"_s, u"Rome"_s}));
    EXPECT_EQ(root.value(u"sendArrayShared").toArray(), QJsonArray({0, 1}));
}

TEST_F(DatabaseCommandsTest, AddRecordOfAnExceptedAddressStaysOutOfTheSendList)
{
    writeMailing({record(1, false, u"ada@example.org"_s)}, {exceptRecord(1, u"bob@example.org"_s)});
    EXPECT_THAT(ok({u"add-record"_s, u"email=bob@example.org"_s}), HasSubstr("on the exception list"));
    const QJsonObject root = show();
    EXPECT_EQ(root.value(u"addressArray").toArray().size(), 2);
    EXPECT_EQ(root.value(u"sendArrayShared").toArray(), QJsonArray({0}));
}

TEST_F(DatabaseCommandsTest, AddExceptionStoresAddressNoteAndDateAndTakesTheRecordOutOfTheSendList)
{
    writeMailing({record(1, false, u"ada@example.org"_s), record(2, false, u"bob@example.org"_s),
                  record(3, false, u"cy@example.org"_s)},
                 {exceptRecord(4, u"old@example.org"_s)});
    EXPECT_EQ(ok({u"add-exception"_s, u"bob@example.org"_s, u"asked to leave"_s}), "Added exception 5 (bob@example.org)\n");

    const QJsonObject root = show();
    const QJsonObject exception = root.value(u"exceptArray").toArray().at(1).toObject();
    EXPECT_EQ(exception.value(u"email").toString(), u"bob@example.org"_s);
    EXPECT_EQ(exception.value(u"note").toString(), u"asked to leave"_s);
    EXPECT_EQ(exception.value(u"num").toInteger(), 5);
    // The date of the run, from the CLI's clock.
    EXPECT_EQ(exception.value(u"date").toString(), u"2026-12-06T09:05:03.000Z"_s);
    EXPECT_EQ(root.value(u"sendArrayShared").toArray(), QJsonArray({0, 2}));
}

TEST_F(DatabaseCommandsTest, ColumnsAreAddedRenamedAndDeletedWithTheirValues)
{
    writeMailing({record(1, false, u"ada@example.org"_s)});
    EXPECT_EQ(ok({u"column"_s, u"add"_s}), "Added column KEY4\n");
    ok({u"column"_s, u"add"_s, u"City"_s});
    ok({u"add-record"_s, u"email=bob@example.org"_s, u"KEY4=x"_s, u"City=Oslo"_s});
    EXPECT_EQ(ok({u"column"_s, u"rename"_s, u"KEY4"_s, u"First name"_s}), "Renamed column KEY4 to First name\n");
    ok({u"column"_s, u"delete"_s, u"First name"_s, u"--yes"_s});
    // The warning is printed with the answer --yes gave.
    EXPECT_THAT(lastErr, HasSubstr("Do you want to delete the selected DB Key 'First name'?"));
    EXPECT_THAT(lastErr, HasSubstr("-> Delete"));

    const QJsonObject root = show();
    EXPECT_EQ(column(root, u"keyArray"_s, u"publicKey"_s), QJsonArray({u"#"_s, u"sel"_s, u"email"_s, u"City"_s}));
    EXPECT_EQ(column(root, u"addressArray"_s, u"4"_s), QJsonArray({QJsonValue(), QJsonValue()}));
    EXPECT_EQ(column(root, u"addressArray"_s, u"5"_s), QJsonArray({u""_s, u"Oslo"_s}));
    EXPECT_EQ(root.value(u"sendArrayShared").toArray(), QJsonArray({0, 1}));
}

// --- show ---------------------------------------------------------------------------

// The summary's count of checked records, as opened, whatever kind of value
// holds each flag, and again after a command has changed the flags.
TEST_F(DatabaseCommandsTest, ShowCountsTheCheckedRecordsAsOpenedAndAfterAChange)
{
    const struct { const char *name; std::vector<Value> flags; int checked; int afterInvert; } rows[] = {
        {"some checked", {Value(true), Value(false), Value(u"1"_s), Value(u"0"_s), Value()}, 2, 3},
        {"all checked", {Value(true), Value(1), Value(u"yes"_s)}, 3, 0},
        {"no records", {}, 0, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<Dict> records;
        for (size_t i = 0; i < row.flags.size(); ++i) {
            Dict r = record(qint64(i) + 1, false, u"r%1@example.org"_s.arg(i));
            r.set(u"2"_s, row.flags[i]);
            records.push_back(r);
        }
        writeMailing(records);
        const std::string total = std::to_string(row.flags.size());
        EXPECT_THAT(ok({u"show"_s}),
                    HasSubstr("\nRecords: " + total + " (" + std::to_string(row.checked) + " checked)\n"));
        ok({u"check"_s, u"invert"_s});
        EXPECT_THAT(ok({u"show"_s}),
                    HasSubstr("\nRecords: " + total + " (" + std::to_string(row.afterInvert) + " checked)\n"));
    }
}

// --- check ------------------------------------------------------------------------

// Addresses with a repeat that differs in case, a bad one and an empty one;
// records 2 and 3 start checked; bob is an exception, so the send list holds
// records 0, 1, 2, 4 and 5.
TEST_F(DatabaseCommandsTest, CheckModesActOnTheDatabaseAndKeepTheSendListShared)
{
    const QStringList addresses{u"ada@example.org"_s, u"ADA@example.org"_s, u"not an address"_s,
                                u"bob@example.org"_s, u""_s, u"ada@example.org"_s};
    const std::vector<bool> initially{false, true, true, false, false, false};
    const struct { const char *mode; std::vector<bool> expected; } rows[] = {
        {"all", {true, true, true, true, true, true}},
        {"none", {false, false, false, false, false, false}},
        {"invert", {true, false, false, true, true, true}},
        {"valid", {true, true, false, true, true, true}}, // the empty address passes
        {"invalid", {false, false, true, false, false, false}},
        {"duplicate", {false, true, false, false, false, true}}, // case is ignored
        {"unique", {true, false, true, true, true, false}}, // the first of each
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.mode);
        std::vector<Dict> records;
        for (qsizetype i = 0; i < addresses.size(); ++i)
            records.push_back(record(i + 1, initially[size_t(i)], addresses[i]));
        writeMailing(records, {exceptRecord(1, u"bob@example.org"_s)});
        const auto count = std::count(row.expected.begin(), row.expected.end(), true);
        EXPECT_EQ(ok({u"check"_s, QString::fromLatin1(row.mode)}), "Checked " + std::to_string(count) + " of 6 records\n");

        const QJsonObject root = show();
        const std::vector<bool> &e = row.expected;
        EXPECT_EQ(column(root, u"addressArray"_s, u"2"_s), flags(e));
        // The send list holds the very database records, so it shows the same flags.
        EXPECT_EQ(root.value(u"sendArrayShared").toArray(), QJsonArray({0, 1, 2, 4, 5}));
        EXPECT_EQ(column(root, u"sendArray"_s, u"2"_s), flags({e[0], e[1], e[2], e[4], e[5]}));
        EXPECT_EQ(column(root, u"exceptArray"_s, u"sel"_s), flags({false})) << "exceptions untouched";
    }
}

TEST_F(DatabaseCommandsTest, CheckWithExceptionsActsOnTheExceptionListOnly)
{
    writeMailing({record(1, false, u"ada@example.org"_s)},
                 {exceptRecord(1, u"bob@example.org"_s), exceptRecord(2, u"Bob@example.org"_s, QString(), true),
                  exceptRecord(3, u"cy@example.org"_s)});
    EXPECT_EQ(ok({u"check"_s, u"duplicate"_s, u"--exceptions"_s}), "Checked 1 of 3 exceptions\n");
    EXPECT_EQ(ok({u"check"_s, u"invert"_s, u"--exceptions"_s}), "Checked 2 of 3 exceptions\n");
    const QJsonObject root = show();
    EXPECT_EQ(column(root, u"exceptArray"_s, u"sel"_s), flags({true, false, true}));
    EXPECT_EQ(column(root, u"addressArray"_s, u"2"_s), flags({false}));
}

// --- delete-checked and renumber ------------------------------------------------------

TEST_F(DatabaseCommandsTest, DeleteCheckedRemovesTheCheckedRecordsAndRebuildsTheSendList)
{
    writeMailing({record(1, true, u"a@example.org"_s), record(2, false, u"b@example.org"_s),
                  record(3, true, u"c@example.org"_s), record(4, false, u"d@example.org"_s)});
    EXPECT_EQ(ok({u"delete-checked"_s, u"--yes"_s}), "Deleted 2 records\n");
    EXPECT_THAT(lastErr, HasSubstr("Do you want to delete all the 2 checked records?"));
    const QJsonObject root = show();
    EXPECT_EQ(column(root, u"addressArray"_s, u"1"_s), QJsonArray({2, 4}));
    EXPECT_EQ(root.value(u"sendArrayShared").toArray(), QJsonArray({0, 1})) << "no deleted record lingers";

    // Nothing checked now: the file is left alone.
    const QByteArray before = fileContents(path);
    EXPECT_THAT(ok({u"delete-checked"_s, u"--yes"_s}), HasSubstr("nothing was deleted"));
    EXPECT_EQ(fileContents(path), before);
}

TEST_F(DatabaseCommandsTest, DeleteCheckedExceptionsLetsTheirRecordsBackIntoTheSendList)
{
    writeMailing({record(1, false, u"a@example.org"_s), record(2, true, u"b@example.org"_s)},
                 {exceptRecord(1, u"a@example.org"_s, QString(), true), exceptRecord(2, u"b@example.org"_s)});
    EXPECT_EQ(ok({u"delete-checked"_s, u"--exceptions"_s, u"--yes"_s}), "Deleted 1 exception\n");
    const QJsonObject root = show();
    EXPECT_EQ(column(root, u"exceptArray"_s, u"email"_s), QJsonArray({u"b@example.org"_s}));
    EXPECT_EQ(root.value(u"addressArray").toArray().size(), 2) << "--exceptions never reaches the database";
    EXPECT_EQ(root.value(u"sendArrayShared").toArray(), QJsonArray({0}));
}

TEST_F(DatabaseCommandsTest, RenumberNumbersTheRecordsInTheirOrder)
{
    writeMailing({record(7, false, u"a@example.org"_s), record(3, false, u"b@example.org"_s),
                  record(3, true, u"c@example.org"_s)});
    EXPECT_EQ(ok({u"renumber"_s}), "Renumbered 3 records\n");
    const QJsonObject root = show();
    EXPECT_EQ(column(root, u"addressArray"_s, u"1"_s), QJsonArray({1, 2, 3}));
    EXPECT_EQ(root.value(u"sendArrayShared").toArray(), QJsonArray({0, 1, 2}));
}

TEST_F(DatabaseCommandsTest, AttachKeepsAReopenableBookmarkAndDetachRemovesTheEntry)
{
    writeMailing({});
    const QString first = dir.filePath(u"programme.pdf"_s);
    const QString second = dir.filePath(u"map.png"_s);
    ASSERT_TRUE(clitest::writeFile(first, "%PDF"));
    ASSERT_TRUE(clitest::writeFile(second, "PNG"));
    ok({u"attach"_s, first});
    EXPECT_EQ(ok({u"attach"_s, second}), u"Attached %1 as attachment 2\n"_s.arg(second).toStdString());

    MyDocument doc(clock);
    ScriptedAlertPresenter alerts;
    ASSERT_TRUE(DocumentFile::readFromFile(doc, path, alerts, NullUrlOpener::instance()).ok());
    ASSERT_EQ(doc.attachmentBookmarks().size(), 2);
    bool stale = true;
    const auto location =
        LXBookmark::urlForBookmark(doc.attachmentBookmarks().at(1).toDict().value(u"bookmark"_s).toBytes(), &stale);
    ASSERT_TRUE(location.has_value());
    EXPECT_EQ(location->path, second);
    EXPECT_FALSE(stale);

    EXPECT_EQ(ok({u"detach"_s, u"1"_s}), u"Removed attachment 1 (%1)\n"_s.arg(first).toStdString());
    EXPECT_EQ(column(show(), u"attachmentBookmarks"_s, u"path"_s), QJsonArray({second}));
}

// --- Answering the questions --------------------------------------------------------

TEST(ConsoleAnswers, ConsentOnlyWithYesAndOnlyToTheNamedButton)
{
    const struct { const char *name; bool yes; QString consent; QStringList buttons; int expected; } rows[] = {
        {"key delete with --yes", true, u"Delete"_s, {u"Cancel"_s, u"Delete"_s}, 1},
        {"key delete without --yes", false, u"Delete"_s, {u"Cancel"_s, u"Delete"_s}, 0},
        {"OK first with --yes", true, u"OK"_s, {u"OK"_s, u"Cancel"_s}, 0},
        {"OK first without --yes", false, u"OK"_s, {u"OK"_s, u"Cancel"_s}, 1},
        {"an unexpected alert is cancelled", true, u"Delete"_s, {u"OK"_s, u"Cancel"_s}, 1},
        {"no consent named takes the first", true, u""_s, {u"Replace"_s, u"Cancel"_s}, 0},
        {"no Cancel takes the last", false, u""_s, {u"Save"_s, u"Discard"_s}, 1},
        {"single button", false, u""_s, {u"OK"_s}, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QString printed;
        QTextStream err(&printed);
        cli::ConsoleAlertPresenter presenter(err, row.yes);
        presenter.setConsentButton(row.consent);
        EXPECT_EQ(presenter.answerFor(row.buttons), row.expected);
    }
}

} // namespace
