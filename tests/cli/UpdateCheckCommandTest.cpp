#include "CliRunner.h"

#include "LocalHttpServer.h"
#include "TestApplication.h"
#include "platform/SettingsFileStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using ::testing::HasSubstr;
using quillcast::SettingsFileStore;
using quillcast::clitest::CliRun;
using quillcast::clitest::runCli;
using quillcast::testing::LocalHttpServer;

namespace {

const QTemporaryDir &home()
{
    return quillcast::clitest::privateHome();
}

QByteArray listWithRelease(qint64 release)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>LRA</key><integer>"
        + QByteArray::number(release)
        + "</integer><key>GFU</key><string>https://dl.test/quillcast.zip</string>"
          "<key>DPU</key><string>https://dl.test/downloads</string></dict></plist>";
}

class UpdateCheckCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString folder = home().path();
        ASSERT_TRUE(SettingsFileStore::userFileName().startsWith(folder));
        QFile::remove(SettingsFileStore::userFileName());
        server.setReply("/current.plist", {200, listWithRelease(21001), {}});
        server.setReply("/newer.plist", {200, listWithRelease(21102), {}});
    }

    // Paths are on the test's server; whole addresses are taken as they are.
    CliRun check(const QStringList &lists)
    {
        QStringList arguments{u"update-check"_s};
        for (const QString &list : lists)
            arguments << u"--list"_s << (list.startsWith(u'/') ? server.url(list) : list);
        return runCli(arguments);
    }

    LocalHttpServer server;
};

TEST_F(UpdateCheckCommandTest, ReportsTheOutcomeInTheExitStatus)
{
    const struct
    {
        const char *name;
        QStringList lists;
        int status;
        QStringList printed;
    } rows[] = {
        {"up_to_date", {u"/current.plist"_s}, 0, {u"Quillcast is up to date"_s, u"-> Close"_s}},
        {"newer_after_a_missing_list", {u"/missing.plist"_s, u"/newer.plist"_s}, 0,
         {u"Latest available release is: 2.11.2"_s, u"Update: https://dl.test/quillcast.zip\n"_s,
          u"Download page: https://dl.test/downloads\n"_s}},
        {"no_list_anywhere", {u"/missing.plist"_s, u"/gone.plist"_s}, 1,
         {u"Quillcast was not able to connect to the Vantreel server"_s}},
        {"plain_http_to_another_host", {u"http://192.0.2.1/mac/quillcast.plist"_s}, 1, {}},
    };
    for (const auto &row : rows) {
        const CliRun run = check(row.lists);
        EXPECT_EQ(run.status, row.status) << row.name;
        for (const QString &text : row.printed)
            EXPECT_THAT(run.out.toStdString(), HasSubstr(text.toStdString())) << row.name;
    }
}

TEST_F(UpdateCheckCommandTest, SuccessfulCheckIsTheDaysCheck)
{
    check({u"/current.plist"_s});
    EXPECT_TRUE(SettingsFileStore().contains(u"lastCheckDateForUpdate"_s));
}

} // namespace
