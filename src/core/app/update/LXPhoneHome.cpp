#include "app/update/LXPhoneHome.h"

#include "app/LXAppSupportUtility.h"
#include "app/update/UpdateListSource.h"
#include "platform/AlertPresenter.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "platform/UrlOpener.h"
#include "platform/UserDefaults.h"
#include "platform/UserDefaultsKeys.h"

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

const QString &notifyUpdateKey = UserDefaultsKeys::notifyUpdate;
const QString &lastCheckKey = UserDefaultsKeys::lastCheckDateForUpdate;
const QString &listAddressesKey = UserDefaultsKeys::updateListAddresses;
const QString latestReleaseKey = u"LRA"_s;
const QString updateAddressKey = u"GFU"_s;
const QString downloadPageKey = u"DPU"_s;

constexpr qsizetype listAddressCount = 4;

std::optional<Dict> fetchFirst(UpdateListSource &source, const QStringList &addresses, std::stop_token stop)
{
    for (const QString &address : addresses) {
        if (stop.stop_requested())
            return std::nullopt;
        if (address.isEmpty())
            continue;
        if (std::optional<Dict> list = source.fetch(QUrl(address, QUrl::StrictMode), stop))
            return list;
    }
    return std::nullopt;
}

// A list names pages for the browser; anything but a web address (file:,
// a custom scheme that starts some other program) is not opened.
std::optional<QUrl> webAddress(const Value &value)
{
    if (!value.isString())
        return std::nullopt;
    const QUrl url(value.toString().trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != u"https" && url.scheme() != u"http"))
        return std::nullopt;
    return url;
}

} // namespace

// What a posted result or a late alert answer finds when it comes back: the
// checker, or null once it is gone. Read and written on the main thread only.
struct LXPhoneHome::Shared
{
    LXPhoneHome *owner = nullptr;
};

LXPhoneHome::LXPhoneHome(Services services)
    : m_services(services), m_shared(std::make_shared<Shared>())
{
    m_shared->owner = this;
}

LXPhoneHome::~LXPhoneHome()
{
    m_shared->owner = nullptr;
    if (m_worker.joinable()) {
        m_worker.request_stop();
        m_worker.join();
    }
}

QStringList LXPhoneHome::defaultListAddresses()
{
    const QString third = u"https://update3.quillcast.example/mac/quillcast.plist"_s;
    return {u"https://update1.quillcast.example/mac/quillcast.plist"_s,
            u"https://update2.quillcast.example/mac/quillcast.plist"_s, third, third};
}

QStringList LXPhoneHome::configuredListAddresses(const UserDefaults &defaults)
{
    QStringList addresses;
    const Value configured = defaults.objectForKey(listAddressesKey);
    if (configured.isList()) {
        for (const Value &item : configured.toList().items()) {
            const QString address = item.isString() ? item.toString().trimmed() : QString();
            if (!address.isEmpty())
                addresses.append(address);
            if (addresses.size() == listAddressCount)
                break;
        }
    }
    return addresses.isEmpty() ? defaultListAddresses() : addresses;
}

void LXPhoneHome::SetValueAppRelease(qint64 release, const QString &appName, const QString &url1,
                                     const QString &url2, const QString &url3, const QString &url4)
{
    m_appRelease = release;
    m_appName = appName;
    m_listAddresses = {url1, url2, url3, url4};
}

void LXPhoneHome::startupProcedure()
{
    if (m_services.defaults.boolForKey(notifyUpdateKey)) {
        dailyVerboseCheckForLastReleaseAvailable();
        return;
    }
    dailySilentCheckForLastReleaseAvailable();
    inCaseInviteToCheckForLastReleaseAvailable();
}

bool LXPhoneHome::checkForLastReleaseAvailableWithNotify()
{
    if (m_checking) {
        // The user asked for an answer: a download already under way (the
        // silent start-up check, say) gives it instead of a second download.
        if (m_downloading) {
            m_reportAvailable = true;
            m_reportNotAvailable = true;
        }
        return false;
    }
    checkForLastReleaseAvailableAndNotifyIsAvailable(true, true);
    return true;
}

bool LXPhoneHome::dailyVerboseCheckForLastReleaseAvailable()
{
    if (m_checking || !lastCheckNotToday())
        return false;
    checkForLastReleaseAvailableAndNotifyIsAvailable(true, false);
    return true;
}

bool LXPhoneHome::dailySilentCheckForLastReleaseAvailable()
{
    if (m_checking || !lastCheckNotToday())
        return false;
    checkForLastReleaseAvailableAndNotifyIsAvailable(false, false);
    return true;
}

