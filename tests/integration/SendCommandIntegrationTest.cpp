// Runs "quillcast-cli send" as a program of its own against failing helper
// programs, folders that cannot be written and a server on 127.0.0.1 that
// answers late, and reads back the log the run saved in the mailing: every
// message handled has exactly one line, and the summary and the exit status
// follow what really happened.

#include "platform/SystemClock.h"
#include "send/RunJournalContents.h"
#include "send/RunJournalFolder.h"
#include "document/LogTimeStamp.h"

#include "GMimeReading.h"
#include "LocalSmtpServer.h"
#include "ParsedMessage.h"
#include "TestApplication.h"
#include "TestFiles.h"
#include "TestPrinters.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <memory>

#include <signal.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

// The send list of the sample mailing, in its order.
const QStringList kRecipients = {u"ada.lovelace@example.org"_s, u"jose.garcia@example.es"_s,
                                 u"wei.chen@example.cn"_s};

std::string joined(const QStringList &lines)
{
    return lines.join(u'\n').toStdString();
}

struct CliRun
{
    int status = -1;
    QString out;
    QString err;
};

// A folder in which no file can be made: read-only by its mode and, where
// the tests run as root (which ignores the mode), immutable as well. The
// folder is made writable again when the object goes.
class UnwritableFolder
{
public:
    explicit UnwritableFolder(const QString &path) : m_path(path)
    {
        QDir().mkpath(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner);
        if (!writable())
            return;
        m_immutable = QProcess::execute(u"chattr"_s, {u"+i"_s, path}) == 0;
    }
    ~UnwritableFolder()
    {
        if (m_immutable)
            QProcess::execute(u"chattr"_s, {u"-i"_s, m_path});
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    UnwritableFolder(const UnwritableFolder &) = delete;
    UnwritableFolder &operator=(const UnwritableFolder &) = delete;

    bool writable() const
    {
        QFile probe(m_path + u"/probe"_s);
        const bool made = probe.open(QIODevice::WriteOnly);
        if (made)
            probe.remove();
        return made;
    }

private:
    QString m_path;
    bool m_immutable = false;
};

class SendCommand : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        testing::application();
        s_server = std::make_unique<testing::LocalSmtpServer>(QStringList{u"--late"_s, u"100"_s});
        s_home = std::make_unique<QTemporaryDir>();
        s_sample = std::make_unique<QTemporaryDir>();
        s_setUp = cli({u"sample"_s, u"--out"_s, s_sample->path()}).status == 0
            && cli({u"connections"_s, u"add"_s, u"--description"_s, u"local"_s, u"--host"_s, u"127.0.0.1"_s,
                    u"--no-auth"_s})
                       .status
                == 0;
    }
    static void TearDownTestSuite()
    {
        s_server.reset();
        s_sample.reset();
        s_home.reset();
    }

    void SetUp() override
    {
        m_started.start();
        ASSERT_TRUE(s_server->error().isEmpty()) << s_server->error().toStdString();
        ASSERT_TRUE(s_setUp) << "the sample mailing or the stored connection could not be made";
    }

    // The program's environment: a home of its own.
    static QProcessEnvironment environment()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"HOME"_s, s_home->path());
        environment.insert(u"XDG_CONFIG_HOME"_s, s_home->filePath(u".config"_s));
        environment.insert(u"XDG_STATE_HOME"_s, s_home->filePath(u".local/state"_s));
        return environment;
    }

    // The program with a home of its own; whenever its standard output has
    // grown, watch is called with all of it so far and the process.
    static CliRun cli(const QStringList &arguments, const std::function<void(const QString &, QProcess &)> &watch = {},
                   int limitMs = 60000)
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QString::fromUtf8(QUILLCAST_CLI), arguments);
        CliRun run;
        if (!process.waitForStarted(30000))
            return run;
        process.closeWriteChannel();
        QElapsedTimer timer;
        timer.start();
        while (process.state() != QProcess::NotRunning && timer.elapsed() < limitMs) {
            if (process.waitForReadyRead(50)) {
                run.out += QString::fromUtf8(process.readAllStandardOutput());
                if (watch)
                    watch(run.out, process);
            }
        }
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(10000);
            run.err = u"<still running after %1 ms>"_s.arg(limitMs);
            return run;
        }
        run.out += QString::fromUtf8(process.readAllStandardOutput());
        run.err += QString::fromUtf8(process.readAllStandardError());
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return run;
    }

    // A copy of the sample mailing: three checked records on the send list.
    QString copyOfSample()
    {
        const QString path = scratch.filePath(u"mailing.quill"_s);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(s_sample->filePath(u"sample.quill"_s), path));
        return path;
    }

    // The lines the last run added to the log, each without its time
    // stamp, which must be one of the time of the test.
    QStringList linesOfTheRun(const QString &mailing) const
    {
        const CliRun shown = cli({u"show"_s, mailing, u"--json"_s});
        const QStringList log = QJsonDocument::fromJson(shown.out.toUtf8())
                                    .object()
                                    .value(u"log"_s)
                                    .toString()
                                    .split(u'\n', Qt::SkipEmptyParts);
        QStringList lines;
        bool inRun = false;
        for (const QString &line : log) {
            const QString text = withoutStamp(line);
            if (text.startsWith(u"Prepare"_s) && text.endsWith(u" \u2026"_s)) {
                inRun = true;
                lines.clear();
            }
            if (inRun)
                lines.append(text);
        }
        return lines;
    }

    QString withoutStamp(const QString &line) const
    {
        const SystemClock &clock = SystemClock::instance();
        const QDateTime now = clock.now().toTimeZone(clock.timeZone());
        // The short time form may or may not show seconds.
        for (qint64 seconds = -(m_started.elapsed() / 1000 + 5); seconds <= 5; ++seconds) {
            const QString stamp = LogTimeStamp::format(now.addSecs(seconds)) + u' ';
            if (line.startsWith(stamp))
                return line.mid(stamp.size());
        }
        return u"NO STAMP: "_s + line;
    }

    // The send runs' journals of the program's home.
    static RunJournalFolder journals() { return RunJournalFolder(s_home->filePath(u".local/state/Quillcast/runs"_s)); }

    // The envelope recipients of the messages the server stored since the
    // call that gave before (the names of the files then).
    static QStringList storedSince(const QStringList &before)
    {
        const QDir folder(s_server->messagesFolder());
        QStringList to;
        for (const QString &name : folder.entryList({u"*.json"_s}, QDir::Files, QDir::Name)) {
            if (before.contains(name))
                continue;
            const QJsonObject message =
                QJsonDocument::fromJson(testing::fileContents(folder.filePath(name))).object();
            for (const QJsonValue &address : message.value(u"rcpt_tos"_s).toArray())
                to.append(address.toString());
        }
        return to;
    }
    static QStringList storedNow()
    {
        return QDir(s_server->messagesFolder()).entryList({u"*.json"_s}, QDir::Files, QDir::Name);
    }

    static QStringList serverOptions(const char *port, int interval = 1, int wait = 10)
    {
        return {u"--smtp-host"_s, u"127.0.0.1"_s, u"--smtp-port"_s, QString::number(s_server->port(port)),
                u"--security"_s, u"plain"_s, u"--interval"_s, QString::number(interval), u"--wait"_s,
                QString::number(wait)};
    }

    QTemporaryDir scratch;
    QElapsedTimer m_started;

    static inline std::unique_ptr<testing::LocalSmtpServer> s_server;
    static inline std::unique_ptr<QTemporaryDir> s_home;
    static inline std::unique_ptr<QTemporaryDir> s_sample;
    static inline bool s_setUp = false;
};

