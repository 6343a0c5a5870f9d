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

    static Alert newerVersionAlert();
    // Tells the user that a mailing comes from a newer release; the first
    // button opens the download page. Returns whether it was chosen.
    static bool sayFilecreatedWithANewerVersion(AlertPresenter &alerts, UrlOpener &opener);
};

} // namespace quillcast
