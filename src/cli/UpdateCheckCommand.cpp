#include "UpdateCheckCommand.h"

#include "ConsoleAlertPresenter.h"
#include "app/MailerAppDelegate.h"
#include "app/update/CurlUpdateListSource.h"
#include "app/update/LXPhoneHome.h"
#include "platform/NullUrlOpener.h"
#include "platform/QtMainLoop.h"
#include "platform/SettingsFileStore.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QThread>

#include <optional>

using namespace Qt::StringLiterals;

namespace quillcast::cli {

namespace {

constexpr qsizetype maxListAddresses = 4;

} // namespace

bool UpdateCheckCommand::handles(const QString &command)
{
    return command == u"update-check";
}

QString UpdateCheckCommand::summary()
{
    return u"  update-check [--list URL]...  look for a newer release, as \"Software Update\u2026\" does;\n"
           "                            up to four list addresses (https, or http on this\n"
           "                            machine); exit 1 when no list could be read\n"_s;
}

int UpdateCheckCommand::run(const QStringList &arguments)
{
    QStringList addresses;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == u"--list") {
            if (i + 1 == arguments.size()) {
                m_ctx.err << "update-check: --list needs an address" << Qt::endl;
                return 2;
            }
            addresses.append(arguments.at(++i));
        } else if (argument.startsWith(u"--list=")) {
            addresses.append(argument.mid(7));
        } else {
            m_ctx.err << "update-check: unexpected argument '" << argument << "'" << Qt::endl;
            return 2;
        }
    }
    if (addresses.size() > maxListAddresses) {
        m_ctx.err << "update-check: give at most " << maxListAddresses << " list addresses" << Qt::endl;
        return 2;
    }

    SettingsFileStore store;
    UserDefaults defaults(store);
    defaults.registerDefaults(MailerAppDelegate::registeredDefaults());
    if (addresses.isEmpty())
        addresses = LXPhoneHome::configuredListAddresses(defaults);

    // The alerts go to standard output: they are what this command reports.
    ConsoleAlertPresenter alerts(m_ctx.out, false);
    CurlUpdateListSource source;
    // The download's result comes back through the event loop, to this object.
    QObject context;
    QtMainLoop mainLoop(&context);
    LXPhoneHome phoneHome({defaults, alerts, NullUrlOpener::instance(), mainLoop, m_ctx.clock, source});
    phoneHome.SetValueAppRelease(LXAppDelegateBase::ReleaseNumber,
                                 QString::fromUtf16(MailerAppDelegate::UpdateCheckName), addresses.value(0),
                                 addresses.value(1), addresses.value(2), addresses.value(3));
    std::optional<LXPhoneHome::CheckResult> result;
    phoneHome.setCheckFinishedHandler([&](const LXPhoneHome::CheckResult &r) { result = r; });
    if (!phoneHome.checkForLastReleaseAvailableWithNotify())
        return 1;
    while (!result) {
        QCoreApplication::sendPostedEvents(&context);
        if (!result)
            QThread::msleep(20);
    }

    switch (result->outcome) {
    case LXPhoneHome::Outcome::UpdateAvailable:
        m_ctx.out << "Update: " << result->updateAddress << "\n"
                  << "Download page: " << result->downloadPage << Qt::endl;
        return 0;
    case LXPhoneHome::Outcome::UpToDate:
        return 0;
    case LXPhoneHome::Outcome::NoRelease:
        m_ctx.out << "The update list names no release." << Qt::endl;
        return 0;
    case LXPhoneHome::Outcome::Failed:
        break;
    }
    return 1;
}

} // namespace quillcast::cli
