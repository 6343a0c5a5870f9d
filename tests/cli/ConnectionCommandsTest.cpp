#include "CliRunner.h"
#include "LocalSmtpServer.h"

#include "TestApplication.h"
#include "platform/SettingsFileStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>



using namespace Qt::StringLiterals;
using ::testing::HasSubstr;
using ::testing::Not;
using quillcast::SettingsFileStore;
using quillcast::clitest::CliRun;
using quillcast::clitest::fileContents;
using quillcast::clitest::runCli;

namespace {

// Every run in this suite sees a home of its own. The settings location is
// fixed at the first use in a process, so it is set once, before any.
const QTemporaryDir &home()
{
    qputenv("QC_TEST_PASSWORD", "pa55 w0rd");
    return quillcast::clitest::privateHome();
}

class ConnectionCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(settingsFile().startsWith(home().path())) << settingsFile().toStdString();
        QFile::remove(settingsFile());
    }

    static QString settingsFile()
    {
        home();
        return SettingsFileStore::userFileName();
    }

    static CliRun connections(const QStringList &arguments)
    {
        return runCli(QStringList{u"connections"_s} + arguments);
    }

    static CliRun addWork()
    {
        return connections({u"add"_s, u"--description"_s, u"Work"_s, u"--host"_s, u"smtp.example.org"_s,
                            u"--port"_s, u"587"_s, u"--security"_s, u"starttls"_s, u"--user"_s, u"ada"_s,
                            u"--password-env"_s, u"QC_TEST_PASSWORD"_s});
    }
    static CliRun addLocal(int port)
    {
        return connections({u"add"_s, u"--description"_s, u"Local"_s, u"--host"_s, u"127.0.0.1"_s, u"--port"_s,
                            QString::number(port), u"--security"_s, u"plain"_s, u"--no-auth"_s});
    }
};

TEST_F(ConnectionCommandsTest, AddedConnectionIsListedWithoutItsPassword)
{
    const CliRun added = addWork();
    ASSERT_EQ(added.status, 0) << added.err.toStdString();
    const CliRun list = connections({u"list"_s});
    ASSERT_EQ(list.status, 0) << list.err.toStdString();
    EXPECT_THAT(list.out.toStdString(), HasSubstr("0\tWork\tsmtp.example.org\t587\tSTARTTLS\tada\n"));
    EXPECT_THAT(list.out.toStdString(), Not(HasSubstr("pa55")));
    EXPECT_FALSE(fileContents(settingsFile()).contains("pa55"));
}

// The file the README names, in text a person can read: one group per
// connection.
TEST_F(ConnectionCommandsTest, ConnectionsAreStoredInReadableGroupsOfTheNamedFile)
{
    EXPECT_EQ(settingsFile(), home().filePath(u".config/Quillcast/Quillcast.ini"_s));
    ASSERT_EQ(addWork().status, 0);
    ASSERT_EQ(addLocal(2525).status, 0);
    const QString text = QString::fromUtf8(fileContents(settingsFile()));
    for (const QString &line : {u"[connectionArray]"_s, u"1\\mailServerDescription=Work"_s,
                                u"1\\mailServerName=smtp.example.org"_s, u"1\\customPortUsed=587"_s,
                                u"1\\connectionType=1"_s, u"1\\username=ada"_s, u"1\\cryptopwData=\""_s,
                                u"1\\cryptopwSalt=\""_s, u"1\\cryptopwIV=\""_s,
                                u"2\\mailServerDescription=Local"_s, u"2\\customPortUsed=2525"_s, u"size=2"_s})
        EXPECT_TRUE(text.contains(line)) << line.toStdString() << "\n" << text.toStdString();
    EXPECT_FALSE(text.contains(u"@Variant"_s));
}

