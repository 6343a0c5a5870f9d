#include "CliRunner.h"
#include "TestApplication.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using ::testing::HasSubstr;
using quillcast::clitest::CliRun;
using quillcast::clitest::runCli;

namespace {

// The sample mailing, prepared once for the whole suite: three records of
// four on its send list (one address is on the exception list), all checked.
// What its drafts hold is checked by the integration tests, which send it.
class SendCommandsTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // As in the program: the run's progress and the server's answers
        // reach the command through the event loop.
        quillcast::testing::application();
        // Send runs keep their journals under the home's state folder.
        quillcast::clitest::privateHome();
        folder = new QTemporaryDir;
        sampleStatus = runCli({u"sample"_s, u"--out"_s, folder->path()}).status;
    }
    void SetUp() override
    {
        ASSERT_EQ(sampleStatus, 0) << "the sample mailing could not be made";
        // The sample prepares its send list as drafts, one per record.
        ASSERT_EQ(QDir(folder->filePath(u"drafts"_s)).entryList({u"*.eml"_s}, QDir::Files).size(), 3);
    }
    static void TearDownTestSuite()
    {
        delete folder;
    }

    static QString mailing() { return folder->filePath(u"sample.quill"_s); }

    // A copy of the prepared mailing for a test that changes it.
    QString copyOfMailing()
    {
        const QString path = scratch.filePath(u"copy.quill"_s);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(mailing(), path));
        return path;
    }

    static QStringList logOf(const QString &path)
    {
        const CliRun run = runCli({u"show"_s, path, u"--json"_s});
        return QJsonDocument::fromJson(run.out.toUtf8()).object().value(u"log"_s).toString().split(u'\n', Qt::SkipEmptyParts);
    }

    static inline QTemporaryDir *folder = nullptr;
    static inline int sampleStatus = -1;
    QTemporaryDir scratch;
};

TEST_F(SendCommandsTest, PreviewShowsTheMergedRecord)
{
    const CliRun json = runCli({u"preview"_s, mailing(), u"--record"_s, u"1"_s, u"--json"_s});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    const QJsonObject fields = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(fields.value(u"to"_s).toString(), u"jose.garcia@example.es"_s);
    EXPECT_EQ(fields.value(u"subject"_s).toString(), u"José, our winter programme for Sevilla (06.12.2026)"_s);
    EXPECT_EQ(fields.keys().size(), 8);

    const CliRun eml = runCli({u"preview"_s, mailing(), u"--record"_s, u"1"_s, u"--eml"_s});
    ASSERT_EQ(eml.status, 0);
    EXPECT_THAT(eml.out.toStdString(), HasSubstr("To: jose.garcia@example.es"));
    EXPECT_THAT(eml.out.toStdString(), HasSubstr("Subject: =?UTF-8?"));

    const CliRun beyond = runCli({u"preview"_s, mailing(), u"--record"_s, u"3"_s});
    EXPECT_EQ(beyond.status, 1);
    EXPECT_THAT(beyond.err.toStdString(), HasSubstr("the send list has 3 records"));
}

TEST_F(SendCommandsTest, ServerThatIsDownFailsEveryMessageAndLogsWhy)
{
    const QString path = copyOfMailing();
    const qsizetype linesBefore = logOf(path).size();
    // Nothing listens on port 1 of the loopback address.
    const CliRun run = runCli({u"send"_s, path, u"--checked"_s, u"--yes"_s, u"--smtp-host"_s, u"127.0.0.1"_s,
                               u"--smtp-port"_s, u"1"_s, u"--security"_s, u"plain"_s, u"--interval"_s, u"1"_s});
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_THAT(run.out.toStdString(), HasSubstr("0 accepted by the server, 3 failed"));

    const QStringList log = logOf(path);
    ASSERT_EQ(log.size(), linesBefore + 4); // the run's line and one per message
    EXPECT_THAT(log.at(linesBefore).toStdString(),
                HasSubstr("Prepare and send checked records via 127.0.0.1 \u2026"));
    EXPECT_THAT(log.last().toStdString(), HasSubstr("Error sending email via 127.0.0.1 : "));
}

} // namespace