// One line per recipient for every outcome of sendmail and of the drafts
// folder, and failures count as failed. A line that ends in "…" is a prefix;
// "TO" stands for the recipient, "DIR" for the test's folder.
TEST_F(SendCommand, EveryOutcomeOfTheMailSystemIsOneLinePerRecipient)
{
    const QString dir = scratch.path();
    ASSERT_TRUE(testing::writeScript(scratch.filePath(u"sendmail-ok"_s), u"cat > /dev/null\nexit 0\n"_s));
    ASSERT_TRUE(testing::writeScript(scratch.filePath(u"sendmail-full"_s),
                                     u"cat > /dev/null\necho 'queue full' >&2\nexit 75\n"_s));
    const struct
    {
        const char *name;
        QStringList options;
        std::function<bool(const QString &mailing)> arrange; // false: the row cannot run here
        QString line;
        int status;
        QString summary;
    } rows[] = {
        {"sendmail takes every message", {u"--sendmail"_s, u"DIR/sendmail-ok"_s, u"--connection"_s, u"0"_s}, {},
         u"Email sent via sendmail to TO"_s, 0, u"3 accepted by sendmail, 0 failed"_s},
        {"sendmail with a full queue", {u"--sendmail"_s, u"DIR/sendmail-full"_s, u"--connection"_s, u"0"_s}, {},
         u"Error sending email via sendmail to TO : “DIR/sendmail-full” failed with exit status 75: queue full"_s, 1,
         u"0 accepted by sendmail, 3 failed"_s},
        {"drafts written", {u"--prepare"_s, u"--drafts"_s, u"DIR/drafts"_s}, {},
         u"Email to TO: draft written to DIR/drafts/…"_s, 0, u"3 drafts written, 0 failed"_s},
        {"drafts folder that cannot be written", {u"--prepare"_s, u"--drafts"_s, u"DIR/read-only"_s}, {},
         u"Error writing the draft for TO : DIR/read-only/…"_s, 1, u"0 drafts written, 3 failed"_s},
        // The attachment was a file when it was attached; a pipe took its
        // place since. It can still be opened, but not read to its end.
        {"attachment that became a pipe", {u"--prepare"_s, u"--drafts"_s, u"DIR/drafts-pipe"_s},
         [&](const QString &mailing) {
             const QString flyer = scratch.filePath(u"flyer.pdf"_s);
             return testing::writeFile(flyer, "%PDF-1.4")
                 && cli({u"attach"_s, mailing, flyer}).status == 0 && QFile::remove(flyer)
                 && ::mkfifo(QFile::encodeName(flyer).constData(), 0600) == 0;
         },
         u"Error writing the draft for TO : DIR/flyer.pdf cannot be read: it is a pipe, not a regular file"_s, 1,
         u"0 drafts written, 3 failed"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QString mailing = copyOfSample();
        std::unique_ptr<UnwritableFolder> readOnly;
        if (row.options.contains(u"DIR/read-only"_s)) {
            readOnly = std::make_unique<UnwritableFolder>(scratch.filePath(u"read-only"_s));
            if (readOnly->writable()) {
                std::cerr << "No folder can be made unwritable here: row skipped.\n";
                continue;
            }
        }
        if (row.arrange) {
            ASSERT_TRUE(row.arrange(mailing));
        }
        QStringList arguments{u"send"_s, mailing, u"--checked"_s, u"--yes"_s, u"--interval"_s, u"1"_s};
        for (const QString &option : row.options)
            arguments.append(QString(option).replace(u"DIR"_s, dir));
        const CliRun run = cli(arguments);
        EXPECT_EQ(run.status, row.status) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(u"Done. 3 sent."_s)) << run.out.toStdString();
        EXPECT_TRUE(run.out.contains(u"Summary: 0 refused (see the log), "_s + row.summary)) << run.out.toStdString();

        const QStringList lines = linesOfTheRun(mailing);
        ASSERT_EQ(lines.size(), 1 + kRecipients.size()) << joined(lines);
        for (qsizetype i = 0; i < kRecipients.size(); ++i) {
            const QString expected = QString(row.line).replace(u"TO"_s, kRecipients[i]).replace(u"DIR"_s, dir);
            if (expected.endsWith(u'…'))
                EXPECT_TRUE(lines[i + 1].startsWith(expected.chopped(1))) << lines[i + 1].toStdString();
            else
                EXPECT_EQ(lines[i + 1], expected);
        }
    }
    // Nothing is written for a message that fails.
    EXPECT_EQ(QDir(scratch.filePath(u"drafts"_s)).entryList({u"*.eml"_s}, QDir::Files).size(), 3);
    EXPECT_TRUE(QDir(scratch.filePath(u"drafts-pipe"_s)).entryList({u"*.eml"_s}, QDir::Files).isEmpty());
}

