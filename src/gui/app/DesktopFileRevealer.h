#pragma once

#include "platform/FileRevealer.h"

#include <QDBusConnection>
#include <QObject>

namespace quillcast {
class UrlOpener;
}

namespace quillcast::gui {

// Shows a file selected in the desktop's file manager, through the file
// manager interface of freedesktop.org (org.freedesktop.FileManager1
// ShowItems) on the session bus. Where no file manager answers there, the
// file's folder is opened instead.
class DesktopFileRevealer final : public FileRevealer
{
public:
    explicit DesktopFileRevealer(UrlOpener &folderOpener, QDBusConnection bus = QDBusConnection::sessionBus());

    // True when the request went out (the answer comes later: a file manager
    // that is started for it may take seconds, which the window must not wait
    // for) or the folder was opened; false for a path that does not exist.
    bool revealFile(const QString &path) override;

private:
    bool openFolder(const QString &path);

    UrlOpener &m_folderOpener;
    QDBusConnection m_bus;
    // The answers still awaited; they are dropped with the revealer.
    QObject m_pending;
};

} // namespace quillcast::gui
