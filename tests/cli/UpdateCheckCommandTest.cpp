#include "CliRunner.h"

#include "LocalHttpServer.h"
#include "LocalPorts.h"
#include "connections/ConnectionStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using ::testing::HasSubstr;
using ::testing::Not;
using quillcast::ConnectionStore;
using quillcast::clitest::CliRun;
using quillcast::clitest::runCli;
using quillcast::testing::LocalHttpServer;

namespace {

// The runs share one home of their own, so a successful check never lands
// in the user's real settings. The settings location is fixed at the first
// use in a process, so it is set once, before any.
const QTemporaryDir &home()
{
    static int argc = 1;
    static char name[] = "cli_update_check_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static const QTemporaryDir folder;
    static const bool pointed = [] {
        qputenv("HOME", folder.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", folder.filePath(u".config"_s).toLocal8Bit());
        return true;
    }();
    Q_UNUSED(pointed);
    return folder;
}

QByteArray listWithRelease(qint64 release)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>LRA</key><integer>"
           + QByteArray::number(release)
           + "</integer>"
             "<key>GFU</key><string>https://dl.test/quillcast.zip</string>"
             "<key>DPU</key><string>https://dl.test/downloads</string></dict></plist>";
}

class UpdateCheckCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString folder = home().path();
        ASSERT_TRUE(ConnectionStore::userFileName().startsWith(folder));
        QFile::remove(ConnectionStore::userFileName());
        server.setReply("/current.plist", {200, listWithRelease(21001), {}});
        server.setReply("/newer.plist", {200, listWithRelease(21102), {}});
    }

    CliRun check(const QStringList &paths)
    {
        QStringList arguments{u"update-check"_s};
        for (const QString &path : paths)
            arguments << u"--list"_s << server.url(path);
        return runCli(arguments);
    }

    LocalHttpServer server;
};

TEST_F(UpdateCheckCommandTest, UpToDateListExitsZero)
{
    const CliRun run = check({u"/current.plist"_s});
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.out.toStdString(), HasSubstr("Quillcast is up to date"));
    EXPECT_THAT(run.out.toStdString(), HasSubstr("-> Close"));
}

TEST_F(UpdateCheckCommandTest, NewerReleasePrintsWhereToGetIt)
{
    const CliRun run = check({u"/missing.plist"_s, u"/newer.plist"_s});
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.out.toStdString(), HasSubstr("Latest available release is: 2.11.2"));
    EXPECT_THAT(run.out.toStdString(), HasSubstr("Update: https://dl.test/quillcast.zip\n"));
    EXPECT_THAT(run.out.toStdString(), HasSubstr("Download page: https://dl.test/downloads\n"));
}

TEST_F(UpdateCheckCommandTest, NoListExitsOneAfterEveryAddress)
{
    const CliRun run = check({u"/missing.plist"_s, u"/gone.plist"_s});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.out.toStdString(), HasSubstr("Quillcast was not able to connect to the Vantreel server"));
    EXPECT_EQ(server.requests().size(), 2);
}

TEST_F(UpdateCheckCommandTest, SuccessfulCheckIsTheDaysCheck)
{
    check({u"/current.plist"_s});
    EXPECT_TRUE(ConnectionStore().contains(u"lastCheckDateForUpdate"_s));
}

TEST_F(UpdateCheckCommandTest, PlainHttpToAnotherHostIsRefused)
{
    const CliRun run = runCli({u"update-check"_s, u"--list"_s, u"http://192.0.2.1/mac/quillcast.plist"_s});
    EXPECT_EQ(run.status, 1);
}

} // namespace
