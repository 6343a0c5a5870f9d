#include "send/MessagePreparation.h"

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/LXBookmark.h"
#include "send/LXMailCoreBridge.h"
#include "document/LogTimeStamp.h"
#include "send/MailboxText.h"
#include "send/RunJournal.h"
#include "send/ServerSettings.h"
#include "send/SystemMailClient.h"
#include "util/LXNetValidator.h"
#include "util/LXStringUtils.h"

#include <QRegularExpression>
#include <QScopeGuard>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

bool blank(const QString &text)
{
    return text.isNull() || LXStringUtils::trimLateralSpace(text).isEmpty();
}

QString orSpace(const QString &text)
{
    return text.isNull() ? u" "_s : text;
}

// The recipient text: addresses separated by commas, or one mailbox with a
// name ("Name <address>") whose address is valid.
bool validRecipients(const QString &to)
{
    if (LXNetValidator::isValidEmailAlsoMultiple(to))
        return true;
    const std::optional<MailAddress> named = MailboxText::parseNamed(to);
    return named && LXNetValidator::isValidEmail(named->mailbox);
}

// The sender: one address, bare or with a name.
bool validSender(const QString &from)
{
    return LXNetValidator::isValidEmail(MailboxText::addressOf(from));
}

bool blankText(const std::optional<QString> &text)
{
    return !text || text->trimmed().isEmpty();
}

// What a mail program would show of an HTML body: nothing when, with the
// parts that are never shown and every tag left out, only white space is
// left, unless an image is there.
bool blankHtml(const std::optional<QString> &html)
{
    if (blankText(html))
        return true;
    static const QRegularExpression image(u"<img[\\s>/]"_s, QRegularExpression::CaseInsensitiveOption);
    if (html->contains(image))
        return false;
    static const QRegularExpression hidden(u"<!--.*?-->|<(head|style|script|title)\\b.*?</\\1\\s*>"_s,
                                           QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(u"<[^>]*>"_s);
    static const QRegularExpression space(u"&(nbsp|#160|#xa0|ensp|emsp|thinsp|#8203|zwnj|zwj);"_s,
                                          QRegularExpression::CaseInsensitiveOption);
    QString shown = *html;
    shown.remove(hidden).remove(tag).replace(space, u" "_s);
    return shown.trimmed().isEmpty();
}

} // namespace

MessagePreparation::MergedForm MessagePreparation::merge(const MyDocument &document, const Dict &record)
{
    const RecordMerge merger = document.recordMerge(record);
    const auto merged = [&](const QString &text) { return merger.merge(text); };
    MergedForm form;
    form.from = merged(document.mailFormFrom());
    form.subject = merged(document.mailFormSubject());
    form.to = merged(document.mailFormTo());
    form.body = merged(document.mailFormBody());
    form.bodyHtml = merged(document.mailFormBodyHtml());
    form.htmlAltText = merged(document.mailFormBodyHtmlAltText());
    return form;
}

bool MessagePreparation::attachmentsAccessible(const List &attachments)
{
    int failures = 0;
    for (const Value &entry : attachments.items()) {
        bool stale = false;
        const auto location = LXBookmark::urlForBookmark(entry.toDict().value(DocumentKeys::attachmentBookmark()).toBytes(), &stale);
        if (location && LXBookmark::startAccessingSecurityScopedResource(*location))
            LXBookmark::stopAccessingSecurityScopedResource(*location);
        else
            ++failures;
    }
    return failures == 0;
}

MessageContent MessagePreparation::messageContent(qint64 emailKind, const MergedForm &form, const List &attachments)
{
    if (emailKind == 1)
        return LXMailCoreBridge::htmlMessageContent(orSpace(form.bodyHtml), orSpace(form.htmlAltText), attachments,
                                                    form.from, QString(u""_s), form.to, QString(u""_s),
                                                    orSpace(form.subject));
    return LXMailCoreBridge::textMessageContent(orSpace(form.body), attachments, form.from, QString(u""_s), form.to,
                                                QString(u""_s), orSpace(form.subject));
}