bool LXPhoneHome::silentCheckForLastReleaseAvailable()
{
    if (m_checking)
        return false;
    checkForLastReleaseAvailableAndNotifyIsAvailable(false, false);
    return true;
}

void LXPhoneHome::checkForLastReleaseAvailableAndNotifyIsAvailable(bool reportAvailable, bool reportNotAvailable)
{
    if (m_downloading)
        return;
    m_checking = true;
    m_downloading = true;
    m_reportAvailable = reportAvailable;
    m_reportNotAvailable = reportNotAvailable;
    if (m_worker.joinable())
        m_worker.join(); // the previous download, which has posted its result already
    m_worker = std::jthread([source = &m_services.source, loop = &m_services.mainLoop, addresses = m_listAddresses,
                             shared = m_shared](std::stop_token stop) {
        std::optional<Dict> list = fetchFirst(*source, addresses, stop);
        if (stop.stop_requested())
            return; // the checker is being destroyed and waits for this thread
        loop->post([shared, list = std::move(list)] {
            if (shared->owner)
                shared->owner->handleList(list);
        });
    });
}

std::optional<Dict> LXPhoneHome::getDictionaryFromTheNet(std::stop_token stop) const
{
    return fetchFirst(m_services.source, m_listAddresses, stop);
}

void LXPhoneHome::handleList(const std::optional<Dict> &list)
{
    if (m_worker.joinable())
        m_worker.join();
    m_downloading = false;
    if (!list) {
        CheckResult result;
        result.outcome = Outcome::Failed;
        if (m_reportNotAvailable) {
            m_pendingResult = result;
            notifyAboutFailedChechForUpdate();
        } else {
            finishCheck(result);
        }
        return;
    }
    // A list came back: whatever it says, today's check is done.
    setInPreferencesTodayWasChecked();
    CheckResult result;
    result.updateAddress = list->stringValue(updateAddressKey);
    result.downloadPage = list->stringValue(downloadPageKey);
    if (!list->contains(latestReleaseKey)) {
        result.outcome = Outcome::NoRelease;
        finishCheck(result);
        return;
    }
    result.latestRelease = list->value(latestReleaseKey).toInt64();
    const bool newer = result.latestRelease > m_appRelease;
    result.outcome = newer ? Outcome::UpdateAvailable : Outcome::UpToDate;
    if (newer && m_reportAvailable) {
        m_pendingResult = result;
        notifyAboutUpdateAvailable(*list);
    } else if (!newer && m_reportNotAvailable) {
        m_pendingResult = result;
        notifyAboutYourAppIsLastAvailable(*list);
    } else {
        finishCheck(result);
    }
}

void LXPhoneHome::finishCheck(CheckResult result)
{
    m_checking = false;
    if (m_finished)
        m_finished(result);
}

void LXPhoneHome::alertDismissed()
{
    m_checking = false;
    if (std::optional<CheckResult> result = std::exchange(m_pendingResult, std::nullopt))
        finishCheck(*result);
}

bool LXPhoneHome::lastCheckNotToday() const
{
    const std::optional<QDateTime> last = m_services.defaults.dateForKey(lastCheckKey);
    if (!last)
        return true;
    const Clock &clock = m_services.clock;
    const CalendarReading then = Clock::breakDown(*last, clock.timeZone(), clock.calendar());
    const CalendarReading today = clock.read();
    return then.year != today.year || then.month != today.month || then.day != today.day;
}

void LXPhoneHome::setInPreferencesTodayWasChecked()
{
    // The store writes through to the file at once; a failed write only
    // means tomorrow's launch checks again.
    (void)m_services.defaults.setObject(lastCheckKey, Value(m_services.clock.now()));
}

void LXPhoneHome::inCaseInviteToCheckForLastReleaseAvailable()
{
    const std::optional<QDateTime> last = m_services.defaults.dateForKey(lastCheckKey);
    if (last && last->secsTo(m_services.clock.now()) <= invitationIntervalSeconds)
        return;
    const Alert alert = invitationAlert(last.has_value(), m_services.defaults.boolForKey(notifyUpdateKey));
    m_services.alerts.present(alert, [shared = m_shared](int chosen) {
        LXPhoneHome *self = shared->owner;
        if (!self)
            return;
        if (chosen == 0)
            self->checkForLastReleaseAvailableWithNotify();
        else if (chosen == 1)
            self->m_services.opener.openUrl(LXAppSupportUtility::siteUrl());
        // The invitation leaves the checking state alone: it never set it, and
        // clearing it would let a second check overlap the start-up one.
    });
}

