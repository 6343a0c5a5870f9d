#include "ParsedMessage.h"
#include "TestFiles.h"
#include "TestPrinters.h"
#include "platform/FixedClock.h"
#include "send/DraftFolderMailClient.h"
#include "send/RoutingMailClient.h"
#include "send/SendmailMailClient.h"
#include "send/XdgEmailMailClient.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <thread>

#include <sys/stat.h>

using namespace quillcast;
using namespace quillcast::testing;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kBinary("%PDF-1.4 \x00\xff", 11);

// A text message as preparation hands it over: the recipient text as one
// To value.
MessageContent message(const QString &body, const QString &email, const QString &title, const QString &from,
                       const QStringList &files = {})
{
    MessageContent content;
    content.from = {QString(), from};
    content.to = {{QString(), email}};
    content.subject = title;
    content.textBody = body;
    content.attachmentPaths = files;
    return content;
}

class SystemMailClientTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString file(const QString &name, const QByteArray &bytes)
    {
        EXPECT_TRUE(writeFile(dir.filePath(name), bytes)) << name.toStdString();
        return dir.filePath(name);
    }

    // A stand-in for an outside program: a shell script made at test time.
    QString script(const QString &name, const QString &body)
    {
        EXPECT_TRUE(writeScript(dir.filePath(name), body)) << name.toStdString();
        return dir.filePath(name);
    }

    // Sends or prepares a plain message with no attachments.
    static Result<QString> simple(SystemMailClient &client, const QString &body, const QString &email, bool send)
    {
        return client.prepareEmailViaMailApp(message(body, email, u"S"_s, u"a@x.org"_s), email, send);
    }

    QTemporaryDir dir;
    const FixedClock clock{QDateTime(QDate(2024, 3, 5), QTime(9, 30), QTimeZone::utc())};
};

// --- drafts folder ----------------------------------------------------------

class DraftFolderTest : public SystemMailClientTest
{
protected:
    QString draftsPath() const { return dir.filePath(u"Drafts"_s); }
    QStringList drafts() const { return QDir(draftsPath()).entryList({u"*.eml"_s}, QDir::Files, QDir::Name); }
    QByteArray draft(int i) const { return fileContents(QDir(draftsPath()).filePath(drafts().value(i))); }
};

// Names keep only safe characters of the recipient, and a later client (a
// new run) does not replace the drafts of an earlier one.
TEST_F(DraftFolderTest, EachMessageBecomesADraftOfItsOwnInOrder)
{
    DraftFolderMailClient client(draftsPath(), clock);
    for (const QString &email : {u"b@x.org"_s, u"../../etc/passwd"_s, u"a@x.org, b@y.org"_s, QString()})
        ASSERT_TRUE(simple(client, u"first"_s, email, false).ok());
    EXPECT_EQ(drafts(), (QStringList{u"20240305-093000-000001-b@x.org.eml"_s, u"20240305-093000-000002-_.._etc_passwd.eml"_s,
                                     u"20240305-093000-000003-a@x.org__b@y.org.eml"_s,
                                     u"20240305-093000-000004-draft.eml"_s}));
    DraftFolderMailClient later(draftsPath(), clock);
    ASSERT_TRUE(simple(later, u"new"_s, u"b@x.org"_s, false).ok());
    ASSERT_EQ(drafts().size(), 5);
    EXPECT_TRUE(draft(0).contains("\r\n\r\nfirst"));
}

// The recipient text goes in as it is: the mail program reads the addresses.
TEST_F(DraftFolderTest, RecipientTextAndAttachmentsMakeTheDraft)
{
    if (!haveParser())
        GTEST_SKIP() << "python3 is needed to read the drafts back";
    DraftFolderMailClient client(draftsPath(), clock);
    const Result<QString> written = client.prepareEmailViaMailApp(
        message(u"Grüße"_s, u"b@x.org, c@y.org"_s, u"Subject\r\nBcc: v@z.org"_s, u"a@x.org"_s,
                {file(u"kept.pdf"_s, kBinary)}),
        u"b@x.org, c@y.org"_s, false);
    ASSERT_TRUE(written.ok()) << written.error().toStdString();
    EXPECT_EQ(written.value(), u"Email to b@x.org, c@y.org: draft written to "_s
                                   + QDir(draftsPath()).filePath(drafts().value(0)));
    const ParsedMessage m = parseMessage(draft(0)).value_or(ParsedMessage());
    EXPECT_EQ(m.toMailboxes(), (QStringList{u"b@x.org"_s, u"c@y.org"_s}));
    EXPECT_EQ(m.headerCount(u"Bcc"_s), 0);
    EXPECT_EQ(m.from.value(0).addr, u"a@x.org"_s);
    ASSERT_EQ(m.parts.size(), 3);
    EXPECT_EQ(m.parts.value(2).filename, u"kept.pdf"_s);
    EXPECT_EQ(m.parts.value(2).payload, kBinary);
}

