#include "SendingTestData.h"
#include "ParsedMessage.h"
#include "TestFiles.h"

#include "platform/ManualMainLoop.h"
#include "FakeSmtpClient.h"
#include "send/LXMailCoreBridge.h"
#include "document/LogTimeStamp.h"
#include "send/MessagePreparation.h"

#include "send/DraftFolderMailClient.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

using sendtest::record;

// The message as Python's email package reads it back: Subject and
// X-Unsent, then every part depth first, a leaf with its decoded content.
// What the transports send must give the same outline for the same record.
QStringList outline(const QByteArray &bytes)
{
    const std::optional<testing::ParsedMessage> message = testing::parseMessage(bytes);
    if (!message)
        return {};
    QStringList lines{u"Subject: "_s + message->subject, u"X-Unsent: "_s + message->header(u"X-Unsent"_s)};
    for (const testing::ParsedMessage::Part &part : message->parts) {
        QString line = part.contentType;
        if (!part.charset.isEmpty())
            line += u"; charset="_s + part.charset;
        if (!part.contentType.startsWith(u"multipart/"_s))
            line += u": "_s + QString::fromUtf8(part.payload);
        lines.append(line);
    }
    return lines;
}

class MessagePreparationTest : public ::testing::Test
{
protected:
    MessagePreparationTest()
        : clock(QDateTime(QDate(2025, 4, 1), QTime(12, 0), QTimeZone::utc())),
          doc(clock),
          bridge({smtp, mainLoop, clock})
    {
        sendtest::setUp(doc, {record(1, true, u"ann@example.org"_s, u"Ann"_s)});
        doc.setMailFormFrom(u"office@example.org"_s);
        doc.setMailFormTo(u"_email_"_s);
        doc.setMailFormSubject(u"Hello _Name_"_s);
        doc.setMailFormBody(u"Dear _Name_"_s);
        doc.setMailFormBodyHtml(u"<p>Dear _Name_</p>"_s);
        doc.setMailFormBodyHtmlAltText(u"Dear _Name_ (text)"_s);
        smtp.completeAtOnce(std::nullopt);
    }

    MessagePreparation preparation()
    {
        SendingServices s;
        s.mailCore = &bridge;
        s.mailClient = &mail;
        s.server = ServerCredentials{.name = u"smtp.example.org"_s, .port = 587};
        return MessagePreparation(doc, s);
    }
    // Prepares (or sends) the message of the first database record.
    MessagePreparation::Outcome prepare(bool send)
    {
        return preparation().prepareMailWithDict(doc.addressArray().at(0).toDict(), send);
    }

    // The lines logged since the last call, time stamps removed.
    QStringList takeLog()
    {
        mainLoop.runPending();
        sendtest::drainEvents();
        const QString stamp = LogTimeStamp::now(clock);
        QStringList lines;
        for (const QString &line : sendtest::logLines(doc))
            lines.append(line.startsWith(stamp) ? line.mid(stamp.size()) : u"NO STAMP: "_s + line);
        doc.setLogViewText(QString());
        return lines;
    }

    FixedClock clock;
    MyDocument doc{SystemClock::instance()};
    FakeSmtpClient smtp;
    ManualMainLoop mainLoop;
    LXMailCoreBridge bridge;
    sendtest::RecordingMailClient mail;
};

