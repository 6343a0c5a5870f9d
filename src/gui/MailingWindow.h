#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>

namespace quillcast {
class DocumentSession;
}

namespace quillcast::gui {

struct WindowServices;

// The window of one mailing: it holds the mailing's session for as long as
// it is open (and with it the lock on its file).
class MailingWindow : public QMainWindow
{
    Q_OBJECT

public:
    MailingWindow(std::unique_ptr<DocumentSession> session, WindowServices &services, QWidget *parent = nullptr);
    ~MailingWindow() override;

    DocumentSession &session() { return *m_session; }
    // The mailing's file, empty while untitled.
    QString filePath() const;

    // Closes the window as the user's Close does: a named mailing is saved
    // in place, an untitled edited one asks Save / Don't Save / Cancel, a
    // failed save keeps the window. done(true) once the window is closed,
    // done(false) when it stays.
    void requestClose(std::function<void(bool closed)> done);

private:
    std::unique_ptr<DocumentSession> m_session;
    WindowServices &m_services;
};

} // namespace quillcast::gui