// A file replaced by something that is not a regular file since it was
// attached fails the message, as it does for the SMTP server: neither a
// draft nor a sent message goes without one of its files.
TEST_F(SystemMailClientTest, AMessageWithoutOneOfItsFilesIsNotMade)
{
    const QString kept = file(u"kept.pdf"_s, kBinary);
    const QString deleted = dir.filePath(u"deleted.txt"_s);
    const QString pipe = dir.filePath(u"pipe"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder"_s));
    const struct { const char *name; QString path; QString reason; } rows[] = {
        {"folder", dir.filePath(u"folder"_s), dir.filePath(u"folder"_s) + u" cannot be read: it is a folder"_s},
        {"named pipe", pipe, pipe + u" cannot be read: it is a pipe"_s},
        {"deleted file", deleted, deleted + u" cannot be read: "_s},
    };
    const QString drafts = dir.filePath(u"Drafts"_s);
    const QString sendmailInput = dir.filePath(u"stdin"_s);
    DraftFolderMailClient draftFolder(drafts, clock);
    SendmailMailClient sendmail(clock, script(u"fake-sendmail"_s, u"cat > \"%1\"\n"_s.arg(sendmailInput)));
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const MessageContent content = message(u"b"_s, u"b@x.org"_s, u"S"_s, u"a@x.org"_s, {kept, row.path});
        const Result<QString> draft = draftFolder.prepareEmailViaMailApp(content, u"b@x.org"_s, false);
        ASSERT_FALSE(draft.ok());
        EXPECT_TRUE(draft.error().startsWith(u"Error writing the draft for b@x.org : "_s + row.reason))
            << draft.error().toStdString();
        const Result<QString> sent = sendmail.prepareEmailViaMailApp(content, u"b@x.org"_s, true);
        ASSERT_FALSE(sent.ok());
        EXPECT_TRUE(sent.error().startsWith(u"Error sending email via sendmail to b@x.org : "_s + row.reason))
            << sent.error().toStdString();
    }
    EXPECT_TRUE(QDir(drafts).entryList(QDir::Files).isEmpty());
    EXPECT_FALSE(QFile::exists(sendmailInput));
}

TEST_F(DraftFolderTest, AFolderThatCannotBeMadeIsReported)
{
    const QString plain = file(u"plain-file"_s, "x");
    DraftFolderMailClient client(plain + u"/Drafts"_s, clock);
    const Result<QString> status = simple(client, u"b"_s, u"b@x.org"_s, false);
    ASSERT_FALSE(status.ok());
    EXPECT_TRUE(status.error().contains(plain)) << status.error().toStdString();
}

// --- xdg-email ----------------------------------------------------------------

