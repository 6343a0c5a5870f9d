#pragma once

#include <QStringList>

#include <functional>
#include <memory>

class QWidget;

namespace quillcast {
class AlertPresenter;
class ConnectionProvider;
class DocumentOpener;
class FilePanel;
class FileRevealer;
class TimerFactory;
class UrlOpener;
} // namespace quillcast

namespace quillcast::gui {

class ApplicationActions;

// What the application gives every mailing window: its commands, the
// connection list, the desktop services shared by all windows, and makers for
// the services bound to one window (alerts as sheets on it, panels attached
// to it). Tests give doubles for all of them.
struct WindowServices
{
    ApplicationActions &application;
    UrlOpener &urlOpener;
    FileRevealer &revealer;
    DocumentOpener *opener = nullptr;
    // The application's connection list; none: no server to send through.
    ConnectionProvider *connections = nullptr;
    std::function<std::unique_ptr<AlertPresenter>(QWidget *window)> makeAlerts;
    std::function<std::unique_ptr<FilePanel>(QWidget *window)> makeFilePanel;
};

} // namespace quillcast::gui