// Each refusal's line as sending logs it; preparing logs the same line with
// "prepare" where sending says "prepare and send".
TEST_F(MessagePreparationTest, ChecksInOrderStopAtTheFirstFailure)
{
    const QString office = u"office@example.org"_s;
    const QString ann = u"ann@example.org"_s;
    const struct { const char *name; QString to; QString from; QString without; } rows[] = {
        {"empty TO", u""_s, office, u"a TO address"_s},
        {"blank TO", u"   "_s, office, u"a TO address"_s},
        {"TO without a dot in the domain", u"ann@example"_s, office, u"a valid TO address"_s},
        {"neither address valid: the TO line only", u"nobody"_s, u"nobody"_s, u"a valid TO address"_s},
        {"FROM missing", ann, u""_s, u"a FROM address"_s},
        {"two FROM addresses", ann, u"a@example.org, b@example.org"_s, u"a valid FROM address"_s},
        {"named FROM with an invalid address", ann, u"Office <office@example>"_s, u"a valid FROM address"_s},
        {"named FROM followed by another address", ann, u"Office <office@example.org>, b@example.org"_s,
         u"a valid FROM address"_s},
        {"named TO among several", u"Ann <ann@example.org>, bob@example.org"_s, office, u"a valid TO address"_s},
        {"named TO with an invalid address", u"Ann <ann at example.org>"_s, office, u"a valid TO address"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        doc.setMailFormTo(row.to);
        doc.setMailFormFrom(row.from);
        EXPECT_EQ(prepare(true), MessagePreparation::Outcome::Refused);
        prepare(false);
        EXPECT_EQ(takeLog(), QStringList({u" EMAIL ERROR: Can't prepare and send without "_s + row.without,
                                          u" EMAIL ERROR: Can't prepare without "_s + row.without}));
    }
    EXPECT_TRUE(mail.takeCalls().empty());
    EXPECT_TRUE(smtp.calls().isEmpty());
}

TEST_F(MessagePreparationTest, SeveralRecipientsPassAndNullTextsBecomeASpace)
{
    doc.setMailFormTo(u"ann@example.org, bob@example.org"_s);
    doc.setMailFormSubject(QString());
    prepare(false);

    const auto calls = mail.takeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].email, u"ann@example.org, bob@example.org"_s);
    EXPECT_EQ(calls[0].title, u" "_s);
    EXPECT_EQ(calls[0].content.to.size(), 2);
}

// A record whose message would arrive with nothing to read is refused with
// its log line and reaches no transport; anything to see (text, an image,
// the text alternative, a file) lets it go.
TEST_F(MessagePreparationTest, AMessageThatWouldArriveEmptyIsRefused)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"flyer.pdf"_s);
    ASSERT_TRUE(testing::writeFile(file, "%PDF"));
    const struct
    {
        const char *name;
        qint64 kind;
        QString body; // the text body, or the HTML body for kind 1
        QString altText;
        bool attach;
        bool refused;
    } rows[] = {
        {"text: null body", 0, QString(), QString(), false, true},
        {"text: spaces and line breaks", 0, u" \r\n\t "_s, QString(), false, true},
        {"text: a body", 0, u"Hi"_s, QString(), false, false},
        {"text: blank but a file", 0, u" "_s, QString(), true, false},
        {"HTML: both null", 1, QString(), QString(), false, true},
        {"HTML: tags, a comment, a style and spaces only", 1,
         u"<html><head><title>T</title><style>p{}</style></head><body><p>&nbsp;<!-- x --></p><br/></body></html>"_s,
         u"  "_s, false, true},
        {"HTML: text", 1, u"<p>Bonjour</p>"_s, QString(), false, false},
        {"HTML: an image only", 1, u"<img src=\"https://example.org/a.png\">"_s, QString(), false, false},
        {"HTML: blank, but the alternative has text", 1, u"<p></p>"_s, u"Bonjour"_s, false, false},
    };
    for (const bool throughServer : {false, true}) {
        doc.setUseMailServerToSend(throughServer ? 1 : 0);
        for (const auto &row : rows) {
            SCOPED_TRACE(std::string(row.name) + (throughServer ? " (server)" : " (mail system)"));
            doc.setEmailKind(row.kind);
            if (row.kind == 1)
                doc.setMailFormBodyHtml(row.body);
            else
                doc.setMailFormBody(row.body);
            doc.setMailFormBodyHtmlAltText(row.altText);
            doc.setAttachmentBookmarks(row.attach ? List({testing::attachmentEntry(file)}) : List());
            const qsizetype before = smtp.calls().size();
            const MessagePreparation::Outcome outcome = prepare(true);
            const bool reached = !mail.takeCalls().empty() || smtp.calls().size() > before;
            const QStringList log = takeLog();
            EXPECT_EQ(outcome == MessagePreparation::Outcome::Refused, row.refused);
            EXPECT_EQ(reached, !row.refused);
            if (row.refused) {
                EXPECT_EQ(log, QStringList{u" EMAIL ERROR: Can't prepare and send an empty message"_s});
            }
        }
    }
    doc.setEmailKind(0);
    doc.setMailFormBody(QString());
    doc.setUseMailServerToSend(0);
    prepare(false);
    EXPECT_EQ(takeLog(), QStringList{u" EMAIL ERROR: Can't prepare an empty message"_s});
}

