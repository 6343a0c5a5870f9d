#include "app/LXMailConnectionTester.h"

#include <gtest/gtest.h>

#include <QObject>

#include <vector>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

// Keeps every account check asked for, to answer them later in any order.
struct PendingChecks
{
    struct Check
    {
        QString host;
        qint32 port = 0;
        LXMailCoreBridge::CheckCompletion completion;
        QString requestID;
    };
    std::vector<Check> checks;

    LXMailConnectionTester::AccountCheck function()
    {
        return [this](const QString &host, const QString &, const QString &, qint32 port, qint32, bool,
                      LXMailCoreBridge::CheckCompletion completion, const QString &requestID) {
            checks.push_back({host, port, std::move(completion), requestID});
        };
    }
    void answer(std::size_t index, bool succeeded) { checks.at(index).completion(succeeded, checks.at(index).requestID); }
};

struct TesterTest : ::testing::Test
{
    TesterTest()
    {
        tester.SetMailServerDescription(u"Office"_s, u"smtp.example.org"_s, u"ann"_s, u"secret"_s, 587, 1, true);
        tester.runAttachedToWin(&window);
    }
    PendingChecks pending;
    QObject window;
    LXMailConnectionTester tester{pending.function()};
};

} // namespace

TEST_F(TesterTest, AnsweredTestShowsItsPaneAndEndsTesting)
{
    tester.testConnection();
    ASSERT_EQ(pending.checks.size(), 1u);
    EXPECT_EQ(pending.checks[0].host, u"smtp.example.org"_s);
    EXPECT_EQ(pending.checks[0].port, 587);
    EXPECT_TRUE(tester.testing());

    pending.answer(0, false);
    EXPECT_EQ(tester.connectionTabViewSelection(), LXMailConnectionTester::FailedPane);
    EXPECT_FALSE(tester.testing());
    EXPECT_FALSE(tester.progressAnimating());
    EXPECT_EQ(tester.uuidString(), QString());

    tester.testConnection(); // a new test from the failed pane
    pending.answer(1, true);
    EXPECT_EQ(tester.connectionTabViewSelection(), LXMailConnectionTester::SucceededPane);
}

TEST_F(TesterTest, OnlyTheSecondOfTwoQuickTestsChangesThePane)
{
    tester.testConnection();
    tester.testConnection();
    ASSERT_EQ(pending.checks.size(), 2u);
    EXPECT_NE(pending.checks[0].requestID, pending.checks[1].requestID);

    pending.answer(0, false);
    EXPECT_EQ(tester.connectionTabViewSelection(), LXMailConnectionTester::SettingsPane);
    EXPECT_TRUE(tester.testing());

    pending.answer(1, true);
    EXPECT_EQ(tester.connectionTabViewSelection(), LXMailConnectionTester::SucceededPane);
}

TEST_F(TesterTest, ReportArrivingAfterCloseIsIgnoredWhenReopened)
{
    tester.testConnection();
    tester.close();
    EXPECT_FALSE(tester.testing());
    tester.runAttachedToWin(&window);

    pending.answer(0, true);
    EXPECT_EQ(tester.connectionTabViewSelection(), LXMailConnectionTester::SettingsPane);
    EXPECT_FALSE(tester.testing());
}

TEST(LXMailConnectionTester, ReportAfterTheTesterIsGoneIsDropped)
{
    PendingChecks pending;
    {
        LXMailConnectionTester tester(pending.function());
        tester.testConnection();
    }
    pending.answer(0, true); // must not touch the destroyed tester (ASan)
    SUCCEED();
}

// What the sheet shows for a connection is what a send through it would use.
TEST(LXMailConnectionTester, ShowsTheSendingValuesOfAConnection)
{
    const struct
    {
        const char *name;
        Dict connection;
        QString port;
        QString encryption;
        QString authenticates;
    } rows[] = {
        {"new connection", Dict{{u"authenticationType"_s, Value(qint64(1))}}, u"25"_s, u"PLAIN"_s, u"YES"_s},
        {"port 465 over TLS",
         Dict{{u"useCustomPort"_s, Value(qint64(2))}, {u"connectionType"_s, Value(qint64(2))}}, u"465"_s, u"TLS"_s,
         u"NO"_s},
        {"custom port",
         Dict{{u"useCustomPort"_s, Value(qint64(1))}, {u"customPortUsed"_s, Value(qint64(2525))},
              {u"connectionType"_s, Value(qint64(1))}},
         u"2525"_s, u"STARTTLS"_s, u"NO"_s},
        {"release-1 server with useAuth only", Dict{{u"useAuth"_s, Value(true)}}, u"25"_s, u"PLAIN"_s, u"NO"_s},
        {"unknown encryption", Dict{{u"connectionType"_s, Value(qint64(7))}}, u"25"_s, u"PLAIN"_s, u"NO"_s},
        {"negative encryption", Dict{{u"connectionType"_s, Value(qint64(-1))}}, u"25"_s, u"PLAIN"_s, u"NO"_s},
    };
    for (const auto &row : rows) {
        PendingChecks pending;
        LXMailConnectionTester tester{pending.function()};
        Dict connection = row.connection;
        connection.set(u"mailServerDescription"_s, Value(u"Office"_s));
        connection.set(u"mailServerName"_s, Value(u"smtp.example.org"_s));
        tester.SetConnection(connection);
        EXPECT_EQ(tester.mailServerDescription(), u"Office"_s) << row.name;
        EXPECT_EQ(tester.mailServerAddress(), u"smtp.example.org"_s) << row.name;
        EXPECT_EQ(tester.serverPortString(), row.port) << row.name;
        EXPECT_EQ(tester.connectionString(), row.encryption) << row.name;
        EXPECT_EQ(tester.authString(), row.authenticates) << row.name;
    }
}
