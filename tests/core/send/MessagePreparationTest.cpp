#include "SendingTestData.h"
#include "TestFiles.h"

#include "platform/ManualMainLoop.h"
#include "send/FakeSmtpClient.h"
#include "send/LXMailCoreBridge.h"
#include "send/LogTimeStamp.h"
#include "send/MessagePreparation.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

using sendtest::record;

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
        doc.setServerName(u"smtp.example.org"_s);
        doc.setServerPort(587);
        smtp.completeAtOnce(std::nullopt);
    }

    MessagePreparation preparation()
    {
        SendingServices s;
        s.mailCore = &bridge;
        s.mailClient = &mail;
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
    MyDocument doc;
    FakeSmtpClient smtp;
    ManualMainLoop mainLoop;
    LXMailCoreBridge bridge;
    sendtest::RecordingMailClient mail;
};

TEST_F(MessagePreparationTest, ChecksInOrderStopAtTheFirstFailure)
{
    const struct
    {
        const char *name;
        QString to;
        QString from;
        QString whenSending;
        QString whenPreparing;
    } rows[] = {
        {"empty TO", u""_s, u"office@example.org"_s, u" EMAIL ERROR: Can't prepare and send without a TO address"_s,
         u" EMAIL ERROR: Can't prepare without a TO address"_s},
        {"blank TO", u"   "_s, u"office@example.org"_s, u" EMAIL ERROR: Can't prepare and send without a TO address"_s,
         u" EMAIL ERROR: Can't prepare without a TO address"_s},
        {"TO without a dot in the domain", u"ann@example"_s, u"office@example.org"_s,
         u" EMAIL ERROR: Can't prepare and send without a valid TO address"_s,
         u" EMAIL ERROR: Can't prepare without a valid TO address"_s},
        {"neither address valid: the TO line only", u"nobody"_s, u"nobody"_s,
         u" EMAIL ERROR: Can't prepare and send without a valid TO address"_s,
         u" EMAIL ERROR: Can't prepare without a valid TO address"_s},
        {"FROM missing", u"ann@example.org"_s, u""_s, u" EMAIL ERROR: Can't prepare and send without a FROM address"_s,
         u" EMAIL ERROR: Can't prepare without a FROM address"_s},
        {"two FROM addresses", u"ann@example.org"_s, u"a@example.org, b@example.org"_s,
         u" EMAIL ERROR: Can't prepare and send without a valid FROM address"_s,
         u" EMAIL ERROR: Can't prepare without a valid FROM address"_s},
        {"named FROM with an invalid address", u"ann@example.org"_s, u"Office <office@example>"_s,
         u" EMAIL ERROR: Can't prepare and send without a valid FROM address"_s,
         u" EMAIL ERROR: Can't prepare without a valid FROM address"_s},
        {"named FROM followed by another address", u"ann@example.org"_s,
         u"Office <office@example.org>, b@example.org"_s,
         u" EMAIL ERROR: Can't prepare and send without a valid FROM address"_s,
         u" EMAIL ERROR: Can't prepare without a valid FROM address"_s},
        {"named TO among several", u"Ann <ann@example.org>, bob@example.org"_s, u"office@example.org"_s,
         u" EMAIL ERROR: Can't prepare and send without a valid TO address"_s,
         u" EMAIL ERROR: Can't prepare without a valid TO address"_s},
        {"named TO with an invalid address", u"Ann <ann at example.org>"_s, u"office@example.org"_s,
         u" EMAIL ERROR: Can't prepare and send without a valid TO address"_s,
         u" EMAIL ERROR: Can't prepare without a valid TO address"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        doc.setMailFormTo(row.to);
        doc.setMailFormFrom(row.from);
        EXPECT_EQ(prepare(true), MessagePreparation::Outcome::Refused);
        prepare(false);
        EXPECT_EQ(takeLog(), QStringList({row.whenSending, row.whenPreparing}));
    }
    EXPECT_TRUE(mail.takeCalls().empty());
    EXPECT_TRUE(smtp.calls().isEmpty());
}

TEST_F(MessagePreparationTest, SeveralRecipientsPassAndNullTextsBecomeASpace)
{
    doc.setMailFormTo(u"ann@example.org, bob@example.org"_s);
    doc.setMailFormSubject(u""_s);
    doc.setMailFormBody(QString());
    prepare(false);

    const auto calls = mail.takeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].email, u"ann@example.org, bob@example.org"_s);
    EXPECT_EQ(calls[0].title, u""_s);
    EXPECT_EQ(calls[0].body, u" "_s);
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
    const struct
    {
        const char *name;
        QString failure;
        MessagePreparation::Outcome outcome;
        QString logLine;
    } rows[] = {
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