// A settings file an earlier build wrote, with the list in one binary value.
TEST_F(ConnectionCommandsTest, ListOfAnEarlierBuildIsListedAndRewrittenInGroups)
{
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLCAST_CONNECTIONS_TEST_DATA "/connections-in-one-value.ini"),
                            settingsFile()));
    QFile::setPermissions(settingsFile(), QFile::ReadOwner | QFile::WriteOwner);
    const CliRun list = connections({u"list"_s});
    ASSERT_EQ(list.status, 0) << list.err.toStdString();
    EXPECT_THAT(list.out.toStdString(), HasSubstr("0\tIn the keyring\tsmtp.example.com\t"));
    EXPECT_THAT(list.out.toStdString(), HasSubstr("1\tOffice, 2nd floor\tsmtp.example.org\t587\tSTARTTLS\tme@example.org\n"));
    EXPECT_THAT(list.out.toStdString(), HasSubstr("2\tClub = \"home\"\tmail.example.net\t465\tTLS\tzoë\n"));
    EXPECT_THAT(list.out.toStdString(), HasSubstr("3\tRelay\tlocalhost\t25\tPLAIN\t(no authentication)\n"));
    const QString text = QString::fromUtf8(fileContents(settingsFile()));
    EXPECT_FALSE(text.contains(u"@Variant"_s));
    EXPECT_TRUE(text.contains(u"2\\mailServerDescription=\"Office, 2nd floor\""_s)) << text.toStdString();
    // And reads the same from the groups.
    EXPECT_EQ(connections({u"list"_s}).out, list.out);
}

TEST_F(ConnectionCommandsTest, StandardPortsMapToTheirOwnChoices)
{
    ASSERT_EQ(addWork().status, 0);
    ASSERT_EQ(connections({u"edit"_s, u"0"_s, u"--port"_s, u"465"_s, u"--security"_s, u"tls"_s}).status, 0);
    EXPECT_THAT(connections({u"list"_s}).out.toStdString(), HasSubstr("\t465\tTLS\t"));
    ASSERT_EQ(connections({u"edit"_s, u"0"_s, u"--port"_s, u"25"_s, u"--no-auth"_s}).status, 0);
    EXPECT_THAT(connections({u"list"_s}).out.toStdString(), HasSubstr("\t25\tTLS\t(no authentication)"));
}

TEST_F(ConnectionCommandsTest, PasswordFromStandardInputIsStoredEncrypted)
{
    ASSERT_EQ(addWork().status, 0);
    QTemporaryDir scratch;
    const QString input = scratch.filePath(u"in"_s);
    ASSERT_TRUE(quillcast::clitest::writeFile(input, "from-stdin-secret\n"));
    const int saved = ::dup(STDIN_FILENO);
    const int fd = ::open(QFile::encodeName(input).constData(), O_RDONLY);
    ::dup2(fd, STDIN_FILENO);
    const CliRun run = connections({u"edit"_s, u"0"_s, u"--password-stdin"_s});
    ::dup2(saved, STDIN_FILENO);
    ::close(fd);
    ::close(saved);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_FALSE(fileContents(settingsFile()).contains("from-stdin-secret"));
}

TEST_F(ConnectionCommandsTest, RemovedConnectionLeavesTheOthersInOrder)
{
    ASSERT_EQ(addWork().status, 0);
    ASSERT_EQ(addLocal(2525).status, 0);
    const CliRun removed = connections({u"remove"_s, u"0"_s});
    ASSERT_EQ(removed.status, 0) << removed.err.toStdString();
    EXPECT_THAT(connections({u"list"_s}).out.toStdString(), HasSubstr("0\tLocal\t127.0.0.1\t2525\tPLAIN"));
}

TEST_F(ConnectionCommandsTest, RefusalsLeaveTheStoredListUntouched)
{
    ASSERT_EQ(addWork().status, 0);
    const QStringList addX{u"add"_s, u"--description"_s, u"X"_s, u"--host"_s, u"h"_s};
    const QStringList edit0{u"edit"_s, u"0"_s};
    const struct
    {
        const char *name;
        QStringList arguments;
        int status;
        const char *message;
    } rows[] = {
        {"password_on_the_command_line", addX + QStringList{u"--user"_s, u"u"_s, u"--password"_s, u"secret"_s}, 2,
         "unknown option --password"},
        {"user_without_password", addX + QStringList{u"--user"_s, u"u"_s}, 2, "--password-env"},
        {"unset_variable", addX + QStringList{u"--user"_s, u"u"_s, u"--password-env"_s, u"QC_NOT_SET_ANYWHERE"_s}, 2,
         "not set"},
        {"two_password_sources", edit0 + QStringList{u"--password-env"_s, u"QC_TEST_PASSWORD"_s, u"--password-stdin"_s},
         2, "not both"},
        {"no_auth_with_user", edit0 + QStringList{u"--no-auth"_s, u"--user"_s, u"u"_s}, 2, "--no-auth"},
        {"missing_host", {u"add"_s, u"--description"_s, u"X"_s}, 2, "--host"},
        {"blank_host", {u"add"_s, u"--description"_s, u"X"_s, u"--host"_s, u"  "_s}, 2, "--host"},
        {"port_out_of_range", edit0 + QStringList{u"--port"_s, u"70000"_s}, 2, "--port"},
        {"port_not_a_number", edit0 + QStringList{u"--port"_s, u"smtp"_s}, 2, "--port"},
        {"unknown_security", edit0 + QStringList{u"--security"_s, u"ssl"_s}, 2, "--security"},
        {"nothing_to_change", edit0, 2, "nothing to change"},
        {"edit_beyond_the_list", {u"edit"_s, u"1"_s, u"--host"_s, u"h"_s}, 1, "no connection 1"},
        {"remove_beyond_the_list", {u"remove"_s, u"3"_s}, 1, "no connection 3"},
        {"remove_negative", {u"remove"_s, u"-1"_s}, 2, "number"},
        {"test_beyond_the_list", {u"test"_s, u"1"_s}, 1, "no connection 1"},
        {"unknown_subcommand", {u"rename"_s}, 2, "give list, add"},
    };
    for (const auto &row : rows) {
        const QByteArray before = fileContents(settingsFile());
        const CliRun run = connections(row.arguments);
        EXPECT_EQ(run.status, row.status) << row.name;
        EXPECT_THAT(run.err.toStdString(), HasSubstr(row.message)) << row.name;
        EXPECT_EQ(fileContents(settingsFile()), before) << row.name;
    }
}

