#pragma once

#include "platform/Alert.h"
#include "util/Dict.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace quillcast {

class AlertPresenter;
class Clock;
class MainLoop;
class UpdateListSource;
class UrlOpener;
class UserDefaults;

// The update checker: downloads the published update list at start-up (at
// most once a day) and on "Software Update…", compares the latest release
// with ours and tells the user what the preferences ask for.
//
// Lives on the main thread; only the download runs on a thread of its own,
// and its result comes back through the main loop. One check at a time.
// Destroying the checker while a download is under way stops the download
// and waits for its thread; a result already posted is then dropped.
class LXPhoneHome
{
public:
    struct Services
    {
        UserDefaults &defaults;
        AlertPresenter &alerts;
        UrlOpener &opener;
        MainLoop &mainLoop;
        const Clock &clock;
        UpdateListSource &source;
    };

    // How a check ended, for callers that want more than the alerts (the CLI).
    enum class Outcome {
        UpdateAvailable, // the list names a newer release
        UpToDate, // the list's latest release is not newer than ours
        NoRelease, // a list came back without a latest release
        Failed, // no address gave a list
    };
    struct CheckResult
    {
        Outcome outcome = Outcome::Failed;
        qint64 latestRelease = 0; // when the list names one
        QString updateAddress; // GFU, as the list gives it
        QString downloadPage; // DPU, as the list gives it
    };
    using FinishedHandler = std::function<void(const CheckResult &)>;

    explicit LXPhoneHome(Services services);
    ~LXPhoneHome();
    LXPhoneHome(const LXPhoneHome &) = delete;
    LXPhoneHome &operator=(const LXPhoneHome &) = delete;

    // The update list's addresses when the user configured none: three
    // mirrors, the third tried twice.
    static QStringList defaultListAddresses();
    // The addresses under "updateListAddresses" (a list of strings), at most
    // the first four non-empty ones; the defaults when there are none.
    static QStringList configuredListAddresses(const UserDefaults &defaults);

    // Our release number, the name used in the alerts and the list addresses
    // in the order they are tried (an empty address is skipped).
    void SetValueAppRelease(qint64 release, const QString &appName, const QString &url1, const QString &url2,
                            const QString &url3, const QString &url4);

    // Called once the check's result has been handled (after its alert, if
    // any, was dismissed).
    void setCheckFinishedHandler(FinishedHandler handler) { m_finished = std::move(handler); }

    // The launch-time decision: a daily check that reports an available
    // update, or, with notifications off, a silent daily check and the
    // reminder to turn them on.
    void startupProcedure();
    // "Software Update…": reports every outcome. While a download is under
    // way no second one starts; that check then reports every outcome too.
    // Returns whether a check started.
    bool checkForLastReleaseAvailableWithNotify();
    // Unless a check is under way or one succeeded today: reports only an
    // available update.
    bool dailyVerboseCheckForLastReleaseAvailable();
    // Unless a check is under way or one succeeded today: reports nothing.
    bool dailySilentCheckForLastReleaseAvailable();
    // Unless a check is under way: reports nothing.
    bool silentCheckForLastReleaseAvailable();
    // Starts a check (none while a download is under way): reportAvailable
    // shows an available update, reportNotAvailable the up-to-date alert and failures.
    void checkForLastReleaseAvailableAndNotifyIsAvailable(bool reportAvailable, bool reportNotAvailable);

    // The first dictionary the list addresses give, tried in order; blocks.
    std::optional<Dict> getDictionaryFromTheNet(std::stop_token stop = {}) const;

    bool lastCheckNotToday() const;
    // Stores now as the date of the last successful download.
    void setInPreferencesTodayWasChecked();
    // Reminds a user who has not checked for 90 days to turn notifications on.
    void inCaseInviteToCheckForLastReleaseAvailable();

    void notifyAboutUpdateAvailable(const Dict &list);
    void notifyAboutYourAppIsLastAvailable(const Dict &list);
    void notifyAboutFailedChechForUpdate();

    // A check or one of its alerts is under way.
    bool isChekingUpdateSystem() const { return m_checking; }

    // The alerts, as shown.
    Alert updateAvailableAlert(qint64 latestRelease) const;
    Alert upToDateAlert() const;
    Alert failedCheckAlert() const;
    Alert invitationAlert(bool dateStored, bool notifyUpdate) const;

    static constexpr qint64 invitationIntervalSeconds = 90LL * 24 * 60 * 60;

private:
    struct Shared;

    void handleList(const std::optional<Dict> &list);
    void finishCheck(CheckResult result);
    void alertDismissed();
    void openListAddress(const Dict &list, const QString &key, const QString &fallbackKey);

    Services m_services;
    qint64 m_appRelease = 0;
    QString m_appName;
    QStringList m_listAddresses;

    bool m_checking = false;
    bool m_reportAvailable = false;
    bool m_reportNotAvailable = false;
    bool m_downloading = false;
    std::optional<CheckResult> m_pendingResult; // reported once its alert is dismissed
    FinishedHandler m_finished;
    // Outlives the checker in a result posted to the main loop.
    std::shared_ptr<Shared> m_shared;
    std::jthread m_worker;
};

} // namespace quillcast
