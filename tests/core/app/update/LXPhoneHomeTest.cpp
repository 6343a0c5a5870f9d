#include "app/LXAppSupportUtility.h"
#include "app/UserDefaults.h"
#include "app/update/LXPhoneHome.h"
#include "app/update/UpdateListSource.h"
#include "connections/ConnectionStore.h"
#include "platform/FixedClock.h"
#include "platform/MainLoop.h"
#include "platform/RecordingUrlOpener.h"
#include "platform/ScriptedAlertPresenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace quillcast {
namespace {

using Outcome = LXPhoneHome::Outcome;

// A main loop that other threads may post to; the test turns it.
class ThreadedLoop final : public MainLoop
{
public:
    void post(std::function<void()> work) override
    {
        {
            const std::lock_guard lock(m_lock);
            m_pending.push_back(std::move(work));
        }
        m_posted.notify_all();
    }
    // Waits for posted work and runs it; false when none came in time.
    bool runNext(std::chrono::milliseconds patience = 10s)
    {
        std::function<void()> work;
        {
            std::unique_lock lock(m_lock);
            if (!m_posted.wait_for(lock, patience, [this] { return !m_pending.empty(); }))
                return false;
            work = std::move(m_pending.front());
            m_pending.pop_front();
        }
        work();
        return true;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_pending;
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
        if (it == m_lists.end())
            return std::nullopt;
        return it->second.deepCopy();
    }

