#pragma once

#include "RecordingApplicationShell.h"
#include "RecordingDocumentOpener.h"
#include "RecordingFileRevealer.h"
#include "RecordingUrlOpener.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"
#include "app/LXAppDelegateBase.h"
#include "platform/SettingsFileStore.h"
#include "platform/UserDefaults.h"

#include <QTemporaryDir>

namespace quillcast::testing {

// The platform services an application delegate is built on, as doubles that
// record what the application asked of them, with user defaults kept in a
// settings file inside a folder of the test's own.
struct AppServicesRig
{

    LXAppDelegateBase::Services services(MainLoop &mainLoop)
    {
        return {defaults, shell, alerts, urls, revealer, documents, panel, mainLoop};
    }

    QTemporaryDir folder;
    SettingsFileStore store{folder.filePath(QStringLiteral("settings.ini"))};
    UserDefaults defaults{store};
    RecordingApplicationShell shell;
    ScriptedAlertPresenter alerts;
    RecordingUrlOpener urls;
    RecordingFileRevealer revealer;
    RecordingDocumentOpener documents;
    ScriptedFilePanel panel;
};

} // namespace quillcast::testing
