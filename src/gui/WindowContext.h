#pragma once

#include <QStringList>

#include <functional>

class QWidget;

namespace quillcast {
class AlertPresenter;
class ConnectionProvider;
class DocumentOpener;
class DocumentSession;
class FilePanel;
class FileRevealer;
class MainLoop;
class UrlOpener;
} // namespace quillcast

namespace quillcast::gui {

// What the pages of a mailing window share: the session of the mailing it
// shows and the desktop services, each already bound to this window (the
// alerts come up as sheets on it, the panels attach to it). The window owns
// the services; the pages only borrow them.
struct WindowContext
{
    DocumentSession &session;
    AlertPresenter &alerts;
    FilePanel &filePanel;
    UrlOpener &urlOpener;
    FileRevealer &revealer;
    MainLoop &mainLoop;
    // The window, for sheets and panels.
    QWidget *window = nullptr;
    DocumentOpener *opener = nullptr;
    // The application's connection list; none: no server to send through.
    ConnectionProvider *connections = nullptr;
    // The tag menu the application keeps of the front document's DB keys
    // ("_first_", ...); empty when the document has no user keys.
    std::function<QStringList()> dbKeyTags{};
};

} // namespace quillcast::gui