bool MessagePreparation::arrivesEmpty(const MessageContent &content)
{
    if (!content.attachmentPaths.isEmpty())
        return false;
    if (content.htmlBody)
        return blankHtml(content.htmlBody) && blankText(content.textBody);
    return blankText(content.textBody);
}

bool MessagePreparation::sendsThroughServer() const
{
    switch (m_services.transport) {
    case SendingServices::Transport::MailServer:
        return true;
    case SendingServices::Transport::MailClient:
        return false;
    case SendingServices::Transport::AsMailingSays:
        break;
    }
    return m_doc.useMailServerToSend() == 1;
}

MessagePreparation::Outcome MessagePreparation::prepareMailWithDict(const Dict &record, bool sending,
                                                                   const std::optional<JournalEntry> &entry)
{
    if (m_doc.sendArray().isEmpty())
        return Outcome::NothingToDo;

    m_entry = entry;
    const auto forgetEntry = qScopeGuard([this] { m_entry.reset(); });
    const MergedForm form = merge(m_doc, record);
    const QString stamp = LogTimeStamp::now(m_doc.clock());
    const auto refuse = [&](const QString &whenSending, const QString &whenPreparing) {
        m_doc.appendToLogView(stamp + (sending ? whenSending : whenPreparing));
        if (m_entry && m_entry->journal)
            (void)m_entry->journal->failed(m_entry->index, whenSending.trimmed(), QDateTime::currentDateTimeUtc());
        return Outcome::Refused;
    };

    if (blank(form.to))
        return refuse(u" EMAIL ERROR: Can't prepare and send without a TO address\n"_s,
                      u" EMAIL ERROR: Can't prepare without a TO address\n"_s);
    if (!validRecipients(form.to))
        return refuse(u" EMAIL ERROR: Can't prepare and send without a valid TO address\n"_s,
                      u" EMAIL ERROR: Can't prepare without a valid TO address\n"_s);
    if (blank(form.from))
        return refuse(u" EMAIL ERROR: Can't prepare and send without a FROM address\n"_s,
                      u" EMAIL ERROR: Can't prepare without a FROM address\n"_s);
    if (!validSender(form.from))
        return refuse(u" EMAIL ERROR: Can't prepare and send without a valid FROM address\n"_s,
                      u" EMAIL ERROR: Can't prepare without a valid FROM address\n"_s);

    const QString subject = orSpace(form.subject);
    const QString body = orSpace(form.body);
    const QString bodyHtml = orSpace(form.bodyHtml);
    const QString htmlAltText = orSpace(form.htmlAltText);

    // The same message for every transport: the server's, a draft, sendmail.
    const List attachments = m_doc.attachmentBookmarks();
    const MessageContent content = messageContent(m_doc.emailKind(), form, attachments);
    if (arrivesEmpty(content))
        return refuse(u" EMAIL ERROR: Can't prepare and send an empty message\n"_s,
                      u" EMAIL ERROR: Can't prepare an empty message\n"_s);

    // An attachment that cannot be opened refuses the whole message rather
    // than letting it go out without the file.
    if (!attachmentsAccessible(attachments))
        return refuse(u" ATTACHMENTS ERROR. Try to reselect them\n"_s, u" ATTACHMENTS ERROR. Try to reselect them\n"_s);

    if (!sendsThroughServer() || !sending) {
        if (!m_services.mailClient)
            return Outcome::NotSent;
        // The mail system's answer is its own line, stamped when it came (a
        // sendmail may take its time).
        const Result<QString> handed = m_services.mailClient->prepareEmailViaMailApp(content, form.to, sending);
        const QString said = handed ? handed.value() : handed.error();
        m_doc.appendToLogView(LogTimeStamp::now(m_doc.clock()) + u' ' + said + u'\n');
        return handed ? Outcome::HandedToMailClient : Outcome::MailClientFailed;
    }

    switch (m_doc.emailKind()) {
    case 1:
        sendEmailViaMailCoreWithHtmlBody(bodyHtml, htmlAltText, attachments, form.from, QString(u""_s), form.to,
                                         QString(u""_s), subject);
        return Outcome::HandedToServer;
    case 0:
        sendEmailViaMailCoreWithBody(body, attachments, form.from, QString(u""_s), form.to, QString(u""_s), subject);
        return Outcome::HandedToServer;
    default:
        return Outcome::NotSent;
    }
}