void LXPhoneHome::notifyAboutUpdateAvailable(const Dict &list)
{
    m_services.alerts.present(updateAvailableAlert(list.value(latestReleaseKey).toInt64()),
                              [shared = m_shared, list](int chosen) {
                                  LXPhoneHome *self = shared->owner;
                                  if (!self)
                                      return;
                                  if (chosen == 0)
                                      self->openListAddress(list, updateAddressKey, downloadPageKey);
                                  else if (chosen == 1)
                                      self->openListAddress(list, downloadPageKey, QString());
                                  self->alertDismissed();
                              });
}

void LXPhoneHome::notifyAboutYourAppIsLastAvailable(const Dict &list)
{
    m_services.alerts.present(upToDateAlert(), [shared = m_shared, list](int chosen) {
        LXPhoneHome *self = shared->owner;
        if (!self)
            return;
        if (chosen == 0)
            self->openListAddress(list, downloadPageKey, QString());
        self->alertDismissed();
    });
}

void LXPhoneHome::notifyAboutFailedChechForUpdate()
{
    m_services.alerts.present(failedCheckAlert(), [shared = m_shared](int) {
        if (LXPhoneHome *self = shared->owner)
            self->alertDismissed();
    });
}

void LXPhoneHome::openListAddress(const Dict &list, const QString &key, const QString &fallbackKey)
{
    // A list that lacks the address (or gives one that is no web address)
    // still leads somewhere useful: the other address, else our own page.
    std::optional<QUrl> url = webAddress(list.value(key));
    if (!url && !fallbackKey.isEmpty())
        url = webAddress(list.value(fallbackKey));
    m_services.opener.openUrl(url.value_or(LXAppSupportUtility::downloadPageUrl()));
}

Alert LXPhoneHome::updateAvailableAlert(qint64 latestRelease) const
{
    Alert alert;
    alert.messageText = u"There is an update available for %1"_s.arg(m_appName);
    alert.informativeText = u"You are using release: %1\nLatest available release is: %2\n"
                            "Vantreel recommends to use always the latest release"_s.arg(
                                LXAppSupportUtility::calcReleaseString(m_appRelease),
                                LXAppSupportUtility::calcReleaseString(latestRelease));
    alert.buttons = {u"Download Update"_s, u"Download Page"_s, u"Later"_s};
    alert.style = Alert::Style::Informational;
    alert.kind = Alert::Kind::Modal;
    return alert;
}

Alert LXPhoneHome::upToDateAlert() const
{
    Alert alert;
    alert.messageText = u"%1 is up to date"_s.arg(m_appName);
    alert.informativeText = u"You are using the latest available release.\n"
                            "If you like, you can go to the Vantreel download page to manually check it.\n\n"
                            "Visit us and see all the macOS software we have available.\n"
                            "We are one of the developers in the world with more macOS apps!\n"_s;
    alert.buttons = {u"Go to Vantreel Download Page"_s, u"Close"_s};
    alert.style = Alert::Style::Informational;
    alert.kind = Alert::Kind::Modal;
    return alert;
}

Alert LXPhoneHome::failedCheckAlert() const
{
    Alert alert;
    alert.messageText = u"%1 was not able to connect to the Vantreel server"_s.arg(m_appName);
    alert.informativeText = u"It was not possible to enstablish a internet connection on the net with the "
                            "Vantreel upgrade server. Check your internet connection or try later."_s;
    alert.buttons = {u"OK"_s};
    alert.style = Alert::Style::Warning;
    alert.kind = Alert::Kind::Modal;
    return alert;
}

Alert LXPhoneHome::invitationAlert(bool dateStored, bool notifyUpdate) const
{
    Alert alert;
    const QString question = u"Would you like that %1 informs you now for any available update?"_s.arg(m_appName);
    alert.messageText = dateStored ? u"It is more then %1 days this app doesn't report to you for updates.\n"_s.arg(
                                         invitationIntervalSeconds / (24 * 60 * 60))
                                         + question
                                   : question;
    if (!notifyUpdate) {
        alert.informativeText = u"Suggested option is to have the update report enabled.\n"
                                "Use the Preference Dialog to enable this feature."_s;
        alert.style = Alert::Style::Warning;
    } else {
        alert.style = Alert::Style::Informational;
    }
    alert.buttons = {u"OK"_s, u"Vantreel Site"_s, u"Cancel"_s};
    alert.kind = Alert::Kind::Modal;
    return alert;
}

} // namespace quillcast
