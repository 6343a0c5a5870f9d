#pragma once

// The options of an application that touches nothing of the user's: its own
// settings file, no update server, no desktop opener, no session bus.

#include "app/ApplicationServices.h"

#include <QDBusConnection>
#include <QString>

namespace quillcast::gui::testing {

inline ApplicationServices::Options isolatedApplication(const QString &settingsFile, UpdateListSource &updates,
                                                        UrlOpener &urls)
{
    ApplicationServices::Options options;
    options.settingsFile = settingsFile;
    options.updateList = &updates;
    options.urlOpener = &urls;
    options.bus = QDBusConnection(QStringLiteral("no bus"));
    return options;
}

} // namespace quillcast::gui::testing