TEST_F(SystemMailClientTest, XdgEmailArgumentsArriveVerbatimWithoutAShell)
{
    // Records its arguments, one per NUL-terminated field, and appears whole
    // (renamed into place) when done: the program runs detached.
    const QString args = dir.filePath(u"args"_s);
    const QString program =
        script(u"fake-xdg-email"_s, u"for a in \"$@\"; do printf '%s\\0' \"$a\"; done > \"%1.tmp\"\nmv \"%1.tmp\" \"%1\"\n"_s.arg(args));
    const QString attachment = file(u"file with spaces.txt"_s, "x");
    const QString pwned = dir.filePath(u"pwned"_s);
    const QString subject = u"-Hi $(touch %1); `touch %1` ; echo \"x\" > %1 & Grüße"_s.arg(pwned);
    const QString body = u"line one\nline two $HOME\n"_s;

    XdgEmailMailClient client(program);
    const Result<QString> opened =
        client.prepareEmailViaMailApp(message(body, u"-b@x.org"_s, subject, u"a@x.org"_s, {attachment}), u"-b@x.org"_s,
                                      false);
    ASSERT_TRUE(opened.ok()) << opened.error().toStdString();
    EXPECT_EQ(opened.value(), u"Email to -b@x.org: opened in the mail program"_s);
    const QDeadlineTimer deadline(20000);
    while (!QFile::exists(args) && !deadline.hasExpired())
        QThread::msleep(20);
    QStringList recorded;
    for (const QByteArray &field : fileContents(args).split('\0'))
        recorded.append(QString::fromUtf8(field));
    EXPECT_EQ(recorded, (QStringList{u"--utf8"_s, u"--subject"_s, subject, u"--body"_s, body, u"--attach"_s, attachment,
                                     u"mailto:-b@x.org"_s, QString()}));
    EXPECT_FALSE(QFile::exists(pwned));
}

