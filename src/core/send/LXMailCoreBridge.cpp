#include "send/LXMailCoreBridge.h"

#include "platform/Clock.h"
#include "platform/LXBookmark.h"
#include "platform/MainLoop.h"
#include "document/LogTimeStamp.h"
#include "send/MailboxText.h"
#include "send/MessageBuilder.h"
#include "send/SmtpClient.h"
#include "util/LXStringUtils.h"

#include <QtDebug>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// Microsoft's Outlook service, whose accounts authenticate with XOAUTH2.
constexpr QStringView kOutlookDomain = u"outlook.com";

// Every comma-separated piece, trimmed of spaces at both ends. An empty
// piece (a trailing comma) stays an address with an empty mailbox.
QList<MailAddress> splitRecipients(const QString &to, const QString &displayName)
{
    QList<MailAddress> addresses;
    for (const QString &piece : to.split(u','))
        addresses.append(MailAddress{displayName, LXStringUtils::trimLateralSpace(piece)});
    return addresses;
}

// The sender: the name and address of a text in the named form ("Name
// <address>"), otherwise the address and name as given.
MailAddress senderAddress(const QString &fromEmail, const QString &fromName)
{
    if (std::optional<MailAddress> named = MailboxText::parseNamed(fromEmail)) {
        if (!fromName.isEmpty())
            named->displayName = fromName;
        return *named;
    }
    return MailAddress{fromName, fromEmail};
}

// A recipient text that is one mailbox in the named form is that one
// recipient; any other text is split at its commas.
std::optional<MailAddress> namedRecipient(const QString &to, const QString &toName)
{
    std::optional<MailAddress> named = MailboxText::parseNamed(to);
    if (named && !toName.isEmpty())
        named->displayName = toName;
    return named;
}

// The files of the attachment entries, each taken while access to it is held.
QStringList attachmentPaths(const List &attachments)
{
    QStringList paths;
    for (const Value &entry : attachments.items()) {
        const Dict dict = entry.toDict();
        const std::optional<LXBookmark::Location> location =
            LXBookmark::urlForBookmark(dict.value(u"bookmark"_s).toBytes(), nullptr);
        const bool accessing = location && LXBookmark::startAccessingSecurityScopedResource(*location);
        paths.append(dict.stringValue(u"path"_s));
        if (accessing)
            LXBookmark::stopAccessingSecurityScopedResource(*location);
    }
    return paths;
}

SmtpSettings::Security securityFor(qint32 connectionType)
{
    switch (connectionType) {
    case 1:
        return SmtpSettings::Security::StartTls;
    case 2:
        return SmtpSettings::Security::Tls;
    default:
        return SmtpSettings::Security::Clear;
    }
}

bool isOutlookHost(const QString &host)
{
    const QString name = host.trimmed().toLower();
    // On a domain boundary: "outlook.com" itself or a host under it, not
    // any name that merely ends in the same letters.
    return name == kOutlookDomain || name.endsWith(u'.' + kOutlookDomain.toString());
}

// Builds the message and hands it to the client; the outcome comes back to
// the main loop as the log line of the send.
void deliver(const LXMailCoreBridge::Services &services, const SmtpSettings &session, MessageContent content,
             const QString &host, const QString &toAsGiven, LXMailCoreBridge::SendCompletion sender)
{
    MainLoop *mainLoop = &services.mainLoop;
    const Clock *clock = &services.clock;
    auto report = [mainLoop, clock, host, toAsGiven, sender = std::move(sender)](
                      const std::optional<SmtpFailure> &failure, const QString &acceptedReply) {
        mainLoop->post([clock, host, toAsGiven, sender, failure, acceptedReply] {
            const QString stamp = LogTimeStamp::now(*clock);
            LXMailCoreBridge::SendReport outcome;
            if (failure) {
                outcome.logLine =
                    u"%1 Error sending email via %2 : %3\n"_s.arg(stamp, host, failure->localizedDescription);
                outcome.failure = failure->localizedDescription;
                outcome.replyCode = failure->replyCode;
                outcome.replyText = failure->replyText;
            } else {
                outcome.logLine = u"%1 Email sent via %2 to %3\n"_s.arg(stamp, host, toAsGiven);
                outcome.succeeded = true;
                outcome.replyText = acceptedReply;
            }
            if (sender)
                sender(outcome);
        });
    };

    content.date = clock->now();
    const Result<QByteArray> message = MessageBuilder::build(content);
    if (!message) {
        SmtpFailure unbuilt;
        unbuilt.localizedDescription = unbuilt.fullDescription = message.error();
        report(unbuilt, QString());
        return;
    }

    // The envelope goes to the To addresses only; an empty mailbox stays in
    // the header but is no destination.
    QStringList envelopeTo;
    for (const MailAddress &address : content.to) {
        if (!address.mailbox.isEmpty())
            envelopeTo.append(address.mailbox);
    }
    // The envelope carries bare addresses; names belong in the header only.
    services.client.sendMessageKeepingReply(session, LXStringUtils::trimLateralSpace(content.from.mailbox),
                                            envelopeTo, message.value(), std::move(report));
}

} // namespace

