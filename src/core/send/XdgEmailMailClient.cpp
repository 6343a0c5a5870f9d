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

Status XdgEmailMailClient::prepareEmailViaMailAppWithBody(const QString &body, const QString &email,
                                                          const QString &title, const QString & /*from*/,
                                                          const List &attachments, bool send)
{
    if (send)
        return Status::failure(u"%1 cannot send a message; it only opens it in the mail program."_s.arg(m_program));
    const QStringList args = arguments(body, email, title, SystemMailMessage::attachedFiles(attachments));
    if (!QProcess::startDetached(m_program, args))
        return Status::failure(u"The mail program could not be opened: “%1” does not start."_s.arg(m_program));
    return success();
}

} // namespace quillcast
