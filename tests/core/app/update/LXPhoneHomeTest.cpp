#include "TestApplication.h"
#include "app/LXAppSupportUtility.h"
#include "app/update/LXPhoneHome.h"
#include "app/update/UpdateListSource.h"
#include "platform/FixedClock.h"
#include "platform/QtMainLoop.h"
#include "RecordingUrlOpener.h"
#include "ScriptedAlertPresenter.h"
#include "platform/SettingsFileStore.h"
#include "platform/UserDefaults.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace quillcast {
namespace {

using Outcome = LXPhoneHome::Outcome;

// The application's event loop, counting the posted calls it has run (on the
// test's thread only).
class CountingLoop final : public MainLoop
{
public:
    void post(std::function<void()> work) override
    {
        QtMainLoop::instance().post([this, work = std::move(work)] {
            work();
            ++ran;
        });
    }
    int ran = 0;
};

// Serves scripted lists by address and records what was asked for. While
// held, a fetch waits for release() or a stop request.
class FakeListSource final : public UpdateListSource
{
public:
    std::optional<Dict> fetch(const QUrl &url, std::stop_token stop) override
    {
        std::unique_lock lock(m_lock);
        m_fetched.append(url.toString());
        m_changed.notify_all();
        std::stop_callback wake(stop, [this] {
            const std::lock_guard inner(m_lock);
            m_changed.notify_all();
        });
        m_changed.wait(lock, [&] { return !m_held || stop.stop_requested(); });
        const auto it = m_lists.find(url.toString());
        return it == m_lists.end() ? std::nullopt : std::optional<Dict>(it->second.deepCopy());
    }
    void serve(const QString &address, const Dict &list)
    {
        const std::lock_guard lock(m_lock);
        m_lists[address] = list.deepCopy();
    }
    void hold(bool held = true)
    {
        {
            const std::lock_guard lock(m_lock);
            m_held = held;
        }
        m_changed.notify_all();
    }
    void waitForFetches(qsizetype count)
    {
        std::unique_lock lock(m_lock);
        m_changed.wait_for(lock, 10s, [&] { return m_fetched.size() >= count; });
    }
    QStringList fetched() const
    {
        const std::lock_guard lock(m_lock);
        return m_fetched;
    }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::map<QString, Dict> m_lists;
    QStringList m_fetched;
    bool m_held = false;
};

const QString url1 = u"https://a.test/mac/quillcast.plist"_s;
const QString url2 = u"https://b.test/mac/quillcast.plist"_s;
const QString url3 = u"https://c.test/mac/quillcast.plist"_s;
const QString url4 = u"https://d.test/mac/quillcast.plist"_s;
const QString gfu = u"https://dl.test/quillcast.zip"_s;
const QString dpu = u"https://dl.test/downloads"_s;
const QDateTime launch(QDate(2026, 12, 6), QTime(9, 0), QTimeZone::utc());

const QString updateMessage = u"There is an update available for Quillcast"_s;
const QString upToDateMessage = u"Quillcast is up to date"_s;
const QString failedMessage = u"Quillcast was not able to connect to the Vantreel server"_s;

Dict listWithRelease(qint64 release)
{
    return Dict{{u"LRA"_s, Value(release)}, {u"GFU"_s, Value(gfu)}, {u"DPU"_s, Value(dpu)}};
}

// A checker with its settings in a folder of its own. Alerts are answered
// with an index past the buttons the checker acts on ("Later", "Cancel", and
// nothing for the others) unless a test queues an answer.
struct Rig
{
    Rig()
    {
        testing::application();
        defaults.registerDefaults(Dict{{u"notifyUpdate"_s, Value(true)}});
        home = makeHome();
    }
    ~Rig()
    {
        home.reset();
        testing::drainEvents();
    }

