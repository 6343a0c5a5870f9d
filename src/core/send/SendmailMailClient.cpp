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

Result<QString> SendmailMailClient::prepareEmailViaMailApp(const MessageContent &content, const QString &email,
                                                           bool send)
{
    const auto failed = [&](const QString &reason) {
        return Result<QString>::failure(u"Error sending email via sendmail to %1 : %2"_s.arg(email, reason));
    };
    if (!send)
        return Result<QString>::failure(u"Error preparing email to %1 : %2 cannot prepare a draft; it only sends."_s.arg(
            email, m_path));
    if (const Status files = SystemMailMessage::checkAttachedFiles(content.attachmentPaths); !files)
        return failed(files.error());
    // The whole message, as the SMTP transport would send it: sendmail
    // takes any MIME.
    MessageContent dated = content;
    dated.date = m_clock.now().toTimeZone(m_clock.timeZone());
    const Result<QByteArray> message = MessageBuilder::build(dated);
    if (!message)
        return failed(message.error());

    QProcess sendmail;
    sendmail.start(m_path, {u"-t"_s, u"-i"_s});
    if (!sendmail.waitForStarted(int(m_timeout.count())))
        return failed(u"“%1” could not be started: %2"_s.arg(m_path, sendmail.errorString()));
    sendmail.write(message.value());
    sendmail.closeWriteChannel();
    if (!sendmail.waitForFinished(int(m_timeout.count()))) {
        sendmail.kill();
        sendmail.waitForFinished(5000);
        return failed(u"“%1” did not finish within %2 seconds; the message may not have been sent."_s.arg(
            m_path, QString::number(m_timeout.count() / 1000.0)));
    }
    // One line in the log: the program's own words, however many lines.
    const QString errors = QString::fromLocal8Bit(sendmail.readAllStandardError()).simplified();
    if (sendmail.exitStatus() != QProcess::NormalExit)
        return failed(u"“%1” stopped abnormally: %2"_s.arg(m_path, errors));
    if (sendmail.exitCode() != 0)
        return failed(u"“%1” failed with exit status %2: %3"_s.arg(m_path, QString::number(sendmail.exitCode()), errors));
    return u"Email sent via sendmail to %1"_s.arg(email);
}

} // namespace quillcast
