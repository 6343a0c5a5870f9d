#pragma once

#include "platform/Alert.h"

#include <QUrl>

namespace quillcast {

class AlertPresenter;
class UrlOpener;

// Application-wide alerts and addresses shared by the document and the application.
class LXAppSupportUtility
{
public:
    // Where users download the latest release.
    static QUrl downloadPageUrl();
    // The maker's web site, offered by the update check's invitation.
    static QUrl siteUrl();

    // The display form of a release number: 21001 is "2.10.1", 20500 "2.5",
    // 1203 "1.2.03"; "" below four digits.
    static QString calcReleaseString(qint64 release);

    static Alert newerVersionAlert();
    // Tells the user that a mailing comes from a newer release; the first
    // button opens the download page. Returns whether it was chosen.
    static bool sayFilecreatedWithANewerVersion(AlertPresenter &alerts, UrlOpener &opener);
    // The same for a data file of the application's own data folder.
    static Alert newerDataFileAlert();
    static bool dataIn_ApplicationSupportFolder_CreatedWithANewerVersion(AlertPresenter &alerts, UrlOpener &opener);
};

} // namespace quillcast