// The server takes the messages but answers the end of each only after 100 s.
// --wait 3 gives up on them after about 3 s, with one line for each; the
// recipient the server refuses at once has its own answer.
TEST_F(SendCommand, AnswersThatDoNotComeWithinTheWaitAreGivenUp)
{
    const QString mailing = copyOfSample();
    ASSERT_EQ(cli({u"add-record"_s, mailing, u"email=nobody@reject.test"_s}).status, 0);
    ASSERT_EQ(cli({u"check"_s, mailing, u"all"_s}).status, 0);

    QElapsedTimer sinceWaiting;
    const CliRun run = cli(QStringList{u"send"_s, mailing, u"--checked"_s, u"--yes"_s} + serverOptions("late", 1, 3),
                           [&](const QString &out, QProcess &) {
                               if (!sinceWaiting.isValid() && out.contains(u"Waiting for the server's answers"_s))
                                   sinceWaiting.start();
                           });
    ASSERT_TRUE(sinceWaiting.isValid()) << run.out.toStdString() << run.err.toStdString();
    const qint64 waited = sinceWaiting.elapsed();
    EXPECT_GE(waited, 2500);
    EXPECT_LT(waited, 8000);
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(u"0 accepted by the server, 1 failed, 3 without an answer"_s))
        << run.out.toStdString();

    QStringList lines = linesOfTheRun(mailing);
    ASSERT_EQ(lines.size(), 5) << joined(lines);
    EXPECT_EQ(lines.takeFirst(), u"Prepare and send checked records via 127.0.0.1 \u2026"_s);
    EXPECT_EQ(lines.count(u"no answer from 127.0.0.1 within 3 s: delivery unknown"_s), 3);
    EXPECT_EQ(lines.filter(u"Error sending email via 127.0.0.1 : The server refused the recipient "
                           u"<nobody@reject.test>"_s)
                  .size(),
              1)
        << joined(lines);
}