    void serve(const QString &address, const Dict &list)
    {
        const std::lock_guard lock(m_lock);
        m_lists[address] = list.deepCopy();
    }
    void hold()
    {
        const std::lock_guard lock(m_lock);
        m_held = true;
    }
    void release()
    {
        {
            const std::lock_guard lock(m_lock);
            m_held = false;
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

const QDateTime launch(QDate(2026, 12, 6), QTime(9, 0), QTimeZone::utc());

Dict listWithRelease(qint64 release)
{
    return Dict{{u"LRA"_s, Value(release)},
                {u"GFU"_s, Value(u"https://dl.test/quillcast.zip"_s)},
                {u"DPU"_s, Value(u"https://dl.test/downloads"_s)}};
}

// Answers every alert with an index past the buttons the checker acts on
// ("Later", "Cancel", and nothing for the others) unless a test queues one.
constexpr int doNothing = 2;

class LXPhoneHomeTest : public ::testing::Test
{
protected:
    LXPhoneHomeTest()
    {
        defaults.registerDefaults(Dict{{u"notifyUpdate"_s, Value(true)}});
        home = makeHome();
    }

    std::unique_ptr<LXPhoneHome> makeHome()
    {
        auto made = std::make_unique<LXPhoneHome>(
            LXPhoneHome::Services{defaults, alerts, opener, loop, clock, source});
        made->SetValueAppRelease(21001, u"Quillcast"_s, url1, url2, url3, url4);
        made->setCheckFinishedHandler([this](const LXPhoneHome::CheckResult &r) { outcomes.append(r.outcome); });
        return made;
    }

    // Lets the download's result come back and be handled.
    void finishDownload() { ASSERT_TRUE(loop.runNext()); }

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
    ConnectionStore store{dir.filePath(u"defaults.ini"_s)};
    UserDefaults defaults{store};
    ScriptedAlertPresenter alerts{doNothing};
    RecordingUrlOpener opener;
    ThreadedLoop loop;
    FixedClock clock{launch};
    FakeListSource source;
    QList<Outcome> outcomes;
    std::unique_ptr<LXPhoneHome> home;
};

// --- What each way of starting a check reports ------------------------------

enum class Start { SoftwareUpdate, StartupNotifying };

struct ReportRow
{
    const char *name;
    Start start;
    std::optional<qint64> published; // none: no list at any address; 0: a list without LRA
    QStringList expectedMessages;
    Outcome expectedOutcome;
};

class LXPhoneHomeReportTest : public LXPhoneHomeTest, public ::testing::WithParamInterface<ReportRow>
{
};

TEST_P(LXPhoneHomeReportTest, ShowsWhatTheStartAsksFor)
{
    const ReportRow &row = GetParam();
    if (row.published == 0)
        source.serve(url1, Dict{{u"DPU"_s, Value(u"https://dl.test/downloads"_s)}});
    else if (row.published)
        source.serve(url1, listWithRelease(*row.published));
    if (row.start == Start::SoftwareUpdate)
        home->checkForLastReleaseAvailableWithNotify();
    else
        home->startupProcedure();
    finishDownload();
    EXPECT_EQ(alertMessages(), row.expectedMessages);
    EXPECT_THAT(outcomes, ElementsAre(row.expectedOutcome));
    EXPECT_FALSE(home->isChekingUpdateSystem());
}

const QString updateMessage = u"There is an update available for Quillcast"_s;
const QString upToDateMessage = u"Quillcast is up to date"_s;
const QString failedMessage = u"Quillcast was not able to connect to the Vantreel server"_s;

INSTANTIATE_TEST_SUITE_P(
    Outcomes, LXPhoneHomeReportTest,
    ::testing::Values(
        ReportRow{"newer_on_software_update", Start::SoftwareUpdate, 21002, {updateMessage}, Outcome::UpdateAvailable},
        ReportRow{"same_release_is_up_to_date", Start::SoftwareUpdate, 21001, {upToDateMessage}, Outcome::UpToDate},
        ReportRow{"older_release_is_up_to_date", Start::SoftwareUpdate, 20500, {upToDateMessage}, Outcome::UpToDate},
        ReportRow{"no_list_on_software_update", Start::SoftwareUpdate, std::nullopt, {failedMessage}, Outcome::Failed},
        ReportRow{"no_release_on_software_update", Start::SoftwareUpdate, 0, {}, Outcome::NoRelease},
        ReportRow{"newer_at_startup", Start::StartupNotifying, 21002, {updateMessage}, Outcome::UpdateAvailable},
        ReportRow{"up_to_date_at_startup_is_quiet", Start::StartupNotifying, 21001, {}, Outcome::UpToDate},
        ReportRow{"no_list_at_startup_is_quiet", Start::StartupNotifying, std::nullopt, {}, Outcome::Failed}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(LXPhoneHomeTest, UpdateAlertNamesBothReleases)
{
    source.serve(url1, listWithRelease(21102));
    home->checkForLastReleaseAvailableWithNotify();
    finishDownload();
    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_EQ(alerts.shown().first(), home->updateAvailableAlert(21102));
    EXPECT_EQ(alerts.shown().first().informativeText,
              u"You are using release: 2.10.1\nLatest available release is: 2.11.2\n"
              "Vantreel recommends to use always the latest release"_s);
}

// --- The addresses ----------------------------------------------------------

TEST_F(LXPhoneHomeTest, FailureComesAfterAllFourAddressesInOrder)
{
    home->checkForLastReleaseAvailableWithNotify();
    finishDownload();
    EXPECT_THAT(source.fetched(), ElementsAre(url1, url2, url3, url4));
}

TEST_F(LXPhoneHomeTest, FirstAddressWithAListEndsTheSearch)
{
    source.serve(url2, listWithRelease(21001));
    source.serve(url3, listWithRelease(21002));
    home->checkForLastReleaseAvailableWithNotify();
    finishDownload();
    EXPECT_THAT(source.fetched(), ElementsAre(url1, url2));
    EXPECT_EQ(alertMessages(), QStringList{upToDateMessage});
}

struct AddressRow
{
    const char *name;
    std::optional<QStringList> configured;
    QStringList expected;
};

class ConfiguredAddressTest : public LXPhoneHomeTest, public ::testing::WithParamInterface<AddressRow>
{
};

TEST_P(ConfiguredAddressTest, TakesAtMostFourConfiguredAddresses)
{
    const AddressRow &row = GetParam();
    if (row.configured) {
        List configured;
        for (const QString &a : *row.configured)
            configured.append(Value(a));
        configured.append(Value(qint64(7))); // not an address: ignored
        ASSERT_TRUE(defaults.setObject(u"updateListAddresses"_s, Value(configured)));
    }
    EXPECT_EQ(LXPhoneHome::configuredListAddresses(defaults), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ConfiguredAddressTest,
    ::testing::Values(AddressRow{"none_configured", std::nullopt, LXPhoneHome::defaultListAddresses()},
                      AddressRow{"only_blanks", QStringList{u""_s, u"  "_s}, LXPhoneHome::defaultListAddresses()},
                      AddressRow{"two", QStringList{url1, u""_s, url2}, QStringList{url1, url2}},
                      AddressRow{"six", QStringList{url1, url2, url3, url4, url1, url2},
                                 QStringList{url1, url2, url3, url4}}),
    [](const auto &row) { return std::string(row.param.name); });

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

TEST_F(LXPhoneHomeTest, LaunchAfterAFailedCheckDownloadsAgain)
{
    home->startupProcedure();
    finishDownload();
    source.serve(url1, listWithRelease(21001));
    home = makeHome();
    EXPECT_TRUE(home->dailyVerboseCheckForLastReleaseAvailable());
    finishDownload();
}

TEST_F(LXPhoneHomeTest, FailedDownloadLeavesTheDateAlone)
{
    const QDateTime before = launch.addDays(-3);
    setLastCheck(before);
    home->checkForLastReleaseAvailableWithNotify();
    finishDownload();
    EXPECT_EQ(lastCheck(), before);
}

TEST_F(LXPhoneHomeTest, ListWithoutReleaseStoresTheDate)
{
    source.serve(url1, Dict{{u"Other"_s, Value(u"x"_s)}});
    home->checkForLastReleaseAvailableWithNotify();
    finishDownload();
    EXPECT_EQ(lastCheck(), launch);
}

TEST_F(LXPhoneHomeTest, DateIsStoredOnlyWhenTheDownloadComesBack)
{
    source.serve(url1, listWithRelease(21002));
    source.hold();
    home->checkForLastReleaseAvailableWithNotify();
    source.waitForFetches(1);
    EXPECT_EQ(lastCheck(), std::nullopt);
    source.release();
    finishDownload();
}

struct DayRow
{
    const char *name;
    QDateTime stored;
    QTimeZone zone;
    bool expectedNotToday;
};

class LastCheckDayTest : public LXPhoneHomeTest, public ::testing::WithParamInterface<DayRow>
{
};

TEST_P(LastCheckDayTest, ComparesCalendarDaysInTheUsersZone)
{
    const DayRow &row = GetParam();
    const FixedClock zoned(QDateTime(QDate(2026, 12, 6), QTime(0, 30), QTimeZone::utc()), row.zone);
    LXPhoneHome checker({defaults, alerts, opener, loop, zoned, source});
    setLastCheck(row.stored);
    EXPECT_EQ(checker.lastCheckNotToday(), row.expectedNotToday);
}

INSTANTIATE_TEST_SUITE_P(
    Days, LastCheckDayTest,
    ::testing::Values(
        // 23:30 UTC the day before is another day in UTC, the same day two hours east.
        DayRow{"yesterday_in_utc", QDateTime(QDate(2026, 12, 5), QTime(23, 30), QTimeZone::utc()),
               QTimeZone::utc(), true},
        DayRow{"same_day_two_hours_east", QDateTime(QDate(2026, 12, 5), QTime(23, 30), QTimeZone::utc()),
               QTimeZone(2 * 3600), false},
        DayRow{"earlier_today", QDateTime(QDate(2026, 12, 6), QTime(0, 1), QTimeZone::utc()), QTimeZone::utc(),
               false},
        DayRow{"same_day_a_year_ago", QDateTime(QDate(2025, 12, 6), QTime(0, 1), QTimeZone::utc()),
               QTimeZone::utc(), true}),
    [](const auto &row) { return std::string(row.param.name); });

// --- The invitation ----------------------------------------------------------

struct InvitationRow
{
    const char *name;
    std::optional<qint64> daysSinceCheck;
    QStringList expectedMessages;
};

class InvitationTest : public LXPhoneHomeTest, public ::testing::WithParamInterface<InvitationRow>
{
};

const QString shortInvitation = u"Would you like that Quillcast informs you now for any available update?"_s;
const QString longInvitation = u"It is more then 90 days this app doesn't report to you for updates.\n"
                               "Would you like that Quillcast informs you now for any available update?"_s;

TEST_P(InvitationTest, StartupWithNotificationsOffInvitesAfterNinetyDays)
{
    const InvitationRow &row = GetParam();
    setNotifyUpdate(false);
    if (row.daysSinceCheck)
        setLastCheck(launch.addDays(-*row.daysSinceCheck));
    home->startupProcedure();
    EXPECT_EQ(alertMessages(), row.expectedMessages);
    finishDownload(); // the silent check, which shows nothing
    EXPECT_EQ(alertMessages(), row.expectedMessages);
}

INSTANTIATE_TEST_SUITE_P(Invitations, InvitationTest,
                         ::testing::Values(InvitationRow{"never_checked", std::nullopt, {shortInvitation}},
                                           InvitationRow{"ninety_one_days", 91, {longInvitation}},
                                           InvitationRow{"exactly_ninety_days", 90, {}},
                                           InvitationRow{"two_days", 2, {}}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(LXPhoneHomeTest, InvitationAsksToEnableTheReport)
{
    setNotifyUpdate(false);
    home->inCaseInviteToCheckForLastReleaseAvailable();
    ASSERT_EQ(alerts.shown().size(), 1);
    const Alert &shown = alerts.shown().first();
    EXPECT_EQ(shown.informativeText, u"Suggested option is to have the update report enabled.\n"
                                     "Use the Preference Dialog to enable this feature."_s);
    EXPECT_EQ(shown.buttons, (QStringList{u"OK"_s, u"Vantreel Site"_s, u"Cancel"_s}));
    EXPECT_EQ(shown.style, Alert::Style::Warning);
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
    source.release();
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
    source.release();
    finishDownload();
    EXPECT_EQ(source.fetched().size(), 4);
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

// --- Buttons -----------------------------------------------------------------

struct ButtonRow
{
    const char *name;
    qint64 published;
    int button;
    Dict::Entries addresses; // GFU and DPU
    QStringList expectedOpened;
};

class ButtonTest : public LXPhoneHomeTest, public ::testing::WithParamInterface<ButtonRow>
{
};

TEST_P(ButtonTest, OpensWebAddressesOnly)
{
    const ButtonRow &row = GetParam();
    Dict list(row.addresses);
    list.set(u"LRA"_s, Value(row.published));
    source.serve(url1, list);
    alerts.queueAnswer(row.button);
    home->checkForLastReleaseAvailableWithNotify();
    finishDownload();
    EXPECT_EQ(opener.openedUrls, row.expectedOpened);
}

const QString gfu = u"https://dl.test/quillcast.zip"_s;
const QString dpu = u"https://dl.test/downloads"_s;
const QString ourPage = LXAppSupportUtility::downloadPageUrl().toString(QUrl::FullyEncoded);

INSTANTIATE_TEST_SUITE_P(
    Buttons, ButtonTest,
    ::testing::Values(
        ButtonRow{"download_update", 21002, 0, {{u"GFU"_s, gfu}, {u"DPU"_s, dpu}}, {gfu}},
        ButtonRow{"download_page", 21002, 1, {{u"GFU"_s, gfu}, {u"DPU"_s, dpu}}, {dpu}},
        ButtonRow{"later", 21002, 2, {{u"GFU"_s, gfu}, {u"DPU"_s, dpu}}, {}},
        ButtonRow{"up_to_date_download_page", 21001, 0, {{u"GFU"_s, gfu}, {u"DPU"_s, dpu}}, {dpu}},
        ButtonRow{"file_update_falls_back_to_page", 21002, 0,
                  {{u"GFU"_s, u"file:///bin/sh"_s}, {u"DPU"_s, dpu}}, {dpu}},
        ButtonRow{"missing_page_falls_back_to_ours", 21002, 1, {{u"GFU"_s, gfu}}, {ourPage}},
        ButtonRow{"custom_scheme_page_falls_back_to_ours", 21001, 0,
                  {{u"DPU"_s, u"x-run://evil"_s}}, {ourPage}}),
    [](const auto &row) { return std::string(row.param.name); });

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
    loop.runNext(200ms);
    EXPECT_THAT(alerts.shown(), IsEmpty());
}

} // namespace
} // namespace quillcast