    std::unique_ptr<LXPhoneHome> makeHome()
    {
        auto made = std::make_unique<LXPhoneHome>(
            LXPhoneHome::Services{defaults, alerts, opener, loop, clock, source});
        made->SetValueAppRelease(21001, u"Quillcast"_s, url1, url2, url3, url4);
        made->setCheckFinishedHandler([this](const LXPhoneHome::CheckResult &r) { outcomes.append(r.outcome); });
        return made;
    }
    // Lets the next download's result come back and be handled.
    void finishDownload()
    {
        const int target = loop.ran + 1;
        ASSERT_TRUE(testing::processEventsUntil([&] { return loop.ran >= target; }));
    }
    QStringList alertMessages() const
    {
        QStringList messages;
        for (const Alert &a : alerts.shown())
            messages.append(a.messageText);
        return messages;
    }
    std::optional<QDateTime> lastCheck() const { return defaults.dateForKey(u"lastCheckDateForUpdate"_s); }
    void setLastCheck(const QDateTime &when) { ASSERT_TRUE(defaults.setObject(u"lastCheckDateForUpdate"_s, Value(when))); }
    void setNotifyUpdate(bool on) { ASSERT_TRUE(defaults.setObject(u"notifyUpdate"_s, Value(on))); }

    QTemporaryDir dir;
    SettingsFileStore store{dir.filePath(u"defaults.ini"_s)};
    UserDefaults defaults{store};
    ScriptedAlertPresenter alerts{2};
    RecordingUrlOpener opener;
    CountingLoop loop;
    FixedClock clock{launch};
    FakeListSource source;
    QList<Outcome> outcomes;
    std::unique_ptr<LXPhoneHome> home;
};

class LXPhoneHomeTest : public ::testing::Test, protected Rig
{
};

// What each way of starting a check reports, and whether the day's check is
// then stored: only a list that came back counts, whatever it says (a date
// stored when the download starts would stand after a failure).
TEST(LXPhoneHome, ReportsWhatTheStartAsksForAndStoresTheDateOfAList)
{
    const struct
    {
        const char *name;
        bool atStartup;
        std::optional<qint64> published; // none: no list at any address; 0: a list without LRA
        QStringList messages;
        Outcome outcome;
    } rows[] = {
        {"newer_on_software_update", false, 21002, {updateMessage}, Outcome::UpdateAvailable},
        {"same_release_is_up_to_date", false, 21001, {upToDateMessage}, Outcome::UpToDate},
        {"older_release_is_up_to_date", false, 20500, {upToDateMessage}, Outcome::UpToDate},
        {"no_list_on_software_update", false, std::nullopt, {failedMessage}, Outcome::Failed},
        {"no_release_on_software_update", false, 0, {}, Outcome::NoRelease},
        {"newer_at_startup", true, 21002, {updateMessage}, Outcome::UpdateAvailable},
        {"up_to_date_at_startup_is_quiet", true, 21001, {}, Outcome::UpToDate},
        {"no_list_at_startup_is_quiet", true, std::nullopt, {}, Outcome::Failed},
    };
    const QDateTime before = launch.addDays(-3);
    for (const auto &row : rows) {
        Rig r;
        r.setLastCheck(before);
        if (row.published == 0)
            r.source.serve(url1, Dict{{u"DPU"_s, Value(dpu)}});
        else if (row.published)
            r.source.serve(url1, listWithRelease(*row.published));
        if (row.atStartup)
            r.home->startupProcedure();
        else
            r.home->checkForLastReleaseAvailableWithNotify();
        r.finishDownload();
        EXPECT_EQ(r.alertMessages(), row.messages) << row.name;
        EXPECT_THAT(r.outcomes, ElementsAre(row.outcome)) << row.name;
        EXPECT_FALSE(r.home->isChekingUpdateSystem()) << row.name;
        EXPECT_EQ(r.lastCheck(), row.published ? launch : before) << row.name;
    }
}

// --- The addresses ----------------------------------------------------------

// The first address with a list ends the search; its release, not a later
// address's, is named in the alert beside ours.
TEST_F(LXPhoneHomeTest, FirstAddressWithAListEndsTheSearchAndItsAlertNamesBothReleases)
{
    source.serve(url2, listWithRelease(21102));
    source.serve(url3, listWithRelease(21002));
    home->checkForLastReleaseAvailableWithNotify();
    finishDownload();
    EXPECT_THAT(source.fetched(), ElementsAre(url1, url2));
    ASSERT_EQ(alertMessages(), QStringList{updateMessage});
    EXPECT_EQ(alerts.shown().first().informativeText,
              u"You are using release: 2.10.1\nLatest available release is: 2.11.2\n"
              "Vantreel recommends to use always the latest release"_s);
}

TEST(LXPhoneHome, TakesAtMostFourConfiguredAddresses)
{
    const struct { const char *name; std::optional<QStringList> configured; QStringList expected; } rows[] = {
        {"none_configured", std::nullopt, LXPhoneHome::defaultListAddresses()},
        {"only_blanks", QStringList{u""_s, u"  "_s}, LXPhoneHome::defaultListAddresses()},
        {"two", QStringList{url1, u""_s, url2}, {url1, url2}},
        {"six", QStringList{url1, url2, url3, url4, url1, url2}, {url1, url2, url3, url4}},
    };
    for (const auto &row : rows) {
        Rig r;
        if (row.configured) {
            List configured;
            for (const QString &a : *row.configured)
                configured.append(Value(a));
            // Not an address: ignored. (A number would come back from the
            // file as a text.)
            configured.append(Value(Dict{{u"address"_s, Value(url1)}}));
            ASSERT_TRUE(r.defaults.setObject(u"updateListAddresses"_s, Value(configured)));
        }
        EXPECT_EQ(LXPhoneHome::configuredListAddresses(r.defaults), row.expected) << row.name;
    }
}

// --- The date of the last check ---------------------------------------------

TEST_F(LXPhoneHomeTest, TwoLaunchesOnOneDayDownloadOnce)
{
    source.serve(url1, listWithRelease(21001));
    home->startupProcedure();
    finishDownload();
    clock.advance(3 * 3600 * 1000);
    home = makeHome();
    EXPECT_FALSE(home->dailyVerboseCheckForLastReleaseAvailable());
    EXPECT_EQ(source.fetched().size(), 1);
}

TEST(LXPhoneHome, ComparesCalendarDaysInTheUsersZone)
{
    // 23:30 UTC the day before is another day in UTC, the same day two hours east.
    const QDateTime lateYesterday(QDate(2026, 12, 5), QTime(23, 30), QTimeZone::utc());
    const QDateTime earlyToday(QDate(2026, 12, 6), QTime(0, 1), QTimeZone::utc());
    const struct { const char *name; QDateTime stored; QTimeZone zone; bool notToday; } rows[] = {
        {"yesterday_in_utc", lateYesterday, QTimeZone::utc(), true},
        {"same_day_two_hours_east", lateYesterday, QTimeZone(2 * 3600), false},
        {"earlier_today", earlyToday, QTimeZone::utc(), false},
        {"same_day_a_year_ago", earlyToday.addYears(-1), QTimeZone::utc(), true},
    };
    for (const auto &row : rows) {
        Rig r;
        const FixedClock zoned(QDateTime(QDate(2026, 12, 6), QTime(0, 30), QTimeZone::utc()), row.zone);
        LXPhoneHome checker({r.defaults, r.alerts, r.opener, r.loop, zoned, r.source});
        r.setLastCheck(row.stored);
        EXPECT_EQ(checker.lastCheckNotToday(), row.notToday) << row.name;
    }
}

// --- The invitation ----------------------------------------------------------

const QString shortInvitation = u"Would you like that Quillcast informs you now for any available update?"_s;

TEST(LXPhoneHome, StartupWithNotificationsOffInvitesAfterNinetyDays)
{
    const QString longInvitation = u"It is more then 90 days this app doesn't report to you for updates.\n"_s
        + shortInvitation;
    const struct { const char *name; std::optional<qint64> daysSinceCheck; QStringList messages; } rows[] = {
        {"never_checked", std::nullopt, {shortInvitation}},
        {"ninety_one_days", 91, {longInvitation}},
        {"exactly_ninety_days", 90, {}},
        {"two_days", 2, {}},
    };
    for (const auto &row : rows) {
        Rig r;
        r.setNotifyUpdate(false);
        if (row.daysSinceCheck)
            r.setLastCheck(launch.addDays(-*row.daysSinceCheck));
        r.home->startupProcedure();
        EXPECT_EQ(r.alertMessages(), row.messages) << row.name;
        r.finishDownload(); // the silent check, which shows nothing
        EXPECT_EQ(r.alertMessages(), row.messages) << row.name;
    }
}

// Accepting the invitation while start-up's silent check is still
// downloading: that download answers, and no second one starts.
TEST_F(LXPhoneHomeTest, AcceptedInvitationReportsTheRunningCheck)
{
    setNotifyUpdate(false);
    source.serve(url1, listWithRelease(21001));
    source.hold();
    alerts.queueAnswer(0);
    home->startupProcedure();
    EXPECT_TRUE(home->isChekingUpdateSystem());
    source.hold(false);
    finishDownload();
    EXPECT_EQ(alertMessages(), (QStringList{shortInvitation, upToDateMessage}));
    EXPECT_EQ(source.fetched().size(), 1);
}

// --- One check at a time ------------------------------------------------------

TEST_F(LXPhoneHomeTest, NoSecondCheckWhileOneIsUnderWay)
{
    source.hold();
    home->silentCheckForLastReleaseAvailable();
    EXPECT_FALSE(home->silentCheckForLastReleaseAvailable());
    EXPECT_FALSE(home->checkForLastReleaseAvailableWithNotify());
    source.hold(false);
    finishDownload();
    // One search, over all four addresses in order.
    EXPECT_THAT(source.fetched(), ElementsAre(url1, url2, url3, url4));
}

TEST_F(LXPhoneHomeTest, CheckingLastsUntilTheAlertIsDismissed)
{
    // A presenter that keeps the alert open until the test answers.
    struct HeldPresenter final : AlertPresenter
    {
        void present(const Alert &, Completion completion) override { pending = std::move(completion); }
        Completion pending;
    } held;
    LXPhoneHome checker({defaults, held, opener, loop, clock, source});
    checker.SetValueAppRelease(21001, u"Quillcast"_s, url1, url2, url3, url4);
    checker.checkForLastReleaseAvailableWithNotify();
    finishDownload();
    ASSERT_TRUE(held.pending);
    EXPECT_TRUE(checker.isChekingUpdateSystem());
    held.pending(0);
    EXPECT_FALSE(checker.isChekingUpdateSystem());
}

// --- Buttons: only web addresses are opened ------------------------------------

TEST(LXPhoneHome, ButtonsOpenWebAddressesOnly)
{
    const QString ourPage = LXAppSupportUtility::downloadPageUrl().toString(QUrl::FullyEncoded);
    const struct
    {
        const char *name;
        qint64 published;
        int button;
        Dict::Entries addresses; // GFU and DPU
        QStringList opened;
    } rows[] = {
        {"download_update", 21002, 0, {{u"GFU"_s, gfu}, {u"DPU"_s, dpu}}, {gfu}},
        {"download_page", 21002, 1, {{u"GFU"_s, gfu}, {u"DPU"_s, dpu}}, {dpu}},
        {"later", 21002, 2, {{u"GFU"_s, gfu}, {u"DPU"_s, dpu}}, {}},
        {"up_to_date_download_page", 21001, 0, {{u"GFU"_s, gfu}, {u"DPU"_s, dpu}}, {dpu}},
        {"file_update_falls_back_to_page", 21002, 0, {{u"GFU"_s, u"file:///bin/sh"_s}, {u"DPU"_s, dpu}}, {dpu}},
        {"missing_page_falls_back_to_ours", 21002, 1, {{u"GFU"_s, gfu}}, {ourPage}},
        {"custom_scheme_page_falls_back_to_ours", 21001, 0, {{u"DPU"_s, u"x-run://evil"_s}}, {ourPage}},
    };
    for (const auto &row : rows) {
        Rig r;
        Dict list(row.addresses);
        list.set(u"LRA"_s, Value(row.published));
        r.source.serve(url1, list);
        r.alerts.queueAnswer(row.button);
        r.home->checkForLastReleaseAvailableWithNotify();
        r.finishDownload();
        EXPECT_EQ(r.opener.openedUrls, row.opened) << row.name;
    }
}

// --- Going away mid-check ------------------------------------------------------

TEST_F(LXPhoneHomeTest, DestroyedDuringTheDownloadStopsIt)
{
    source.hold();
    home->checkForLastReleaseAvailableWithNotify();
    source.waitForFetches(1);
    home.reset();
    EXPECT_EQ(source.fetched().size(), 1);
}

TEST_F(LXPhoneHomeTest, ResultArrivingAfterDestructionIsDropped)
{
    source.serve(url1, listWithRelease(21002));
    home->checkForLastReleaseAvailableWithNotify();
    source.waitForFetches(1);
    // Let the worker post its result before the checker goes.
    std::this_thread::sleep_for(50ms);
    home.reset();
    testing::processEventsUntil([&] { return loop.ran > 0; }, 200);
    EXPECT_THAT(alerts.shown(), IsEmpty());
}

} // namespace
} // namespace quillcast
