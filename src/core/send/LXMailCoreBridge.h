#pragma once

#include "send/MessageContent.h"
#include "send/SmtpSettings.h"
#include "util/List.h"

#include <QString>

#include <functional>

namespace quillcast {

class Clock;
class MainLoop;
class SmtpClient;

// The SMTP transport: builds a message from a prepared mail, hands it to the
// SMTP client and returns at once; when the server has answered, the
// completion runs once, on the main thread, with the log line of the
// outcome. It keeps no state of its own between calls.
class LXMailCoreBridge
{
public:
    struct Services
    {
        SmtpClient &client;
        MainLoop &mainLoop; // where completions run
        const Clock &clock; // Date headers and log time stamps
    };

    // The outcome of one send, as the document logs it.
    struct SendReport
    {
        QString logLine; // with its time stamp and line feed
        bool succeeded = false;
        // A failure in words (without time stamp), and when it was the
        // server's refusal, its reply code and text; on success the text is
        // the server's whole reply line, when the client kept it.
        QString failure;
        int replyCode = 0;
        QString replyText;
    };
    using SendCompletion = std::function<void(const SendReport &report)>;
    // The connection tester's receiver: whether the check passed, and the
    // request identifier as given.
    using CheckCompletion = std::function<void(bool succeeded, const QString &requestID)>;

    explicit LXMailCoreBridge(Services services) : m_services(services) {}

    // The HTML form: the HTML body with the text alternative.
    void sendHtmlBody(const QString &htmlBody, const QString &textAlternate, const List &attachments,
                      const QString &fromEmail, const QString &fromName, const QString &to, const QString &toName,
                      const QString &subject, const QString &viaSMTP, qint32 port, qint32 connectionType, bool usePw,
                      const QString &username, const QString &password, SendCompletion sender) const;
    // The text form.
    void sendTextBody(const QString &textBody, const List &attachments, const QString &fromEmail,
                      const QString &fromName, const QString &to, const QString &toName, const QString &subject,
                      const QString &viaSMTP, qint32 port, qint32 connectionType, bool usePw,
                      const QString &username, const QString &password, SendCompletion sender) const;
    // The account check of the connection tester.
    void canConnectToServer(const QString &host, const QString &username, const QString &password, qint32 port,
                            qint32 connectionType, bool useAuth, CheckCompletion sender,
                            const QString &requestID) const;

    // The message content of each form (also what the preview shows as the
    // message that would be sent): recipients split and trimmed as the form
    // says, attachments from the entries' paths.
    static MessageContent htmlMessageContent(const QString &htmlBody, const QString &textAlternate,
                                             const List &attachments, const QString &fromEmail,
                                             const QString &fromName, const QString &to, const QString &toName,
                                             const QString &subject);
    static MessageContent textMessageContent(const QString &textBody, const List &attachments,
                                             const QString &fromEmail, const QString &fromName, const QString &to,
                                             const QString &toName, const QString &subject);

    // The session settings of a send and of an account check.
    static SmtpSettings sessionForSend(const QString &host, qint32 port, qint32 connectionType, bool usePw,
                                       const QString &username, const QString &password);
    static SmtpSettings sessionForCheck(const QString &host, qint32 port, qint32 connectionType, bool useAuth,
                                        const QString &username, const QString &password);

private:
    Services m_services;
};

} // namespace quillcast
