#include "app/LXAppSupportUtility.h"

#include "platform/AlertPresenter.h"
#include "platform/UrlOpener.h"

#include <memory>

using namespace Qt::StringLiterals;

namespace quillcast {

QUrl LXAppSupportUtility::downloadPageUrl()
{
    return QUrl(u"https://quillcast.example/download"_s);
}

QUrl LXAppSupportUtility::siteUrl()
{
    return QUrl(u"https://quillcast.example/"_s);
}

QString LXAppSupportUtility::calcReleaseString(qint64 release)
{
    const QString s = QString::number(release < 0 ? -release : release);
    const qsizetype length = s.size();
    if (length < 4)
        return QString();
    QString major;
    QString minor;
    QString patch;
    if (length == 4) {
        major = s.left(1);
        minor = s.mid(1, 1);
        patch = s.right(2);
    } else {
        major = s.left(length - 4);
        minor = s.mid(length - 4, 2);
        if (minor.startsWith(u'0'))
            minor = minor.right(1);
        patch = s.right(2);
        if (patch.startsWith(u'0'))
            patch = patch.right(1);
    }
    QString result = major + u'.' + minor + u'.' + patch;
    if (result.endsWith(u".0"_s))
        result.chop(2);
    return result;
}

Alert LXAppSupportUtility::downloadAlert(const QString &messageText, const QString &informativeText)
{
    return Alert{messageText, informativeText, {u"Go to Download Last Version"_s, u"Cancel"_s}, Alert::Style::Warning,
                 Alert::Kind::Modal};
}

Alert LXAppSupportUtility::newerVersionAlert()
{
    return downloadAlert(
        u"The document you requested to open was created with a more recent version of this application"_s,
        u"To open this file you need a release of this application equal or successive to the one used to create this file.\n\nProbably you are using an outdated release.\nYou can download for free the last version of this application from our site"_s);
}

Alert LXAppSupportUtility::newerDataFileAlert()
{
    return downloadAlert(
        u"Data file the software tryed to open from the Application Support folder was created with a more recent version of this application"_s,
        u"You need a release of this application equal or successive to the one used to create this data file.\n\nPlease use a more recent version of this application"_s);
}

bool LXAppSupportUtility::sayFilecreatedWithANewerVersion(AlertPresenter &alerts, UrlOpener &opener)
{
    return askToDownload(newerVersionAlert(), alerts, opener);
}

bool LXAppSupportUtility::dataIn_ApplicationSupportFolder_CreatedWithANewerVersion(AlertPresenter &alerts,
                                                                                   UrlOpener &opener)
{
    return askToDownload(newerDataFileAlert(), alerts, opener);
}

bool LXAppSupportUtility::askToDownload(const Alert &alert, AlertPresenter &alerts, UrlOpener &opener)
{
    // A modal alert answers before present() returns; the flag outlives this
    // call all the same in case a presenter answers later.
    auto chosen = std::make_shared<bool>(false);
    UrlOpener *openerPtr = &opener;
    alerts.present(alert, [chosen, openerPtr](int button) {
        *chosen = button == 0;
        if (*chosen)
            openerPtr->openUrl(downloadPageUrl());
    });
    return *chosen;
}

} // namespace quillcast
