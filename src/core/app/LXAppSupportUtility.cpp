#include "app/LXAppSupportUtility.h"

#include "document/NewerReleaseAlert.h"

using namespace Qt::StringLiterals;

namespace quillcast {

QUrl LXAppSupportUtility::downloadPageUrl()
{
    return NewerReleaseAlert::downloadPageUrl();
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

Alert LXAppSupportUtility::newerVersionAlert()
{
    return NewerReleaseAlert::forDocument();
}

Alert LXAppSupportUtility::newerDataFileAlert()
{
    return NewerReleaseAlert::make(
        u"Data file the software tryed to open from the Application Support folder was created with a more recent version of this application"_s,
        u"You need a release of this application equal or successive to the one used to create this data file.\n\nPlease use a more recent version of this application"_s);
}

bool LXAppSupportUtility::sayFilecreatedWithANewerVersion(AlertPresenter &alerts, UrlOpener &opener)
{
    return NewerReleaseAlert::askToDownload(newerVersionAlert(), alerts, opener);
}

bool LXAppSupportUtility::dataIn_ApplicationSupportFolder_CreatedWithANewerVersion(AlertPresenter &alerts,
                                                                                   UrlOpener &opener)
{
    return NewerReleaseAlert::askToDownload(newerDataFileAlert(), alerts, opener);
}

} // namespace quillcast