// A draft, a message to sendmail and one to the SMTP server are the same
// message: an HTML mailing stays HTML with its alternative and its files;
// the draft only adds its unsent mark.
TEST_F(MessagePreparationTest, EveryTransportGetsTheSameMessage)
{
    if (!testing::haveParser())
        GTEST_SKIP() << "python3 is needed to read the messages back";
    QTemporaryDir dir;
    const QString notes = dir.filePath(u"notes.txt"_s);
    ASSERT_TRUE(testing::writeFile(notes, "Crème brûlée\n"));
    const QString flyer = dir.filePath(u"flyer.pdf"_s);
    ASSERT_TRUE(testing::writeFile(flyer, "%PDF-1.4"));
    doc.setAttachmentBookmarks(List({testing::attachmentEntry(notes), testing::attachmentEntry(flyer)}));
    doc.setEmailKind(1);
    doc.setMailFormBodyHtml(u"<p>Bonjour _Name_ 😀</p>"_s);

    DraftFolderMailClient drafts(dir.filePath(u"drafts"_s), clock);
    SendingServices services;
    services.mailCore = &bridge;
    services.mailClient = &drafts;
    doc.setUseMailServerToSend(1);
    ASSERT_EQ(MessagePreparation(doc, services).prepareMailWithDict(doc.addressArray().at(0).toDict(), false),
              MessagePreparation::Outcome::HandedToMailClient);
    ASSERT_EQ(prepare(true), MessagePreparation::Outcome::HandedToServer);
    const QDir draftsFolder(dir.filePath(u"drafts"_s));
    const QStringList written = draftsFolder.entryList(QDir::Files);
    ASSERT_EQ(written.size(), 1);
    const QByteArray draft = testing::fileContents(draftsFolder.filePath(written.first()));
    ASSERT_EQ(smtp.calls().size(), 1);

    const QStringList expected{
        u"Subject: Hello Ann"_s,
        u"X-Unsent: 1"_s,
        u"multipart/mixed"_s,
        u"multipart/alternative"_s,
        u"text/plain; charset=utf-8: Dear Ann (text)"_s,
        u"text/html; charset=utf-8: <p>Bonjour Ann 😀</p>"_s,
        u"text/plain; charset=utf-8: Crème brûlée\n"_s,
        u"application/pdf: %PDF-1.4"_s,
    };
    EXPECT_EQ(outline(draft), expected);
    QStringList sent = expected;
    sent[1] = u"X-Unsent: "_s;
    EXPECT_EQ(outline(smtp.calls().first().message), sent);
    EXPECT_EQ(doc.useMailServerToSend(), 1);
    EXPECT_EQ(doc.emailKind(), 1);
}

// A transport chosen for one run sends through it without touching the
// mailing's own choice or its kind of message.
TEST_F(MessagePreparationTest, TheRunsOwnTransportLeavesTheMailingAsItWas)
{
    doc.setEmailKind(1);
    SendingServices services;
    services.mailCore = &bridge;
    services.mailClient = &mail;
    const Dict ann = doc.addressArray().at(0).toDict();
    doc.setUseMailServerToSend(1);
    services.transport = SendingServices::Transport::MailClient;
    EXPECT_EQ(MessagePreparation(doc, services).prepareMailWithDict(ann, true),
              MessagePreparation::Outcome::HandedToMailClient);
    doc.setUseMailServerToSend(0);
    services.transport = SendingServices::Transport::MailServer;
    EXPECT_EQ(MessagePreparation(doc, services).prepareMailWithDict(ann, true),
              MessagePreparation::Outcome::HandedToServer);

    const auto calls = mail.takeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].send);
    EXPECT_EQ(calls[0].content.htmlBody, std::optional<QString>(u"<p>Dear Ann</p>"_s));
    EXPECT_EQ(smtp.calls().size(), 1);
    EXPECT_EQ(doc.useMailServerToSend(), 0);
    EXPECT_EQ(doc.emailKind(), 1);
}