namespace {

// Writes that the message is about to go to the server; its answer comes
// only after this line is on disk.
// (The journal's times are the system's: the document's clock may be fixed
// for merging.)
void noteHanded(const std::optional<MessagePreparation::JournalEntry> &entry, const QString &to)
{
    if (entry && entry->journal)
        (void)entry->journal->handed(entry->index, to, QDateTime::currentDateTimeUtc());
}

// Reports the server's answer to the document, on its thread; a document
// closed meanwhile hears nothing. The run's journal hears it in any case.
LXMailCoreBridge::SendCompletion reportTo(MyDocument &document, const QString &host,
                                          const std::optional<MessagePreparation::JournalEntry> &entry)
{
    const PendingDeliveries::Ticket ticket = document.noteDeliveryStarted(host);
    return [doc = document.selfPointer(), ticket, entry](const LXMailCoreBridge::SendReport &report) {
        if (entry && entry->journal) {
            RunJournal &journal = *entry->journal;
            const QDateTime now = QDateTime::currentDateTimeUtc();
            if (report.succeeded)
                (void)journal.accepted(entry->index, report.replyText, now);
            else if (report.replyCode >= 400)
                (void)journal.refused(entry->index, report.replyCode, report.replyText, now);
            else
                (void)journal.failed(entry->index, report.failure, now);
        }
        if (doc)
            doc->noteDeliveryFinished(ticket, report.succeeded, report.logLine);
        if (entry && entry->answered)
            entry->answered(report);
    };
}

} // namespace

void MessagePreparation::sendEmailViaMailCoreWithHtmlBody(const QString &htmlBody, const QString &textAlternate,
                                                          const List &attachments, const QString &fromEmail,
                                                          const QString &fromName, const QString &toEmail,
                                                          const QString &toName, const QString &title)
{
    if (!m_services.mailCore)
        return;
    noteHanded(m_entry, toEmail);
    m_services.mailCore->sendHtmlBody(htmlBody, textAlternate, attachments, fromEmail, fromName, toEmail, toName,
                                      title, m_server.name, m_server.port, m_server.connectionType,
                                      m_server.requirePassword, m_server.username, m_server.password,
                                      reportTo(m_doc, m_server.name, m_entry));
}

void MessagePreparation::sendEmailViaMailCoreWithBody(const QString &body, const List &attachments,
                                                      const QString &fromEmail, const QString &fromName,
                                                      const QString &toEmail, const QString &toName,
                                                      const QString &title)
{
    if (!m_services.mailCore)
        return;
    noteHanded(m_entry, toEmail);
    m_services.mailCore->sendTextBody(body, attachments, fromEmail, fromName, toEmail, toName, title,
                                      m_server.name, m_server.port, m_server.connectionType,
                                      m_server.requirePassword, m_server.username, m_server.password,
                                      reportTo(m_doc, m_server.name, m_entry));
}

void MessagePreparation::prepareSelectedRecordPlusSend(bool sending, const QList<qsizetype> &selectedRows)
{
    if (selectedRows.isEmpty())
        return;
    const qsizetype last = *std::max_element(selectedRows.begin(), selectedRows.end());
    const std::optional<Dict> record = m_doc.sendArrayShown().at(last);
    if (record)
        prepareMailWithDict(*record, sending);
}

void MessagePreparation::prepareSelectedRecord(const QList<qsizetype> &selectedRows)
{
    prepareSelectedRecordPlusSend(false, selectedRows);
}

void MessagePreparation::sendSelectedRecord(const QList<qsizetype> &selectedRows)
{
    ServerSettings settings(m_doc, m_services.connections);
    const ServerCredentials server = settings.serverForSending(m_services.server);
    if (const int code = ServerSettings::checkForCorrectServerSetting(server); code != ServerSettings::Complete) {
        settings.presentServerSettingErrorDialog(code);
        return;
    }
    m_server = server;
    prepareSelectedRecordPlusSend(true, selectedRows);
}

} // namespace quillcast