// Which connections carry credentials in clear is the core's rule (its
// cleartext credentials tests); here the commands that warn and the option
// that silences them.
TEST_F(ConnectionCommandsTest, CredentialsInClearToAnotherMachineAreWarnedAbout)
{
    ASSERT_EQ(addWork().status, 0);
    const QStringList add{u"add"_s, u"--description"_s, u"Relay"_s, u"--user"_s, u"ada"_s, u"--password-env"_s,
                          u"QC_TEST_PASSWORD"_s, u"--host"_s};
    const QStringList plainToServer = add + QStringList{u"smtp.example.org"_s, u"--security"_s, u"plain"_s};
    const struct
    {
        const char *name;
        QStringList arguments;
        bool warned;
    } rows[] = {
        {"add_plain_to_a_server", plainToServer, true},
        {"add_plain_to_a_server_deliberately", plainToServer + QStringList{u"--allow-plain-auth"_s}, false},
        {"edit_to_plain", {u"edit"_s, u"0"_s, u"--security"_s, u"plain"_s}, true},
        {"edit_other_field_of_plain", {u"edit"_s, u"0"_s, u"--description"_s, u"Still plain"_s}, true},
        {"edit_to_no_authentication", {u"edit"_s, u"0"_s, u"--no-auth"_s}, false},
    };
    for (const auto &row : rows) {
        const CliRun run = connections(row.arguments);
        EXPECT_EQ(run.status, 0) << row.name << ": " << run.err.toStdString();
        EXPECT_EQ(run.err.contains(u"would travel unencrypted to smtp.example.org"_s), row.warned)
            << row.name << ": " << run.err.toStdString();
    }
}

TEST_F(ConnectionCommandsTest, FailedCheckSaysWhyAndExitsWithOne)
{
    // Nothing listens on port 1 of the loopback address.
    ASSERT_EQ(addLocal(1).status, 0);
    const CliRun run = connections({u"test"_s, u"0"_s});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err.toStdString(), HasSubstr("the check failed: "));
    EXPECT_GT(run.err.size(), QString(u"connections test: the check failed: \n"_s).size());
}

TEST_F(ConnectionCommandsTest, PassingCheckPrintsSuccess)
{
    const quillcast::testing::LocalSmtpServer server;
    ASSERT_TRUE(server.error().isEmpty()) << server.error().toStdString();
    ASSERT_EQ(addLocal(server.port("clear")).status, 0);
    const CliRun run = connections({u"test"_s, u"0"_s});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_THAT(run.out.toStdString(), HasSubstr("Success"));
}

class SendThroughStoredConnection : public ConnectionCommandsTest
{
protected:
    QString mailing()
    {
        const CliRun sample = runCli({u"sample"_s, u"--out"_s, scratch.path()});
        EXPECT_EQ(sample.status, 0) << sample.err.toStdString();
        const QString path = scratch.filePath(u"sample.quill"_s);
        // Through the SMTP server, never the local mail system.
        const CliRun smtp = runCli({u"set"_s, path, u"useMailServerToSend=1"_s});
        EXPECT_EQ(smtp.status, 0) << smtp.err.toStdString();
        return smtp.status == 0 ? path : QString();
    }
    static QString logOf(const QString &path)
    {
        const CliRun run = runCli({u"show"_s, path, u"--json"_s});
        return QJsonDocument::fromJson(run.out.toUtf8()).object().value(u"log"_s).toString();
    }
    QTemporaryDir scratch;
};