TEST_F(MessagePreparationTest, ValuesArriveAsWrittenEvenWhenTheyHoldTagText)
{
    doc.addressArray().at(0).toDict().set(u"4"_s, u"Jo _email_ #_#_ _Name_ _yy_"_s);
    prepare(false);

    const auto calls = mail.takeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].title, u"Hello Jo _email_ #_#_ _Name_ _yy_"_s);
    EXPECT_EQ(calls[0].body, u"Dear Jo _email_ #_#_ _Name_ _yy_"_s);
}

// A sender or recipient under a name, and addresses with any RFC 5322 atom
// character, pass the checks and go out; the envelope has the bare address.
TEST_F(MessagePreparationTest, NamedAndApostropheAddressesAreSent)
{
    doc.setUseMailServerToSend(1);
    doc.setEmailKind(0);
    const struct { const char *name; QString from; QString to; QString envelopeFrom; QStringList envelopeTo; } rows[] = {
        {"named sender", u"Bibliothèque Municipale <news@example.org>"_s, u"ann@example.org"_s,
         u"news@example.org"_s, {u"ann@example.org"_s}},
        {"quoted sender name", u"\"Doe, Jane\" <jane@example.org>"_s, u"ann@example.org"_s, u"jane@example.org"_s,
         {u"ann@example.org"_s}},
        {"named recipient", u"office@example.org"_s, u"Seán O'Brien <o'brien@example.ie>"_s,
         u"office@example.org"_s, {u"o'brien@example.ie"_s}},
        {"atom characters", u"news+fr/eu@example.org"_s, u"o'brien@example.ie, d'arcy&co@example.fr"_s,
         u"news+fr/eu@example.org"_s, {u"o'brien@example.ie"_s, u"d'arcy&co@example.fr"_s}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        doc.setMailFormFrom(row.from);
        doc.setMailFormTo(row.to);
        const qsizetype before = smtp.calls().size();
        EXPECT_EQ(prepare(true), MessagePreparation::Outcome::HandedToServer);
        ASSERT_EQ(smtp.calls().size(), before + 1);
        EXPECT_EQ(smtp.calls().last().envelopeFrom, row.envelopeFrom);
        EXPECT_EQ(smtp.calls().last().envelopeTo, row.envelopeTo);
        EXPECT_EQ(takeLog(), QStringList{u" Email sent via smtp.example.org to "_s + row.to});
    }
}

TEST_F(MessagePreparationTest, PreparingAlwaysGoesToTheUsersMailSystem)
{
    doc.setUseMailServerToSend(1);
    EXPECT_EQ(prepare(false), MessagePreparation::Outcome::HandedToMailClient);
    const auto calls = mail.takeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_FALSE(calls[0].send);
    EXPECT_EQ(calls[0].title, u"Hello Ann"_s);
    EXPECT_TRUE(smtp.calls().isEmpty());
}

// The mail system answers at once: its answer is the message's one log line,
// and a failure is an outcome of its own, never counted as handed over.
TEST_F(MessagePreparationTest, TheMailSystemsAnswerIsTheMessagesLogLine)
{
    const struct { const char *name; QString failure; MessagePreparation::Outcome outcome; QString logLine; } rows[] = {
        {"taken", QString(), MessagePreparation::Outcome::HandedToMailClient,
         u" Email handed over to ann@example.org"_s},
        {"refused", u"queue full"_s, MessagePreparation::Outcome::MailClientFailed,
         u" Error handing over email to ann@example.org : queue full"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        mail.failure = row.failure;
        for (const bool sending : {false, true}) {
            EXPECT_EQ(prepare(sending), row.outcome);
            EXPECT_EQ(takeLog(), QStringList{row.logLine});
        }
    }
    EXPECT_EQ(mail.takeCalls().size(), 4u);
}

// Giving up on the server's answers writes one line for each send still
// waiting; an answer that comes after that writes nothing, so every
// recipient has one line.
TEST_F(MessagePreparationTest, GivingUpOnAnswersLeavesOneLinePerSend)
{
    doc.setUseMailServerToSend(1);
    smtp.holdCompletions();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(prepare(true), MessagePreparation::Outcome::HandedToServer);
    ASSERT_TRUE(smtp.complete(0));
    EXPECT_EQ(takeLog(), QStringList{u" Email sent via smtp.example.org to ann@example.org"_s});

    EXPECT_EQ(doc.giveUpOnDeliveries(3), 2);
    EXPECT_EQ(doc.deliveriesInFlight(), 0);
    ASSERT_TRUE(smtp.complete(1));
    ASSERT_TRUE(smtp.complete(2, SmtpFailure{u"cancelled"_s, u"cancelled"_s}));
    EXPECT_EQ(takeLog(), QStringList(2, u" no answer from smtp.example.org within 3 s: delivery unknown"_s));
    EXPECT_EQ(doc.giveUpOnDeliveries(3), 0);
    EXPECT_TRUE(takeLog().isEmpty());
}

TEST_F(MessagePreparationTest, SendingThroughTheServerByMessageKind)
{
    doc.setUseMailServerToSend(1);
    doc.setEmailKind(1);
    EXPECT_EQ(prepare(true), MessagePreparation::Outcome::HandedToServer);
    doc.setEmailKind(0);
    prepare(true);
    doc.setEmailKind(2);
    EXPECT_EQ(prepare(true), MessagePreparation::Outcome::NotSent);

    const auto calls = smtp.calls();
    ASSERT_EQ(calls.size(), 2);
    EXPECT_TRUE(calls[0].message.contains("Dear Ann (text)"));
    EXPECT_TRUE(calls[0].message.contains("text/html"));
    EXPECT_FALSE(calls[1].message.contains("text/html"));
    EXPECT_EQ(calls[0].settings.hostname, u"smtp.example.org"_s);
    EXPECT_EQ(calls[0].envelopeTo, QStringList({u"ann@example.org"_s}));
    EXPECT_EQ(doc.deliveriesInFlight(), 2);
    EXPECT_EQ(takeLog(), QStringList({u" Email sent via smtp.example.org to ann@example.org"_s,
                                      u" Email sent via smtp.example.org to ann@example.org"_s}));
    EXPECT_EQ(doc.deliveriesInFlight(), 0);
    EXPECT_TRUE(mail.takeCalls().empty());
}

TEST_F(MessagePreparationTest, ServerFailureIsLoggedWithItsReason)
{
    doc.setUseMailServerToSend(1);
    smtp.completeAtOnce(SmtpFailure{u"550 No such user"_s, u"full"_s});
    prepare(true);
    EXPECT_EQ(takeLog(), QStringList({u" Error sending email via smtp.example.org : 550 No such user"_s}));
}

TEST_F(MessagePreparationTest, UnusableAttachmentRefusesTheMessageAfterTheAddressChecks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"flyer.pdf"_s);
    ASSERT_TRUE(testing::writeFile(path, "%PDF"));
    doc.setAttachmentBookmarks(List({testing::attachmentEntry(path)}));
    prepare(false);
    EXPECT_EQ(mail.takeCalls().size(), 1u);

    QFile::remove(path);
    prepare(true);
    doc.setMailFormTo(u""_s);
    prepare(true);
    EXPECT_EQ(takeLog(), QStringList({u" Email handed over to ann@example.org"_s,
                                      u" ATTACHMENTS ERROR. Try to reselect them"_s,
                                      u" EMAIL ERROR: Can't prepare and send without a TO address"_s}));
    EXPECT_TRUE(mail.takeCalls().empty());
}

TEST_F(MessagePreparationTest, EmptySendListDoesNothing)
{
    doc.setSendArray(List());
    EXPECT_EQ(prepare(false), MessagePreparation::Outcome::NothingToDo);
    EXPECT_TRUE(mail.takeCalls().empty());
}

TEST_F(MessagePreparationTest, SingleRecordCommandsTakeTheLastSelectedRecord)
{
    sendtest::setUp(doc, {record(1, false, u"ann@example.org"_s, u"Ann"_s), record(2, false, u"bob@example.org"_s, u"Bob"_s),
                          record(3, false, u"cid@example.org"_s, u"Cid"_s)});
    preparation().prepareSelectedRecord({2, 0});
    const auto calls = mail.takeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].email, u"cid@example.org"_s);
}

} // namespace
} // namespace quillcast