// The first Ctrl-C stops the run before its next message; the second ends
// the wait for the answer to the message already sent.
TEST_F(SendCommand, SecondCtrlCEndsTheWaitForAnswers)
{
    const QString mailing = copyOfSample();
    int interrupts = 0;
    QElapsedTimer sinceSecond;
    const CliRun run = cli(QStringList{u"send"_s, mailing, u"--checked"_s, u"--yes"_s} + serverOptions("late", 3, 120),
                           [&](const QString &out, QProcess &process) {
                               if (interrupts == 0 && out.contains(u"Preparing email: 1 of 3"_s)) {
                                   ::kill(pid_t(process.processId()), SIGINT);
                                   ++interrupts;
                               } else if (interrupts == 1
                                          && out.contains(u"Waiting for the server's answers to 1 messages"_s)) {
                                   QThread::msleep(500);
                                   ::kill(pid_t(process.processId()), SIGINT);
                                   ++interrupts;
                                   sinceSecond.start();
                               }
                           });
    ASSERT_EQ(interrupts, 2) << run.out.toStdString() << run.err.toStdString();
    EXPECT_LT(sinceSecond.elapsed(), 8000);
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(u"Cancelled at: 2 of 3 (1 sent, 2 unsent)"_s)) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(u"1 without an answer"_s)) << run.out.toStdString();

    const QStringList lines = linesOfTheRun(mailing);
    ASSERT_EQ(lines.size(), 2) << joined(lines);
    EXPECT_TRUE(QRegularExpression(u"^no answer from 127\\.0\\.0\\.1 within [0-3] s: delivery unknown$"_s)
                    .match(lines[1])
                    .hasMatch())
        << lines[1].toStdString();
}