TEST_F(SendThroughStoredConnection, CredentialsInClearAreWarnedAboutBeforeTheRun)
{
    // With an empty password the run is refused before anything is sent, so
    // nothing leaves this machine.
    qputenv("QC_EMPTY_PASSWORD", "");
    ASSERT_EQ(connections({u"add"_s, u"--description"_s, u"Relay"_s, u"--host"_s, u"smtp.example.org"_s,
                           u"--security"_s, u"plain"_s, u"--user"_s, u"ada"_s, u"--password-env"_s,
                           u"QC_EMPTY_PASSWORD"_s, u"--allow-plain-auth"_s})
                  .status,
              0);
    const QString path = mailing();
    const QStringList send{u"send"_s, path, u"--checked"_s, u"--yes"_s};
    const QStringList server{u"--smtp-host"_s,  u"smtp.example.org"_s, u"--user"_s,
                             u"ada"_s,          u"--password-env"_s,   u"QC_EMPTY_PASSWORD"_s,
                             u"--security"_s};
    const struct
    {
        const char *name;
        QStringList arguments;
        bool warned;
    } rows[] = {
        {"server_on_the_command_line", send + server + QStringList{u"plain"_s}, true},
        {"deliberately", send + server + QStringList{u"plain"_s, u"--allow-plain-auth"_s}, false},
        {"stored_connection", send + QStringList{u"--connection"_s, u"0"_s}, true},
    };
    for (const auto &row : rows) {
        const CliRun run = runCli(row.arguments);
        EXPECT_EQ(run.status, 1) << row.name;
        EXPECT_THAT(run.err.toStdString(), HasSubstr("Empty password when required")) << row.name;
        EXPECT_EQ(run.err.contains(u"send: warning: the user name and password would travel unencrypted"_s),
                  row.warned)
            << row.name << ": " << run.err.toStdString();
    }
}

// The connection named carries the run, with its stored password.
TEST_F(SendThroughStoredConnection, TheChosenConnectionCarriesTheRunWithItsPassword)
{
    ASSERT_EQ(addWork().status, 0);
    ASSERT_EQ(connections({u"add"_s, u"--description"_s, u"Local"_s, u"--host"_s, u"127.0.0.1"_s, u"--port"_s,
                           u"1"_s, u"--security"_s, u"plain"_s, u"--user"_s, u"ada"_s, u"--password-env"_s,
                           u"QC_TEST_PASSWORD"_s})
                  .status,
              0);
    const QString path = mailing();
    const CliRun run = runCli({u"send"_s, path, u"--checked"_s, u"--yes"_s, u"--connection"_s, u"1"_s,
                               u"--interval"_s, u"1"_s, u"--wait"_s, u"30"_s});
    // Past the settings check (no empty password) to the server, where nothing listens.
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_THAT(run.err.toStdString(), Not(HasSubstr("Empty password")));
    EXPECT_THAT(run.out.toStdString(), HasSubstr("0 accepted by the server, 3 failed"));
    // The run's line, then one line per message that says why it failed.
    const QString log = logOf(path);
    EXPECT_EQ(log.count(u"Prepare and send checked records via 127.0.0.1 \u2026"_s), 1) << log.toStdString();
    EXPECT_EQ(log.count(u"Error sending email via 127.0.0.1 : "_s), 3) << log.toStdString();
}

TEST_F(SendThroughStoredConnection, UnknownConnectionIsRefusedAndTheMailingKept)
{
    ASSERT_EQ(addLocal(1).status, 0);
    const QString path = mailing();
    const QByteArray before = fileContents(path);
    const CliRun beyond = runCli({u"send"_s, path, u"--checked"_s, u"--yes"_s, u"--connection"_s, u"4"_s});
    EXPECT_EQ(beyond.status, 1);
    EXPECT_THAT(beyond.err.toStdString(), HasSubstr("no stored connection 4"));
    const CliRun both = runCli({u"send"_s, path, u"--checked"_s, u"--yes"_s, u"--connection"_s, u"0"_s,
                                u"--smtp-host"_s, u"h"_s});
    EXPECT_EQ(both.status, 2);
    EXPECT_EQ(fileContents(path), before);
}

} // namespace
