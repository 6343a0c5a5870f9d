#include "CliRunner.h"
#include "TestApplication.h"
#include "TestPrinters.h"
#include "document/DocumentFile.h"
#include "document/MyDocument.h"
#include "platform/SystemClock.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace quillcast;
using namespace Qt::StringLiterals;
using quillcast::clitest::CliRun;
using quillcast::clitest::runCli;

namespace {

class DocumentCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(u"mailing.quill"_s);
    }

    QJsonObject shown()
    {
        const CliRun run = runCli({u"show"_s, path, u"--json"_s});
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        return QJsonDocument::fromJson(run.out.toUtf8()).object();
    }

    QTemporaryDir dir;
    QString path;
};

TEST_F(DocumentCommandsTest, NewCreatesAnEmptyMailingWithTheFixedKeys)
{
    const CliRun run = runCli({u"new"_s, path});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    const QJsonObject root = shown();
    EXPECT_EQ(root.value(u"appversion").toInteger(), 20800);
    EXPECT_EQ(root.value(u"keyArray").toArray().size(), 3);
    EXPECT_EQ(root.value(u"mailFormTo").toString(), u"_email_"_s);
    EXPECT_EQ(root.value(u"sendPrepTimeInterval").toInteger(), 5);
    EXPECT_FALSE(root.contains(u"selectedIndexConnection"));

    const CliRun summary = runCli({u"show"_s, path});
    EXPECT_EQ(summary.status, 0) << summary.err.toStdString();
    EXPECT_TRUE(summary.out.contains(u"\nFormat: 20800\n"_s)) << summary.out.toStdString();
}

TEST_F(DocumentCommandsTest, SetChangesTextsAndSettingsAndSaves)
{
    ASSERT_EQ(runCli({u"new"_s, path}).status, 0);
    const QString bodyFile = dir.filePath(u"body.txt"_s);
    ASSERT_TRUE(clitest::writeFile(bodyFile, "Liebe _Name_,\nGrüße\n"));

    const CliRun run = runCli({u"set"_s, path, u"mailFormSubject=Hello _Name_"_s, u"mailFormBody=@"_s + bodyFile,
                               u"emailKind=1"_s, u"sendPrepTimeInterval=12"_s, u"selectedIndexConnection=2"_s});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    const QJsonObject root = shown();
    EXPECT_EQ(root.value(u"mailFormSubject").toString(), u"Hello _Name_"_s);
    EXPECT_EQ(root.value(u"mailFormBody").toString(), u"Liebe _Name_,\nGrüße\n"_s);
    EXPECT_EQ(root.value(u"emailKind").toInteger(), 1);
    EXPECT_EQ(root.value(u"useMailServerToSend").toInteger(), 1);
    EXPECT_EQ(root.value(u"sendPrepTimeInterval").toInteger(), 12);
    EXPECT_EQ(root.value(u"selectedIndexConnection").toInteger(), 2);

    // The kind and the transport are set as the user's choices, tied both
    // ways by the core's rules: the mail client makes the message plain
    // text, HTML then takes the server.
    ASSERT_EQ(runCli({u"set"_s, path, u"useMailServerToSend=0"_s}).status, 0);
    EXPECT_EQ(shown().value(u"emailKind").toInteger(), 0);
    ASSERT_EQ(runCli({u"set"_s, path, u"emailKind=1"_s}).status, 0);
    EXPECT_EQ(shown().value(u"useMailServerToSend").toInteger(), 1);
}

// The refused-to-exceptions setting: stored under its key when on, gone
// again when off; anything but 0 or 1 is refused before the mailing is touched.
TEST_F(DocumentCommandsTest, SetTurnsTheRefusedAddressSettingOnAndOff)
{
    ASSERT_EQ(runCli({u"new"_s, path}).status, 0);
    EXPECT_FALSE(shown().contains(u"quillcastAddRefusedToExceptions"));
    ASSERT_EQ(runCli({u"set"_s, path, u"quillcastAddRefusedToExceptions=1"_s}).status, 0);
    EXPECT_EQ(shown().value(u"quillcastAddRefusedToExceptions").toInteger(), 1);

    const CliRun refused = runCli({u"set"_s, path, u"quillcastAddRefusedToExceptions=yes"_s});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, u"set: quillcastAddRefusedToExceptions needs 0 or 1, not 'yes'\n"_s);
    EXPECT_EQ(shown().value(u"quillcastAddRefusedToExceptions").toInteger(), 1);

    ASSERT_EQ(runCli({u"set"_s, path, u"quillcastAddRefusedToExceptions=0"_s}).status, 0);
    EXPECT_FALSE(shown().contains(u"quillcastAddRefusedToExceptions"));
}

TEST_F(DocumentCommandsTest, ShowJsonTellsWhichSendRecordsAreShared)
{
    MyDocument doc{SystemClock::instance()};
    doc.setUpOpenedDocument();
    const Dict a{{u"1"_s, 1}, {u"2"_s, false}, {u"3"_s, u"a@example.org"_s}};
    const Dict b{{u"1"_s, 2}, {u"2"_s, true}, {u"3"_s, u"b@example.org"_s}};
    const Dict stray{{u"3"_s, u"c@example.org"_s}};
    doc.addressArray().append({Value(a), Value(b)});
    doc.sendArray().append({Value(b), Value(stray)});
    ASSERT_TRUE(DocumentFile::writeToFile(doc, path).ok());

    const QJsonObject root = shown();
    EXPECT_EQ(root.value(u"sendArrayShared").toArray(), QJsonArray({1, -1}));
    EXPECT_EQ(root.value(u"addressArray").toArray().at(1).toObject().value(u"2").toBool(), true);
}

// The sample mailing: three records of four on its send list (one address is
// on the exception list), all checked and prepared as drafts, one per record
// (what the drafts hold, the integration tests check by sending it); the
// preview merges the record asked for.
TEST_F(DocumentCommandsTest, SampleIsPreparedAndPreviewShowsTheMergedRecord)
{
    // Preparing runs the document's posted steps, and keeps its journal
    // under the home's state folder.
    quillcast::testing::application();
    quillcast::clitest::privateHome();
    const CliRun made = runCli({u"sample"_s, u"--out"_s, dir.path()});
    ASSERT_EQ(made.status, 0) << made.err.toStdString();
    EXPECT_EQ(QDir(dir.filePath(u"drafts"_s)).entryList({u"*.eml"_s}, QDir::Files).size(), 3);
    const QString sample = dir.filePath(u"sample.quill"_s);

    const CliRun json = runCli({u"preview"_s, sample, u"--record"_s, u"1"_s, u"--json"_s});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    const QJsonObject fields = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(fields.value(u"to"_s).toString(), u"jose.garcia@example.es"_s);
    EXPECT_EQ(fields.value(u"subject"_s).toString(), u"José, our winter programme for Sevilla (06.12.2026)"_s);
    EXPECT_EQ(fields.keys().size(), 8);

    const CliRun eml = runCli({u"preview"_s, sample, u"--record"_s, u"1"_s, u"--eml"_s});
    ASSERT_EQ(eml.status, 0);
    EXPECT_TRUE(eml.out.contains(u"To: jose.garcia@example.es"_s)) << eml.out.toStdString();
    EXPECT_TRUE(eml.out.contains(u"Subject: =?UTF-8?"_s)) << eml.out.toStdString();

    const CliRun beyond = runCli({u"preview"_s, sample, u"--record"_s, u"3"_s});
    EXPECT_EQ(beyond.status, 1);
    EXPECT_TRUE(beyond.err.contains(u"the send list has 3 records"_s)) << beyond.err.toStdString();
}

} // namespace