// What a reader sees of a message: the parts in order with their type,
// charset, file name and decoded bytes, and the Subject, From and To.
QStringList outline(const testing::ParsedMessage &message)
{
    QStringList lines{u"Subject: "_s + message.subject, u"From: "_s + message.from.value(0).addr,
                      u"To: "_s + message.toMailboxes().join(u", "_s)};
    for (const testing::ParsedMessage::Part &part : message.parts)
        lines.append(u"%1; charset=%2; filename=%3; %4"_s.arg(part.contentType, part.charset, part.filename,
                                                               QString::fromLatin1(part.payload.toBase64())));
    return lines;
}

// An HTML mailing with two files, prepared as drafts and sent through
// sendmail, arrives as the very message the preview shows: HTML with its
// text alternative and both files, the text file with its charset. Neither
// run changes how the mailing itself sends.
TEST_F(SendCommand, AnHtmlMailingArrivesWholeThroughDraftsAndSendmail)
{
    if (!testing::haveParser())
        GTEST_SKIP() << "python3 is needed to read the messages back";
    const QString mailing = copyOfSample();
    const QString notes = scratch.filePath(u"Notes été.txt"_s);
    ASSERT_TRUE(testing::writeFile(notes, "Crème brûlée à 5 €\n"));
    const QString flyer = scratch.filePath(u"flyer.pdf"_s);
    ASSERT_TRUE(testing::writeFile(flyer, QByteArray("%PDF-1.4\n\x00\xff\xfe", 12)));
    ASSERT_EQ(cli({u"attach"_s, mailing, notes}).status, 0);
    ASSERT_EQ(cli({u"attach"_s, mailing, flyer}).status, 0);
    const CliRun set = cli({u"set"_s, mailing, u"emailKind=1"_s, u"mailFormBodyHtml=<p>Bonjour 😀 <b>_email_</b></p>"_s,
                            u"mailFormBodyHtmlAltText=Bonjour _email_"_s});
    ASSERT_EQ(set.status, 0) << set.err.toStdString();
    const auto saved = [&] {
        const QJsonObject all = QJsonDocument::fromJson(cli({u"show"_s, mailing, u"--json"_s}).out.toUtf8()).object();
        return QStringList{all.value(u"emailKind"_s).toVariant().toString(),
                           all.value(u"useMailServerToSend"_s).toVariant().toString(),
                           all.value(u"selectedIndexConnection"_s).toVariant().toString()};
    };
    const QStringList before = saved();
    ASSERT_EQ(before.value(0), u"1"_s);

    // The preview lists both files and builds the message.
    const QJsonObject json = QJsonDocument::fromJson(cli({u"preview"_s, mailing, u"--json"_s}).out.toUtf8()).object();
    EXPECT_EQ(json.value(u"attachments"_s).toArray().toVariantList(), QVariantList({notes, flyer}));
    const CliRun shown = cli({u"preview"_s, mailing});
    EXPECT_TRUE(shown.out.contains(u"Attachment: "_s + notes + u'\n') && shown.out.contains(u"Attachment: "_s + flyer))
        << shown.out.toStdString();
    const CliRun eml = cli({u"preview"_s, mailing, u"--eml"_s});
    ASSERT_EQ(eml.status, 0) << eml.err.toStdString();
    const std::optional<testing::ParsedMessage> previewed = testing::parseMessage(eml.out.toUtf8());
    ASSERT_TRUE(previewed);
    // Subject, From, To, then mixed, alternative, text, HTML and the two files.
    const QStringList expected = outline(*previewed);
    ASSERT_EQ(expected.size(), 3 + 6) << joined(expected);

    const CliRun prepared = cli({u"send"_s, mailing, u"--all"_s, u"--prepare"_s, u"--yes"_s, u"--drafts"_s,
                                 scratch.filePath(u"hd"_s), u"--interval"_s, u"1"_s});
    EXPECT_EQ(prepared.status, 0) << prepared.err.toStdString();
    EXPECT_TRUE(prepared.out.contains(u"Summary: 0 refused"_s)) << prepared.out.toStdString();
    const QDir drafts(scratch.filePath(u"hd"_s));
    const QStringList draftFiles = drafts.entryList({u"*.eml"_s}, QDir::Files, QDir::Name);
    ASSERT_EQ(draftFiles.size(), 3);
    const std::optional<testing::ParsedMessage> drafted =
        testing::parseMessage(testing::fileContents(drafts.filePath(draftFiles.first())));
    ASSERT_TRUE(drafted);
    EXPECT_EQ(outline(*drafted), expected);
    EXPECT_EQ(drafted->headerValues(u"X-Unsent"_s), QStringList{u"1"_s});
    EXPECT_EQ(previewed->headerCount(u"X-Unsent"_s), 0);
    EXPECT_EQ(saved(), before) << "preparing drafts changed the mailing";

    // sendmail gets each message on its standard input, one file each.
    const QString sent = scratch.filePath(u"sent"_s);
    ASSERT_TRUE(QDir().mkpath(sent));
    ASSERT_TRUE(testing::writeScript(scratch.filePath(u"sendmail-keep"_s), u"cat > \"%1/$$.eml\"\n"_s.arg(sent)));
    const CliRun mailed = cli({u"send"_s, mailing, u"--all"_s, u"--yes"_s, u"--sendmail"_s,
                               scratch.filePath(u"sendmail-keep"_s), u"--interval"_s, u"1"_s});
    EXPECT_EQ(mailed.status, 0) << mailed.err.toStdString();
    const QStringList sentFiles = QDir(sent).entryList({u"*.eml"_s}, QDir::Files);
    ASSERT_EQ(sentFiles.size(), 3);
    bool found = false;
    for (const QString &name : sentFiles) {
        const std::optional<testing::ParsedMessage> delivered =
            testing::parseMessage(testing::fileContents(QDir(sent).filePath(name)));
        ASSERT_TRUE(delivered);
        if (delivered->toMailboxes() != QStringList{kRecipients[0]})
            continue;
        found = true;
        EXPECT_EQ(outline(*delivered), expected);
        EXPECT_EQ(delivered->headerCount(u"X-Unsent"_s), 0);
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(saved(), before) << "sending through sendmail changed the mailing";

    // A server given for one run does not become the mailing's choice.
    const CliRun served = cli(QStringList{u"send"_s, mailing, u"--checked"_s, u"--yes"_s} + serverOptions("clear"));
    EXPECT_EQ(served.status, 0) << served.err.toStdString() << served.out.toStdString();
    EXPECT_EQ(saved(), before) << "sending through a server given for the run changed the mailing";
}

// A message the recipient would see as blank is refused with its line and
// never reaches sendmail; the run says beforehand what is missing.
TEST_F(SendCommand, AnEmptyMessageIsRefusedAndTheRunWarnsFirst)
{
    const QString mailing = copyOfSample();
    ASSERT_EQ(cli({u"set"_s, mailing, u"emailKind=1"_s, u"mailFormBodyHtml=<p> &nbsp; </p>"_s,
                   u"mailFormBodyHtmlAltText="_s, u"mailFormSubject="_s})
                  .status,
              0);
    const QString input = scratch.filePath(u"stdin"_s);
    ASSERT_TRUE(testing::writeScript(scratch.filePath(u"sendmail-keep"_s), u"cat >> \"%1\"\n"_s.arg(input)));
    const CliRun run = cli({u"send"_s, mailing, u"--checked"_s, u"--yes"_s, u"--sendmail"_s,
                            scratch.filePath(u"sendmail-keep"_s), u"--connection"_s, u"0"_s, u"--interval"_s, u"1"_s});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(u"send: warning: The HTML message has no text alternative"_s)) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(u"send: warning: The subject is empty."_s)) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(u"Summary: 3 refused"_s)) << run.out.toStdString();
    EXPECT_FALSE(QFile::exists(input));
    const QStringList lines = linesOfTheRun(mailing);
    ASSERT_EQ(lines.size(), 4) << joined(lines);
    EXPECT_EQ(lines.count(u"EMAIL ERROR: Can't prepare and send an empty message"_s), 3);
}

