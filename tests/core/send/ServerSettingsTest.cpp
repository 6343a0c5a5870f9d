#include "SendingTestData.h"

#include "ScriptedAlertPresenter.h"
#include "send/SendingValues.h"
#include "send/ServerSettings.h"
#include "send/StaticConnectionProvider.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

Dict connection(const QString &host, qint64 useCustomPort = 0, std::optional<qint64> customPort = std::nullopt,
                qint64 authenticationType = 0, const QString &user = QString(), const QString &password = QString())
{
    Dict c{{u"mailServerDescription"_s, Value(u"Office"_s)},
           {u"mailServerName"_s, Value(host)},
           {u"useCustomPort"_s, Value(useCustomPort)},
           {u"connectionType"_s, Value(qint64(1))},
           {u"authenticationType"_s, Value(authenticationType)},
           {u"port"_s, Value(qint64(9999))}};
    if (customPort)
        c.set(u"customPortUsed"_s, Value(*customPort));
    if (!user.isNull())
        c.set(u"username"_s, Value(user));
    if (!password.isNull())
        c.set(u"password"_s, Value(password));
    return c;
}

struct PortRow
{
    const char *name;
    std::optional<qint64> useCustomPort;
    std::optional<qint64> customPortUsed;
    qint64 port;
};

TEST(SendingValues, PortComesFromThePortChoiceAlone)
{
    const PortRow rows[] = {
        {"absent choice", std::nullopt, std::nullopt, 25},
        {"choice 0", 0, 587, 25},
        {"choice 2", 2, 587, 465},
        {"custom 587", 1, 587, 587},
        {"custom without port", 1, std::nullopt, 0},
        {"unknown choice", 7, 587, 25},
    };
    for (const PortRow &row : rows) {
        Dict c{{u"mailServerName"_s, Value(u"smtp.example.org"_s)}, {u"port"_s, Value(qint64(2525))}};
        if (row.useCustomPort)
            c.set(u"useCustomPort"_s, Value(*row.useCustomPort));
        if (row.customPortUsed)
            c.set(u"customPortUsed"_s, Value(*row.customPortUsed));
        EXPECT_EQ(SendingValues::GetSendingValueFromDict(c).intValue(u"port"_s), row.port) << row.name;
    }
}

TEST(SendingValues, AuthenticationOnlyForType1)
{
    EXPECT_TRUE(SendingValues::GetSendingValueFromDict(connection(u"h"_s, 0, {}, 1)).boolValue(u"useAuth"_s));
    EXPECT_FALSE(SendingValues::GetSendingValueFromDict(connection(u"h"_s, 0, {}, 2)).boolValue(u"useAuth"_s));
}

struct CheckRow { const char *name; Dict connection; int code; };

TEST(ServerSettings, CompletenessCodes)
{
    const CheckRow rows[] = {
        {"complete with login", connection(u"smtp.example.org"_s, 0, {}, 1, u"me"_s, u"pw"_s), 0},
        {"no login needed, no user", connection(u"smtp.example.org"_s, 0, {}, 0), 0},
        {"blank server", connection(u"   "_s), 1},
        {"blank server before bad port", connection(u""_s, 1, {}), 1},
        {"user blank", connection(u"smtp.example.org"_s, 0, {}, 1, u" "_s, u"pw"_s), 2},
        {"password missing", connection(u"smtp.example.org"_s, 0, {}, 1, u"me"_s), 3},
        {"custom port missing", connection(u"smtp.example.org"_s, 1, {}), 4},
    };
    for (const CheckRow &row : rows) {
        MyDocument doc{SystemClock::instance()};
        StaticConnectionProvider provider(List({Value(row.connection)}));
        const std::optional<ServerCredentials> server = ServerSettings(doc, &provider).adjustSendingValueFromPref();
        ASSERT_TRUE(server) << row.name;
        EXPECT_EQ(ServerSettings::checkForCorrectServerSetting(*server), row.code) << row.name;
    }
}