MessageContent LXMailCoreBridge::htmlMessageContent(const QString &htmlBody, const QString &textAlternate,
                                                    const List &attachments, const QString &fromEmail,
                                                    const QString &fromName, const QString &to,
                                                    const QString &toName, const QString &subject)
{
    MessageContent content;
    content.from = senderAddress(fromEmail, fromName);
    // Every comma-separated address is a recipient, as in the text form:
    // handed over whole, a list of addresses would be one malformed mailbox
    // and nobody but the first (if anyone) would get the message. A
    // recipient name can only belong to a single address.
    if (const std::optional<MailAddress> named = namedRecipient(to, toName)) {
        content.to = {*named};
    } else {
        content.to = splitRecipients(to, QString());
        if (content.to.size() == 1)
            content.to.first().displayName = toName;
    }
    content.subject = subject;
    content.htmlBody = htmlBody;
    content.textBody = textAlternate;
    content.attachmentPaths = attachmentPaths(attachments);
    return content;
}

MessageContent LXMailCoreBridge::textMessageContent(const QString &textBody, const List &attachments,
                                                    const QString &fromEmail, const QString &fromName,
                                                    const QString &to, const QString &, const QString &subject)
{
    MessageContent content;
    content.from = senderAddress(fromEmail, fromName);
    if (const std::optional<MailAddress> named = namedRecipient(to, QString()))
        content.to = {*named};
    else
        content.to = splitRecipients(to, QString());
    content.subject = subject;
    content.textBody = textBody;
    content.attachmentPaths = attachmentPaths(attachments);
    return content;
}

SmtpSettings LXMailCoreBridge::sessionForSend(const QString &host, qint32 port, qint32 connectionType, bool usePw,
                                              const QString &username, const QString &password)
{
    SmtpSettings session;
    session.hostname = host;
    session.port = port;
    if (usePw) {
        session.username = username;
        session.password = password;
        session.authType = SmtpSettings::Auth::SaslPlain;
    }
    session.connectionType = securityFor(connectionType);
    return session;
}

SmtpSettings LXMailCoreBridge::sessionForCheck(const QString &host, qint32 port, qint32 connectionType,
                                               bool useAuth, const QString &username, const QString &password)
{
    SmtpSettings session = sessionForSend(host, port, connectionType, useAuth, username, password);
    session.timeoutSeconds = 15;
    // The check verifies the certificate like a send does: a check that
    // passes against an impostor would vouch for a server that then gets
    // the password on every send.
    session.checkCertificate = true;
    session.useHeloIp = true;
    session.oauth2Token = QString(u""_s);
    if (isOutlookHost(host))
        session.authType = SmtpSettings::Auth::XOAuth2Outlook;
    return session;
}

void LXMailCoreBridge::sendHtmlBody(const QString &htmlBody, const QString &textAlternate, const List &attachments,
                                    const QString &fromEmail, const QString &fromName, const QString &to,
                                    const QString &toName, const QString &subject, const QString &viaSMTP,
                                    qint32 port, qint32 connectionType, bool usePw, const QString &username,
                                    const QString &password, SendCompletion sender) const
{
    deliver(m_services, sessionForSend(viaSMTP, port, connectionType, usePw, username, password),
            htmlMessageContent(htmlBody, textAlternate, attachments, fromEmail, fromName, to, toName, subject),
            viaSMTP, to, std::move(sender));
}

void LXMailCoreBridge::sendTextBody(const QString &textBody, const List &attachments, const QString &fromEmail,
                                    const QString &fromName, const QString &to, const QString &toName,
                                    const QString &subject, const QString &viaSMTP, qint32 port,
                                    qint32 connectionType, bool usePw, const QString &username,
                                    const QString &password, SendCompletion sender) const
{
    deliver(m_services, sessionForSend(viaSMTP, port, connectionType, usePw, username, password),
            textMessageContent(textBody, attachments, fromEmail, fromName, to, toName, subject), viaSMTP, to,
            std::move(sender));
}

void LXMailCoreBridge::canConnectToServer(const QString &host, const QString &username, const QString &password,
                                          qint32 port, qint32 connectionType, bool useAuth, CheckCompletion sender,
                                          const QString &requestID) const
{
    MainLoop *mainLoop = &m_services.mainLoop;
    m_services.client.checkAccount(
        sessionForCheck(host, port, connectionType, useAuth, username, password), username,
        [mainLoop, host, requestID, sender = std::move(sender)](const std::optional<SmtpFailure> &failure) {
            mainLoop->post([host, requestID, sender, failure] {
                if (failure) {
                    qWarning().noquote() << u"Failed check SMTP account at %1 : %2"_s.arg(host,
                                                                                           failure->fullDescription);
                    qWarning().noquote()
                        << u"Failed check SMTP account at %1 : %2"_s.arg(host, failure->localizedDescription);
                }
                if (sender)
                    sender(!failure, requestID);
            });
        });
}

} // namespace quillcast
