#include "CliRunner.h"
#include "TestPrinters.h"
#include "document/DocumentFile.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "document/archive/KeyedArchiver.h"
#include "platform/FixedClock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace quillcast;
using namespace Qt::StringLiterals;
using ::testing::HasSubstr;
using quillcast::clitest::CliRun;
using quillcast::clitest::runCli;

namespace {


QByteArray contents(const QString &path)
{
    return quillcast::clitest::fileContents(path);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    ASSERT_TRUE(quillcast::clitest::writeFile(path, bytes));
}

class DocumentCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(u"mailing.quill"_s);
    }
    QTemporaryDir dir;
    QString path;
};

TEST_F(DocumentCommandsTest, NewCreatesAnEmptyMailingWithTheFixedKeys)
{
    const CliRun run = runCli({u"new"_s, path});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    const CliRun shown = runCli({u"show"_s, path, u"--json"_s});
    ASSERT_EQ(shown.status, 0) << shown.err.toStdString();
    const QJsonObject root = QJsonDocument::fromJson(shown.out.toUtf8()).object();
    EXPECT_EQ(root.value(u"appversion").toInteger(), 20800);
    EXPECT_EQ(root.value(u"keyArray").toArray().size(), 3);
    EXPECT_EQ(root.value(u"mailFormTo").toString(), u"_email_"_s);
    EXPECT_EQ(root.value(u"sendPrepTimeInterval").toInteger(), 5);
    EXPECT_FALSE(root.contains(u"selectedIndexConnection"));
}

TEST_F(DocumentCommandsTest, NewNeverReplacesAnExistingFile)
{
    writeFile(path, "precious");
    const CliRun run = runCli({u"new"_s, path});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err.toStdString(), HasSubstr("already exists"));
    EXPECT_EQ(contents(path), QByteArray("precious"));
}

TEST_F(DocumentCommandsTest, SetChangesTextsAndSettingsAndSaves)
{
    ASSERT_EQ(runCli({u"new"_s, path}).status, 0);
    const QString bodyFile = dir.filePath(u"body.txt"_s);
    writeFile(bodyFile, "Liebe _Name_,\nGrüße\n");

    const CliRun run = runCli({u"set"_s, path, u"mailFormSubject=Hello _Name_"_s, u"mailFormBody=@"_s + bodyFile,
                               u"emailKind=1"_s, u"sendPrepTimeInterval=12"_s, u"selectedIndexConnection=2"_s});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    const QJsonObject root = QJsonDocument::fromJson(runCli({u"show"_s, path, u"--json"_s}).out.toUtf8()).object();
    EXPECT_EQ(root.value(u"mailFormSubject").toString(), u"Hello _Name_"_s);
    EXPECT_EQ(root.value(u"mailFormBody").toString(), u"Liebe _Name_,\nGrüße\n"_s);
    EXPECT_EQ(root.value(u"emailKind").toInteger(), 1);
    EXPECT_EQ(root.value(u"useMailServerToSend").toInteger(), 1);
    EXPECT_EQ(root.value(u"sendPrepTimeInterval").toInteger(), 12);
    EXPECT_EQ(root.value(u"selectedIndexConnection").toInteger(), 2);
}

struct RefusedSetRow
{
    const char *name;
    QString assignment;
    int status;
    const char *message;
};

void PrintTo(const RefusedSetRow &row, std::ostream *os)
{
    *os << row.name;
}

class RefusedSet : public DocumentCommandsTest, public ::testing::WithParamInterface<RefusedSetRow>
{
};

TEST_P(RefusedSet, LeavesTheFileUntouched)
{
    ASSERT_EQ(runCli({u"new"_s, path}).status, 0);
    const QByteArray before = contents(path);
    const CliRun run = runCli({u"set"_s, path, u"mailFormSubject=changed"_s, GetParam().assignment});
    EXPECT_EQ(run.status, GetParam().status);
    EXPECT_THAT(run.err.toStdString(), HasSubstr(GetParam().message));
    EXPECT_EQ(contents(path), before);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RefusedSet,
    ::testing::Values(RefusedSetRow{"unknownName", u"mailFormReplyTo=x"_s, 2, "unknown setting 'mailFormReplyTo'"},
                      RefusedSetRow{"noEquals", u"mailFormBody"_s, 2, "unknown setting"},
                      RefusedSetRow{"pauseZero", u"sendPrepTimeInterval=0"_s, 2, "1 or more"},
                      RefusedSetRow{"pauseText", u"sendPrepTimeInterval=five"_s, 2, "1 or more"},
                      RefusedSetRow{"kindTwo", u"emailKind=2"_s, 2, "0 or 1"},
                      RefusedSetRow{"negativeConnection", u"selectedIndexConnection=-1"_s, 2, "0 or more"},
                      RefusedSetRow{"missingTextFile", u"mailFormBody=@/nonexistent/body.txt"_s, 1,
                                    "cannot read /nonexistent/body.txt"}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(DocumentCommandsTest, SetRefusesTextThatIsNotUtf8)
{
    ASSERT_EQ(runCli({u"new"_s, path}).status, 0);
    const QByteArray before = contents(path);
    const QString latin1 = dir.filePath(u"latin1.txt"_s);
    writeFile(latin1, "Gr\xfc\xdf" "e");
    const CliRun run = runCli({u"set"_s, path, u"mailFormBody=@"_s + latin1});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err.toStdString(), HasSubstr("not UTF-8"));
    EXPECT_EQ(contents(path), before);
}

TEST_F(DocumentCommandsTest, NewerReleaseFileIsRefusedWithItsAlertAndNotModified)
{
    writeFile(path, KeyedArchiver::archive(Dict{{u"appversion"_s, quint64(20801)}}).value());
    const QByteArray before = contents(path);
    const CliRun run = runCli({u"set"_s, path, u"mailFormSubject=x"_s});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err.toStdString(), HasSubstr("created with a more recent version of this application"));
    EXPECT_EQ(contents(path), before);
}

TEST_F(DocumentCommandsTest, ShowJsonTellsWhichSendRecordsAreShared)
{
    MyDocument doc;
    doc.windowControllerDidLoadNib();
    const Dict a{{u"1"_s, 1}, {u"2"_s, false}, {u"3"_s, u"a@example.org"_s}};
    const Dict b{{u"1"_s, 2}, {u"2"_s, true}, {u"3"_s, u"b@example.org"_s}};
    const Dict stray{{u"3"_s, u"c@example.org"_s}};
    doc.addressArray().append({Value(a), Value(b)});
    doc.sendArray().append({Value(b), Value(stray)});
    ASSERT_TRUE(DocumentFile::writeToFile(doc, path).ok());

    const CliRun run = runCli({u"show"_s, path, u"--json"_s});
    ASSERT_EQ(run.status, 0);
    const QJsonObject root = QJsonDocument::fromJson(run.out.toUtf8()).object();
    EXPECT_EQ(root.value(u"sendArrayShared").toArray(), QJsonArray({1, -1}));
    EXPECT_EQ(root.value(u"addressArray").toArray().at(1).toObject().value(u"2").toBool(), true);
}

TEST_F(DocumentCommandsTest, ShowRefusesADamagedFile)
{
    writeFile(path, "not a mailing");
    const CliRun run = runCli({u"show"_s, path});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err.toStdString(), HasSubstr("The file is not a Quillcast document or is damaged"));
}

} // namespace
