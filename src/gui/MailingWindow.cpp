#include "MailingWindow.h"

#include "WindowServices.h"
#include "session/DocumentSession.h"

namespace quillcast::gui {

MailingWindow::MailingWindow(std::unique_ptr<DocumentSession> session, WindowServices &services, QWidget *parent)
    : QMainWindow(parent), m_session(std::move(session)), m_services(services)
{
    setObjectName(QStringLiteral("mailingWindow"));
    setWindowTitle(m_session->displayName() + QStringLiteral("[*]"));
    resize(1100, 750);
}

MailingWindow::~MailingWindow() = default;

QString MailingWindow::filePath() const
{
    return m_session->filePath();
}

void MailingWindow::requestClose(std::function<void(bool closed)> done)
{
    const bool closed = close();
    if (done)
        done(closed);
}

} // namespace quillcast::gui
