#pragma once

#include "platform/Alert.h"

#include <QString>
#include <QUrl>

namespace quillcast {

class AlertPresenter;
class UrlOpener;

// The alerts about data written by a newer release of the application: a
// mailing the document reader refuses, or a data file of the application's
// own folder. Each offers the download page of the latest release.
class NewerReleaseAlert
{
public:
    // Where users download the latest release.
    static QUrl downloadPageUrl();

    // A modal alert whose first button, "Go to Download Last Version", leads
    // to the download page; the second is "Cancel".
    static Alert make(const QString &messageText, const QString &informativeText);
    // The one the document reader shows for a mailing of a newer format.
    static Alert forDocument();

    // Shows the alert; the first button opens the download page. Returns
    // whether it was chosen.
    static bool askToDownload(const Alert &alert, AlertPresenter &alerts, UrlOpener &opener);
};

} // namespace quillcast