// The sending program killed (SIGKILL) at each point of its second
// message: while the server holds its MAIL, its RCPT, its final dot, its
// 250 after storing it, and in the pause after it was accepted. The journal
// leaves at most one message in doubt, and the resumed run then sends every
// message the server had not stored, so that each recipient has it once:
// the doubtful one is sent again where the server had not stored it.
TEST_F(SendCommand, KilledAtAnyPointTheResumedRunSendsEachMessageOnce)
{
    const struct
    {
        const char *stage;
        bool serverHasIt; // the second message, when the program dies
    } rows[] = {{"mail", false}, {"rcpt", false}, {"dot", false}, {"reply", true}, {"pause", true}};
    const QString control = s_server->workdir() + u"/stall.json"_s;
    const QString stalled = s_server->workdir() + u"/stalled"_s;

    for (const auto &row : rows) {
        SCOPED_TRACE(row.stage);
        const QString mailing = copyOfSample();
        const QStringList before = storedNow();
        QFile::remove(stalled);
        const bool pause = QString::fromLatin1(row.stage) == u"pause"_s;
        if (!pause) {
            ASSERT_TRUE(testing::writeFile(control, QByteArray(R"({"stage": ")") + row.stage + R"(", "message": 2})"));
        }

        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QString::fromUtf8(QUILLCAST_CLI),
                      QStringList{u"send"_s, mailing, u"--all"_s, u"--yes"_s} + serverOptions("stall"));
        ASSERT_TRUE(process.waitForStarted(30000));
        QElapsedTimer waited;
        waited.start();
        const auto reached = [&] {
            return pause ? storedSince(before).size() == 2 : QFileInfo::exists(stalled);
        };
        while (!reached() && process.state() == QProcess::Running && waited.elapsed() < 60000)
            QThread::msleep(10);
        ASSERT_TRUE(reached()) << QString::fromUtf8(process.readAllStandardError()).toStdString();
        process.kill();
        ASSERT_TRUE(process.waitForFinished(10000));
        QFile::remove(control); // the server lets the held message go

        const std::optional<QString> journal = journals().latestRunOf(mailing);
        ASSERT_TRUE(journal.has_value());
        const Result<RunJournalContents> run = RunJournalContents::read(*journal);
        ASSERT_TRUE(run.ok()) << run.error().toStdString();
        EXPECT_FALSE(run->end().has_value());
        EXPECT_EQ(run->recipients()[0].outcome, RunJournalContents::Outcome::Accepted);
        EXPECT_LE(run->count(RunJournalContents::Outcome::Unknown), 1);
        EXPECT_EQ(run->count(RunJournalContents::Outcome::Accepted) + run->count(RunJournalContents::Outcome::Unknown), 2)
            << "the second message was handed";

        const bool resendUnknown = !row.serverHasIt;
        QStringList resume = {u"send"_s, mailing, u"--resume"_s, u"--yes"_s, u"--report"_s,
                              scratch.filePath(u"results.csv"_s)};
        if (resendUnknown)
            resume.append(u"--resend-unknown"_s);
        const CliRun resumed = cli(resume + serverOptions("clear"));
        EXPECT_EQ(resumed.status, 0) << resumed.out.toStdString() << resumed.err.toStdString();

        QStringList received = storedSince(before);
        received.sort();
        QStringList everyone = kRecipients;
        everyone.sort();
        EXPECT_EQ(received, everyone);
        const QByteArray csv = testing::fileContents(scratch.filePath(u"results.csv"_s));
        EXPECT_EQ(csv.count('\n'), 4) << csv.toStdString();
        EXPECT_TRUE(csv.contains(",wei.chen@example.cn,accepted,,250 Message accepted for delivery,")) << csv.toStdString();
    }
}