// The recipient text becomes one mailto URL, encoded so that it cannot add
// fields or options; an empty subject or body is left out.
TEST(XdgEmailArguments, TheRecipientIsOneEncodedMailtoUrl)
{
    const struct { const char *name; QString email; QString subjectAndBody; QStringList arguments; } rows[] = {
        {"one address", u"b@x.org"_s, QString(), {u"--utf8"_s, u"mailto:b@x.org"_s}},
        {"blank subject and body are kept", u"b@x.org"_s, u" "_s,
         {u"--utf8"_s, u"--subject"_s, u" "_s, u"--body"_s, u" "_s, u"mailto:b@x.org"_s}},
        {"several addresses stay one text", u"b@x.org, c@y.org"_s, QString(), {u"--utf8"_s, u"mailto:b@x.org%2C%20c@y.org"_s}},
        {"URL syntax cannot add fields", u"b@x.org?bcc=v@z.org&subject=x"_s, QString(),
         {u"--utf8"_s, u"mailto:b@x.org%3Fbcc%3Dv@z.org%26subject%3Dx"_s}},
        {"leading dash", u"--help"_s, QString(), {u"--utf8"_s, u"mailto:--help"_s}},
        {"non-ASCII", u"jürgen@x.org"_s, QString(), {u"--utf8"_s, u"mailto:j%C3%BCrgen@x.org"_s}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(XdgEmailMailClient::arguments(row.subjectAndBody, row.email, row.subjectAndBody, {}), row.arguments);
    }
}

// --- sendmail -------------------------------------------------------------------

class SendmailTest : public SystemMailClientTest
{
protected:
    QString fakeSendmail(const QString &tail = u"exit 0\n"_s)
    {
        return script(u"fake-sendmail"_s,
                      u"printf '%s\\n' \"$@\" > \"%1\"\ncat > \"%2\"\n"_s.arg(dir.filePath(u"args"_s), dir.filePath(u"stdin"_s))
                          + tail);
    }
};

TEST_F(SendmailTest, TheMessageIsPipedToSendmailTakingRecipientsFromTheHeader)
{
    const QString data = file(u"data.bin"_s, kBinary);
    SendmailMailClient client(clock, fakeSendmail());
    Result<QString> status = Result<QString>::failure(u"not run"_s);
    // The send run calls the client on a plain worker thread.
    std::thread worker([&] {
        status = client.prepareEmailViaMailApp(
            message(u"Hello\n.\nstill here"_s, u"b@x.org, c@y.org"_s, u"Grüße"_s, u"a@x.org"_s, {data}),
            u"b@x.org, c@y.org"_s, true);
    });
    worker.join();
    ASSERT_TRUE(status.ok()) << status.error().toStdString();
    EXPECT_EQ(status.value(), u"Email sent via sendmail to b@x.org, c@y.org"_s);
    EXPECT_EQ(fileContents(dir.filePath(u"args"_s)), "-t\n-i\n");
    const QByteArray message = fileContents(dir.filePath(u"stdin"_s));
    EXPECT_EQ(sevenBitProblem(message), QString());
    if (!haveParser())
        GTEST_SKIP() << "python3 is needed to read the message back";
    const ParsedMessage m = parseMessage(message).value_or(ParsedMessage());
    EXPECT_EQ(m.toMailboxes(), (QStringList{u"b@x.org"_s, u"c@y.org"_s}));
    EXPECT_EQ(m.date, u"2024-03-05T09:30:00+00:00"_s);
    EXPECT_EQ(m.headerCount(u"X-Unsent"_s), 0);
    EXPECT_EQ(m.parts.value(1).text, u"Hello\n.\nstill here"_s);
    EXPECT_EQ(m.parts.value(2).payload, kBinary);
}

TEST_F(SendmailTest, FailuresOfTheProgramAreReported)
{
    const struct { const char *name; QString tail; std::chrono::milliseconds timeout; QString expected; } rows[] = {
        {"non-zero exit with a reason", u"echo 'No recipient addresses found' >&2\nexit 67\n"_s, std::chrono::seconds(60),
         u"No recipient addresses found"_s},
        {"queue full, said over two lines", u"echo 'queue' >&2\necho 'full' >&2\nexit 75\n"_s, std::chrono::seconds(60),
         u"fake-sendmail” failed with exit status 75: queue full"_s},
        {"killed", u"kill -9 $$\n"_s, std::chrono::seconds(60), u"abnormally"_s},
        {"hangs", u"exec sleep 30\n"_s, std::chrono::milliseconds(300), u"did not finish"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        SendmailMailClient client(clock, fakeSendmail(row.tail), row.timeout);
        const Result<QString> status = simple(client, u"b"_s, u"b@x.org"_s, true);
        ASSERT_FALSE(status.ok());
        EXPECT_TRUE(status.error().startsWith(u"Error sending email via sendmail to b@x.org : “"_s))
            << status.error().toStdString();
        EXPECT_TRUE(status.error().contains(row.expected)) << status.error().toStdString();
    }
}

// xdg-email only prepares and sendmail only sends; neither works without its
// program. sendmail is not even started for a draft.
TEST_F(SendmailTest, EachProgramRefusesTheOtherModeAndFailsWhenMissing)
{
    XdgEmailMailClient xdg(script(u"xdg"_s, u"exit 0\n"_s));
    XdgEmailMailClient xdgMissing(dir.filePath(u"no-such-program"_s));
    SendmailMailClient sendmail(clock, fakeSendmail());
    SendmailMailClient sendmailMissing(clock, dir.filePath(u"no-such-sendmail"_s));
    EXPECT_FALSE(simple(xdg, u"b"_s, u"b@x.org"_s, true).ok()) << "xdg-email sending";
    EXPECT_FALSE(simple(xdgMissing, u"b"_s, u"b@x.org"_s, false).ok()) << "xdg-email missing";
    EXPECT_FALSE(simple(sendmail, u"b"_s, u"b@x.org"_s, false).ok()) << "sendmail preparing";
    const Result<QString> missing = simple(sendmailMissing, u"b"_s, u"b@x.org"_s, true);
    ASSERT_FALSE(missing.ok()) << "sendmail missing";
    EXPECT_TRUE(missing.error().contains(u"no-such-sendmail” could not be started: "_s))
        << missing.error().toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(u"stdin"_s)));
}

// --- routing ------------------------------------------------------------------------

class RecordingMailClient final : public SystemMailClient
{
public:
    Result<QString> prepareEmailViaMailApp(const MessageContent &, const QString &email, bool send) override
    {
        calls.append(email + (send ? u" send"_s : u" prepare"_s));
        return calls.last();
    }
    QStringList calls;
};

TEST(RoutingMailClient, DraftsAndSendsGoToTheirOwnClients)
{
    RecordingMailClient prepare;
    RecordingMailClient send;
    RoutingMailClient routing(prepare, send);
    EXPECT_TRUE(routing.prepareEmailViaMailApp(MessageContent(), u"one"_s, false).ok());
    EXPECT_TRUE(routing.prepareEmailViaMailApp(MessageContent(), u"two"_s, true).ok());
    EXPECT_EQ(prepare.calls, QStringList{u"one prepare"_s});
    EXPECT_EQ(send.calls, QStringList{u"two send"_s});
}

} // namespace
