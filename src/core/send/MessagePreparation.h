#pragma once

#include "send/LXMailCoreBridge.h"
#include "send/LXMailCoreBridge.h"
#include "send/MessageContent.h"
#include "send/SendingServices.h"
#include "util/Dict.h"
#include "util/List.h"

#include <QList>
#include <QString>

#include <functional>
#include <functional>
#include <memory>
#include <optional>

namespace quillcast {

class MyDocument;
class RunJournal;

// Turns one address record into one message: merges the record into every
// text of the mail form, checks the recipient, the sender and the
// attachments (each refusal is a log line), and hands the message to the
// SMTP transport or to the user's mail system.
class MessagePreparation
{
public:
    // What became of a record; the log says it to the user, the command line
    // counts it. The user's mail system answers at once (HandedToMailClient
    // when it took the message, MailClientFailed when not); the SMTP server
    // answers later, through the document (HandedToServer).
    enum class Outcome { NothingToDo, Refused, HandedToMailClient, MailClientFailed, HandedToServer, NotSent };

    // The merged texts of the mail form; null where the form's text is null.
    struct MergedForm
    {
        QString from;
        QString to;
        QString subject;
        QString body;
        QString bodyHtml;
        QString htmlAltText;
    };

    // The server of the sends is the one given for the run, if any, until
    // setServer().
    MessagePreparation(MyDocument &document, SendingServices services)
        : m_doc(document), m_services(services), m_server(services.server.value_or(ServerCredentials()))
    {
    }

    // The server the SMTP transport sends through; not while a run's worker
    // prepares messages.
    void setServer(const ServerCredentials &server) { m_server = server; }
    const ServerCredentials &server() const { return m_server; }

    // A send run's journal (if any) and the record's place in the run:
    // the message handed to the server, and then the server's answer, are
    // written to it; answered hears the answer too, on the document's
    // thread, after the journal and the log.
    struct JournalEntry
    {
        std::shared_ptr<RunJournal> journal;
        qint64 index = 0;
        std::function<void(const LXMailCoreBridge::SendReport &report)> answered;
    };

    // On the send run's worker or on the main thread.
    Outcome prepareMailWithDict(const Dict &record, bool sending,
                                const std::optional<JournalEntry> &entry = std::nullopt);

    // The single-record commands on the send list's selection (rows of its
    // shown view): the last selected record is prepared.
    void prepareSelectedRecordPlusSend(bool sending, const QList<qsizetype> &selectedRows);
    void prepareSelectedRecord(const QList<qsizetype> &selectedRows);
    // Takes the server for sending anew and checks it first; a failed check
    // shows its alert and sends nothing.
    void sendSelectedRecord(const QList<qsizetype> &selectedRows);

    // The SMTP transport with the server set.
    void sendEmailViaMailCoreWithHtmlBody(const QString &htmlBody, const QString &textAlternate,
                                          const List &attachments, const QString &fromEmail,
                                          const QString &fromName, const QString &toEmail, const QString &toName,
                                          const QString &title);
    void sendEmailViaMailCoreWithBody(const QString &body, const List &attachments, const QString &fromEmail,
                                      const QString &fromName, const QString &toEmail, const QString &toName,
                                      const QString &title);

    // Time pass, then record pass, for each text of the mail form.
    static MergedForm merge(const MyDocument &document, const Dict &record);
    // Whether every attachment entry resolves and its file can be opened now.
    static bool attachmentsAccessible(const List &attachments);

    // The message of a merged form as every transport sends it, and as the
    // preview shows it: HTML with its text alternative when the mailing's
    // kind is 1, the text body otherwise; a null text becomes a space.
    static MessageContent messageContent(qint64 emailKind, const MergedForm &form, const List &attachments);
    // Whether the recipient would see nothing: no attachment, and a blank
    // text body, or for an HTML message both a blank HTML body (no text and
    // no image once tags, comments, styles and scripts are left out) and a
    // blank text alternative. Such a message is refused, never sent.
    static bool arrivesEmpty(const MessageContent &content);

    // Whether messages that are sent go to the SMTP server (otherwise to
    // the user's mail system): the run's own choice, or the mailing's.
    bool sendsThroughServer() const;

private:
    MyDocument &m_doc;
    SendingServices m_services;
    ServerCredentials m_server;
    // The entry of the record being prepared, if any.
    std::optional<JournalEntry> m_entry;
};

} // namespace quillcast