// A run answered 250, 451 and 550 (5.1.1): a retry sends to the 451 only,
// and to the 550 as well when asked.
TEST_F(SendCommand, RetryFailedSendsAgainOnlyToTheFailed)
{
    const QString mailing = copyOfSample();
    ASSERT_EQ(cli({u"add-record"_s, mailing, u"email=busy@later.test"_s}).status, 0);
    ASSERT_EQ(cli({u"add-record"_s, mailing, u"email=nobody@reject.test"_s}).status, 0);
    ASSERT_EQ(cli({u"check"_s, mailing, u"all"_s}).status, 0);
    QStringList before = storedNow();
    const CliRun first = cli(QStringList{u"send"_s, mailing, u"--checked"_s, u"--yes"_s} + serverOptions("clear"));
    EXPECT_EQ(first.status, 1);
    EXPECT_EQ(storedSince(before).size(), 3);

    // The retries' lines follow the run's.
    const CliRun retry = cli(QStringList{u"send"_s, mailing, u"--retry-failed"_s, u"--yes"_s} + serverOptions("clear"));
    EXPECT_EQ(retry.status, 1);
    QStringList lines = linesOfTheRun(mailing);
    EXPECT_EQ(lines.filter(u"Error sending email via 127.0.0.1"_s).size(), 3) << joined(lines);
    EXPECT_EQ(lines.filter(u"busy@later.test"_s).size(), 2) << joined(lines);
    EXPECT_EQ(storedSince(before).size(), 3) << "nothing accepted was sent again";

    cli(QStringList{u"send"_s, mailing, u"--retry-failed"_s, u"--include-permanent"_s, u"--yes"_s} +
        serverOptions("clear"));
    lines = linesOfTheRun(mailing);
    EXPECT_EQ(lines.filter(u"Error sending email via 127.0.0.1"_s).size(), 5) << joined(lines);
    EXPECT_EQ(lines.filter(u"nobody@reject.test"_s).size(), 2) << joined(lines);
    EXPECT_EQ(storedSince(before).size(), 3);

    const CliRun report = cli({u"send"_s, mailing, u"--report"_s, scratch.filePath(u"last.csv"_s)});
    EXPECT_EQ(report.status, 0) << report.err.toStdString();
    EXPECT_TRUE(report.out.contains(u"3 accepted, 2 refused, 0 failed, 0 unknown, 0 not sent"_s)) << report.out.toStdString();
    const QByteArray csv = testing::fileContents(scratch.filePath(u"last.csv"_s));
    EXPECT_TRUE(csv.contains(",nobody@reject.test,refused,550,\"5.1.1 <nobody@reject.test>: Recipient address rejected\",")
                || csv.contains(",nobody@reject.test,refused,550,5.1.1 <nobody@reject.test>: Recipient address rejected,"))
        << csv.toStdString();
}

