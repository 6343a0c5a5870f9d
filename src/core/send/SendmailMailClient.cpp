#include "send/SendmailMailClient.h"

#include "platform/Clock.h"
#include "send/MessageBuilder.h"
#include "send/SystemMailMessage.h"

#include <QProcess>

using namespace Qt::StringLiterals;

namespace quillcast {

SendmailMailClient::SendmailMailClient(const Clock &clock, QString path, std::chrono::milliseconds timeout)
    : m_clock(clock), m_path(std::move(path)), m_timeout(timeout)
{
}

Status SendmailMailClient::prepareEmailViaMailAppWithBody(const QString &body, const QString &email,
                                                          const QString &title, const QString &from,
                                                          const List &attachments, bool send)
{
    if (!send)
        return Status::failure(u"%1 cannot prepare a draft; it only sends."_s.arg(m_path));
    const MessageContent content = SystemMailMessage::content(body, email, title, from, attachments,
                                                              m_clock.now().toTimeZone(m_clock.timeZone()));
    const Result<QByteArray> message = MessageBuilder::build(content);
    if (!message)
        return Status::failure(message.error());

    QProcess sendmail;
    sendmail.start(m_path, {u"-t"_s, u"-i"_s});
    if (!sendmail.waitForStarted(int(m_timeout.count())))
        return Status::failure(u"“%1” could not be started: %2"_s.arg(m_path, sendmail.errorString()));
    sendmail.write(message.value());
    sendmail.closeWriteChannel();
    if (!sendmail.waitForFinished(int(m_timeout.count()))) {
        sendmail.kill();
        sendmail.waitForFinished(5000);
        return Status::failure(u"“%1” did not finish within %2 seconds; the message may not have been sent."_s.arg(
            m_path, QString::number(m_timeout.count() / 1000.0)));
    }
    const QString errors = QString::fromLocal8Bit(sendmail.readAllStandardError()).trimmed();
    if (sendmail.exitStatus() != QProcess::NormalExit)
        return Status::failure(u"“%1” stopped abnormally: %2"_s.arg(m_path, errors));
    if (sendmail.exitCode() != 0)
        return Status::failure(
            u"“%1” failed with exit status %2: %3"_s.arg(m_path, QString::number(sendmail.exitCode()), errors));
    return success();
}

} // namespace quillcast
