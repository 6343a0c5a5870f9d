#include "app/DesktopFileRevealer.h"

#include "platform/UrlOpener.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

DesktopFileRevealer::DesktopFileRevealer(UrlOpener &folderOpener, QDBusConnection bus)
    : m_folderOpener(folderOpener), m_bus(std::move(bus))
{
}

bool DesktopFileRevealer::openFolder(const QString &path)
{
    return m_folderOpener.openFile(QFileInfo(path).absolutePath());
}

bool DesktopFileRevealer::revealFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    // Not every desktop has a file manager that offers ShowItems (minimal
    // window managers, some file managers, no session bus at all); opening
    // the folder that holds the file is the nearest thing they all can do.
    if (!m_bus.isConnected())
        return openFolder(path);

    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.FileManager1"_s,
                                                       u"/org/freedesktop/FileManager1"_s,
                                                       u"org.freedesktop.FileManager1"_s, u"ShowItems"_s);
    call << QStringList{QUrl::fromLocalFile(info.absoluteFilePath()).toString()} << QString();
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), &m_pending);
    UrlOpener *opener = &m_folderOpener;
    const QString folder = info.absolutePath();
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &m_pending, [watcher, opener, folder] {
        watcher->deleteLater();
        if (watcher->isError())
            opener->openFile(folder);
    });
    return true;
}

} // namespace quillcast::gui
