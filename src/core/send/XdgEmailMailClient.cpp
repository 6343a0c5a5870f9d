#include "send/XdgEmailMailClient.h"

#include "send/SystemMailMessage.h"


#include <QProcess>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace quillcast {

XdgEmailMailClient::XdgEmailMailClient(QString program) : m_program(std::move(program)) {}

QStringList XdgEmailMailClient::arguments(const QString &body, const QString &email, const QString &title,
                                          const QStringList &attachedFiles)
{
    QStringList args{u"--utf8"_s};
    if (!title.isEmpty())
        args << u"--subject"_s << title;
    if (!body.isEmpty())
        args << u"--body"_s << body;
    for (const QString &file : attachedFiles)
        args << u"--attach"_s << file;
    // Everything but the address characters percent-encoded: a "?" or "&" in
    // the recipient text cannot add fields to the URL, and several
    // comma-separated addresses reach the mail program as the one text given.
    args << u"mailto:"_s + QString::fromLatin1(QUrl::toPercentEncoding(email, QByteArrayLiteral("@")));
    return args;
}

Result<QString> XdgEmailMailClient::prepareEmailViaMailApp(const MessageContent &content, const QString &email,
                                                           bool send)
{
    const auto failed = [&](const QString &reason) {
        return Result<QString>::failure(u"Error opening the email to %1 in the mail program : %2"_s.arg(email, reason));
    };
    if (send)
        return failed(u"%1 cannot send a message; it only opens it in the mail program."_s.arg(m_program));
    if (const Status files = SystemMailMessage::checkAttachedFiles(content.attachmentPaths); !files)
        return failed(files.error());
    // A compose window takes text only: an HTML message arrives as its text
    // alternative, which the user sees before anything is sent.
    if (!QProcess::startDetached(m_program, arguments(content.textBody.value_or(QString()), email,
                                                      content.subject, content.attachmentPaths)))
        return failed(u"“%1” does not start."_s.arg(m_program));
    return u"Email to %1: opened in the mail program"_s.arg(email);
}

} // namespace quillcast
