#include "AppServicesRig.h"
#include "TestApplication.h"
#include "app/MailerAppDelegate.h"
#include "app/update/LXPhoneHome.h"
#include "app/update/UpdateListSource.h"
#include "connections/ConnectionList.h"
#include "connections/HardwareAddress.h"
#include "connections/OpenSslRandomSource.h"
#include "connections/StoredConnectionForm.h"
#include "platform/FixedClock.h"
#include "platform/QtMainLoop.h"
#include "util/UndoManager.h"

#include <gtest/gtest.h>


#include <atomic>

using namespace quillcast;
using namespace quillcast::testing;
using namespace Qt::StringLiterals;

namespace {

// An update server that cannot be reached; counts the attempts.
struct UnreachableList final : UpdateListSource
{
    std::optional<Dict> fetch(const QUrl &, std::stop_token) override
    {
        ++fetches;
        return std::nullopt;
    }
    std::atomic<int> fetches = 0;
};

struct MailerTest : ::testing::Test, AppServicesRig
{
    MailerTest() { application(); }

    std::unique_ptr<MailerAppDelegate> makeApp()
    {
        auto app = std::make_unique<MailerAppDelegate>(
            services(mainLoop),
            MailerAppDelegate::MailerServices{
                OpenSslRandomSource::instance(), machine, clock, updateList,
                [this](const QString &, const QString &, const QString &, qint32 port, qint32, bool,
                       LXMailCoreBridge::CheckCompletion, const QString &) { checkedPorts.append(port); }});
        app->setPreferencesWindow(&prefWindow, &prefUndo);
        return app;
    }
    void launch(MailerAppDelegate &app)
    {
        app.applicationWillFinishLaunching();
        app.applicationDidFinishLaunching();
    }

    HardwareAddress machine{folder.filePath(u"no-sys"_s)};
    FixedClock clock{QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3), QTimeZone::utc())};
    UnreachableList updateList;
    QObject context;
    QtMainLoop mainLoop{&context};
    QObject prefWindow;
    UndoManager prefUndo;
    QList<qint32> checkedPorts;
};

} // namespace

TEST_F(MailerTest, FreshUserReadsTheRegisteredDefaults)
{
    auto app = makeApp();
    EXPECT_TRUE(defaults.boolForKey(u"notifyUpdate"_s));
    EXPECT_EQ(defaults.integerForKey(u"StartupActionTag"_s), 0);
    EXPECT_TRUE(app->applicationShouldOpenUntitledFile());
    EXPECT_FALSE(store.contains(u"notifyUpdate"_s)); // fallbacks are never written
    defaults.setObject(u"StartupActionTag"_s, Value(qint64(1)));
    EXPECT_FALSE(app->applicationShouldOpenUntitledFile());
}

TEST_F(MailerTest, LaunchRunsItsStepsInOrder)
{
    // A connection stored by an earlier run.
    {
        auto earlier = makeApp();
        earlier->connections().addNewConnection();
    }
    auto app = makeApp();
    EXPECT_EQ(app->connections().connectionArray().size(), 0); // not before launch
    launch(*app);

    ASSERT_EQ(shell.menuItems.size(), 1);
    EXPECT_EQ(shell.menuItems[0].position, 1);
    EXPECT_EQ(shell.menuItems[0].title, u"Software Update\u2026"_s);
    EXPECT_EQ(shell.timerDelays, QList<int>{1000}); // startup action 0
    EXPECT_EQ(app->connections().connectionArray().size(), 1);
    EXPECT_EQ(app->connections().undoManager(), &prefUndo);
    EXPECT_TRUE(app->finishedLaunching());

    // The daily check (notifications on) found no server: nothing is shown.
    EXPECT_TRUE(processEventsUntil([&] { return !app->phoneHome().isChekingUpdateSystem(); }));
    EXPECT_EQ(updateList.fetches, 4);
    EXPECT_TRUE(alerts.shown().isEmpty());
}

TEST_F(MailerTest, NamedTransformersAreRegistered)
{
    auto app = makeApp();
    ValueTransformerRegistry &registry = app->valueTransformers();
    for (const QString &name : {u"valueIs0"_s, u"valueIs1"_s, u"valueIs3"_s, u"ret1ifnot0"_s, u"valueNot0"_s,
                                u"valueNot1"_s})
        EXPECT_NE(registry.valueTransformerForName(name), nullptr) << name.toStdString();
    EXPECT_EQ(registry.valueTransformerForName(u"valueIs3"_s)->reverseTransformedValue(Value(true)).toInt64(), 3);
    EXPECT_EQ(registry.valueTransformerForName(u"valueNot1"_s)->transformedValue(Value(qint64(65537))).toInt64(), 0);
}

// The tester's own table checks what it shows for each kind of connection;
// here, that it is handed the selected one and tests its effective port.
TEST_F(MailerTest, TesterShowsTheSelectedConnectionsEffectivePort)
{
    auto app = makeApp();
    launch(*app);
    app->connections().addNewConnection();
    app->connections().addNewConnection();
    ASSERT_TRUE(app->connections().editConnection(1, Dict{{u"useCustomPort"_s, Value(qint64(2))}}).ok());
    app->connections().setSelectionIndexes({1});
    app->testConnectionFromPreferences();
    ASSERT_NE(app->myMailConnectionTester(), nullptr);
    EXPECT_EQ(app->myMailConnectionTester()->serverPortString(), u"465"_s);
    EXPECT_EQ(app->myMailConnectionTester()->attachedToWindow(), &prefWindow);
    app->myMailConnectionTester()->testConnection();
    EXPECT_EQ(checkedPorts, QList<qint32>{465});
}

TEST_F(MailerTest, TerminationStoresTheConnectionList)
{
    auto app = makeApp();
    launch(*app);
    app->connections().addNewConnection();
    store.write({{u"connectionArray"_s, Value()}}); // lost behind the application's back
    app->applicationWillTerminate();
    EXPECT_EQ(StoredConnectionForm::read(store).connections.size(), 1);
}