TEST(ServerSettings, CopiesTheChosenConnectionAndRepairsTheIndex)
{
    MyDocument doc{SystemClock::instance()};
    doc.setSelectedIndexConnection(5);
    StaticConnectionProvider provider(List({Value(connection(u"first.example.org"_s)),
                                            Value(connection(u"second.example.org"_s, 2, {}, 1, u"me"_s, u"pw"_s))}));
    const std::optional<ServerCredentials> server = ServerSettings(doc, &provider).adjustSendingValueFromPref();

    EXPECT_EQ(doc.selectedIndexConnection(), std::optional<qint64>(1));
    ASSERT_TRUE(server);
    EXPECT_EQ(*server, (ServerCredentials{.name = u"second.example.org"_s,
                                          .port = 465,
                                          .connectionType = 1,
                                          .requirePassword = true,
                                          .username = u"me"_s,
                                          .password = u"pw"_s}));
}

// Without any connection there is no server, and a send is refused: the
// values of a connection used before (since deleted) are never used again.
// A server given for the run is used whatever the list holds.
TEST(ServerSettings, ServerForSendingIsTheGivenOneOrTheChosenConnection)
{
    MyDocument doc{SystemClock::instance()};
    StaticConnectionProvider empty;
    StaticConnectionProvider one(List({Value(connection(u"listed.example.org"_s))}));
    const ServerCredentials given{.name = u"given.example.org"_s, .port = 2525};

    EXPECT_FALSE(ServerSettings(doc, &empty).adjustSendingValueFromPref());
    EXPECT_FALSE(ServerSettings(doc, nullptr).adjustSendingValueFromPref());
    EXPECT_EQ(ServerSettings::checkForCorrectServerSetting(ServerSettings(doc, &empty).serverForSending(std::nullopt)),
              ServerSettings::EmptyServerName);
    EXPECT_EQ(ServerSettings(doc, &one).serverForSending(std::nullopt).name, u"listed.example.org"_s);
    EXPECT_EQ(ServerSettings(doc, &one).serverForSending(given), given);
    EXPECT_EQ(ServerSettings(doc, &empty).serverForSending(given), given);
}

TEST(ServerSettings, AlertLeadsToTheMailServerPreferences)
{
    sendtest::application();
    MyDocument doc{SystemClock::instance()};
    ScriptedAlertPresenter presenter;
    doc.setAlertPresenter(&presenter);
    int openedTab = -1;
    StaticConnectionProvider provider(List(), [&](int tab) { openedTab = tab; });
    ServerSettings settings(doc, &provider);

    presenter.queueAnswer(1);
    settings.presentServerSettingErrorDialog(ServerSettings::EmptyPassword);
    presenter.queueAnswer(0);
    settings.presentServerSettingErrorDialog(ServerSettings::WrongPort);

    ASSERT_EQ(presenter.shown().size(), 2);
    EXPECT_EQ(presenter.shown().at(0).messageText, u"Wrong server settings: Empty password when required"_s);
    EXPECT_EQ(presenter.shown().at(1).messageText, u"Wrong server settings: wrong port number"_s);
    EXPECT_EQ(presenter.shown().at(1).informativeText, u"Please open the Mail Server Preferences to fix them"_s);
    EXPECT_EQ(presenter.shown().at(1).buttons, QStringList({u"Open Server Settings"_s, u"Cancel"_s}));
    EXPECT_TRUE(sendtest::processEventsUntil([&] { return openedTab != -1; }));
    EXPECT_EQ(openedTab, ConnectionProvider::MailServerTab);
}

TEST(ServerSettings, SystemMailClientTakesPlainTextOnly)
{
    MyDocument doc{SystemClock::instance()};
    for (const qint64 throughServer : {0, 1}) {
        doc.setEmailKind(1);
        doc.setUseMailServerToSend(throughServer);
        ServerSettings(doc, nullptr).fitMessageKindToTransport();
        EXPECT_EQ(doc.emailKind(), throughServer) << "HTML kept only for the server";
    }
}

} // namespace
} // namespace quillcast