// A login the server refuses (535) stops the run after its first message,
// with a message that says so, instead of failing every recipient.
TEST_F(SendCommand, AnAuthenticationFailureStopsTheRunAfterOneAttempt)
{
    const QString mailing = copyOfSample();
    qputenv("QUILLCAST_TEST_WRONG_PASSWORD", "not-the-password");
    const CliRun run = cli(QStringList{u"send"_s, mailing, u"--all"_s, u"--yes"_s, u"--user"_s, u"quill"_s,
                                       u"--password-env"_s, u"QUILLCAST_TEST_WRONG_PASSWORD"_s, u"--allow-plain-auth"_s}
                           + serverOptions("auth", 2));
    qunsetenv("QUILLCAST_TEST_WRONG_PASSWORD");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains(u"sending stopped: the server refused the account (535"_s)) << run.err.toStdString();
    const QStringList lines = linesOfTheRun(mailing);
    EXPECT_EQ(lines.filter(u"Error sending email via 127.0.0.1"_s).size(), 1) << joined(lines);
    EXPECT_EQ(lines.filter(u"Sending stopped: the server refused the account (535"_s).size(), 1) << joined(lines);
    const Result<RunJournalContents> journal = RunJournalContents::read(*journals().latestRunOf(mailing));
    EXPECT_EQ(journal->end(), RunJournal::End::Stopped);
    EXPECT_EQ(journal->count(RunJournalContents::Outcome::NotAttempted), 2);
}

} // namespace
} // namespace quillcast
