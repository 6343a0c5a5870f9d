// The command line as separate processes against one mailing: a disk that
// fills up mid-save, writers racing each other, a writer meeting a held
// lock, and files that are not files.

#include "TestFiles.h"
#include "TestApplication.h"
#include "document/DocumentFile.h"
#include "document/MailingLock.h"
#include "document/MyDocument.h"
#include "platform/SystemClock.h"
#include "platform/NullUrlOpener.h"
#include "ScriptedAlertPresenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using ::testing::HasSubstr;

namespace quillcast {
namespace {

using testing::fileContents;

struct Finished
{
    int status = -1;
    QString out;
    QString err;
};

// quillcast-cli in a shell that first applies setup (ulimit and the like).
std::unique_ptr<QProcess> startCli(const QStringList &arguments, const QString &setup = QString())
{
    auto process = std::make_unique<QProcess>();
    process->start(u"/bin/bash"_s,
                   QStringList{u"-c"_s, setup + u"\nexec \"$@\""_s, u"quillcast-cli"_s, QStringLiteral(QUILLCAST_CLI)}
                       + arguments);
    return process;
}

Finished finish(QProcess &process, int timeoutMs = 60000)
{
    Finished done;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        done.err = u"(did not finish in time)"_s;
        return done;
    }
    done.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    done.out = QString::fromUtf8(process.readAllStandardOutput());
    done.err += QString::fromUtf8(process.readAllStandardError());
    return done;
}

Finished runCli(const QStringList &arguments, const QString &setup = QString(), int timeoutMs = 60000)
{
    const auto process = startCli(arguments, setup);
    return finish(*process, timeoutMs);
}

qsizetype recordsIn(const QString &mailing)
{
    MyDocument doc{SystemClock::instance()};
    ScriptedAlertPresenter alerts;
    if (!DocumentFile::readFromFile(doc, mailing, alerts, NullUrlOpener::instance()))
        return -1;
    return doc.addressArray().size();
}

class MailingFileSafety : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testing::application();
        mailing = dir.filePath(u"club.quill"_s);
        ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLCAST_SOURCE_DIR "/examples/sample.quill"), mailing));
        QFile::setPermissions(mailing, QFile::ReadOwner | QFile::WriteOwner);
        original = fileContents(mailing);
    }

    QTemporaryDir dir;
    QString mailing;
    QByteArray original;
};

// The disk fills up during the save (the shell lets no file grow past one
// block, and the signal that would end the program is ignored, so the write
// comes back short as on a full disk): the command fails, says so, and the
// mailing is the file it was. The same for an export over an earlier one.
TEST_F(MailingFileSafety, FullDiskFailsTheCommandAndKeepsTheFiles)
{
    const QString fullDisk = u"trap '' XFSZ; ulimit -f 1"_s;
    const Finished added = runCli({u"add-record"_s, mailing, u"email=z@example.org"_s}, fullDisk);
    EXPECT_EQ(added.status, 1) << added.out.toStdString() << added.err.toStdString();
    EXPECT_THAT(added.err.toStdString(), HasSubstr("could not be saved"));
    EXPECT_EQ(fileContents(mailing), original);

    const QString exported = dir.filePath(u"out.csv"_s);
    ASSERT_TRUE(testing::writeFile(exported, "earlier export"));
    const Finished export_ = runCli({u"export"_s, mailing, exported, u"--format"_s, u"csv"_s},
                                    u"trap '' XFSZ; ulimit -f 0"_s);
    EXPECT_NE(export_.status, 0) << export_.out.toStdString();
    EXPECT_EQ(fileContents(exported), "earlier export");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{u"club.quill"_s, u"out.csv"_s}));
}

// Pairs of writers started together both get their record in: the second
// waits for the first instead of saving over it.
TEST_F(MailingFileSafety, ConcurrentWritersKeepEveryChange)
{
    const qsizetype before = recordsIn(mailing);
    constexpr int rounds = 20;
    for (int round = 0; round < rounds; ++round) {
        const auto first = startCli({u"add-record"_s, mailing, u"email=a%1@example.org"_s.arg(round)});
        const auto second = startCli({u"add-record"_s, mailing, u"email=b%1@example.org"_s.arg(round)});
        const Finished a = finish(*first);
        const Finished b = finish(*second);
        ASSERT_EQ(a.status, 0) << a.err.toStdString();
        ASSERT_EQ(b.status, 0) << b.err.toStdString();
    }
    EXPECT_EQ(recordsIn(mailing), before + 2 * rounds);
}

// A writer that meets a mailing held open elsewhere (a window, a send run)
// waits a moment, then refuses naming the holder and changes nothing;
// commands that only read go on.
TEST_F(MailingFileSafety, HeldMailingRefusesWritersNotReaders)
{
    MailingLock held(mailing);
    ASSERT_TRUE(held.acquire().ok());

    QElapsedTimer timer;
    timer.start();
    const Finished refused = runCli({u"add-record"_s, mailing, u"email=z@example.org"_s});
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err.toStdString(),
                HasSubstr("is being changed by another Quillcast process (pid " + std::to_string(::getpid()) + ")"));
    EXPECT_GE(timer.elapsed(), 1000);
    EXPECT_EQ(fileContents(mailing), original);

    EXPECT_EQ(runCli({u"show"_s, mailing}).status, 0);
    EXPECT_EQ(runCli({u"export"_s, mailing, dir.filePath(u"out.tsv"_s)}).status, 0);
    EXPECT_EQ(runCli({u"preview"_s, mailing}).status, 0);

    held.release();
    EXPECT_EQ(runCli({u"add-record"_s, mailing, u"email=z@example.org"_s}).status, 0);
}

// The environment the running command line was started with, as the system
// shows it while the process waits on a held mailing.
QByteArray environmentWhileWaiting(const QString &mailing, const QStringList &arguments, const QString &setup,
                                   Finished &finished)
{
    MailingLock held(mailing);
    if (!held.acquire().ok())
        return {};
    const auto process = startCli(arguments, setup);
    process->waitForStarted();
    QByteArray environment;
    // The shell execs the command line, which may exec itself once more:
    // wait for the image that waits on the lock.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 900 && process->state() == QProcess::Running) {
        QFile file(u"/proc/%1/environ"_s.arg(process->processId()));
        if (file.open(QIODevice::ReadOnly))
            environment = file.readAll();
        QThread::msleep(50);
    }
    finished = finish(*process);
    return environment;
}

// A large mailing runs the command line with the heap on huge pages, by
// starting it again: the same arguments, limits and answers, done once. A
// small one, or one whose user chose otherwise, runs as started.
TEST_F(MailingFileSafety, LargeMailingsStartTheCommandLineAgainOnHugePages)
{
    const QString body = dir.filePath(u"body.txt"_s);
    ASSERT_TRUE(testing::writeFile(body, QByteArray(9 * 1024 * 1024, 'x')));
    const QString large = dir.filePath(u"large mailing é.quill"_s);
    ASSERT_TRUE(QFile::copy(mailing, large));
    ASSERT_EQ(runCli({u"set"_s, large, u"mailFormBody=@"_s + body}).status, 0);
    const qsizetype before = recordsIn(large);

    Finished refused;
    const QByteArray restarted =
        environmentWhileWaiting(large, {u"add-record"_s, large, u"email=z@example.org"_s}, QString(), refused);
    // Some C libraries end each setting they read with a NUL where it stands.
    const QByteArray joined = QByteArray(restarted).prepend(':').replace('\0', ':');
    EXPECT_TRUE(joined.contains(":GLIBC_TUNABLES=glibc.malloc.hugetlb=1:glibc.malloc.top_pad=67108864:"))
        << restarted.toStdString();
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err.count(u"is being changed by another Quillcast process"_s), 1) << refused.err.toStdString();

    Finished small;
    EXPECT_FALSE(environmentWhileWaiting(mailing, {u"add-record"_s, mailing, u"email=z@example.org"_s}, QString(),
                                         small)
                     .contains("GLIBC_TUNABLES"));
    Finished chosen;
    const QByteArray userChoice = environmentWhileWaiting(large, {u"add-record"_s, large, u"email=z@example.org"_s},
                                                          u"export GLIBC_TUNABLES=glibc.malloc.hugetlb=0"_s, chosen);
    EXPECT_TRUE(userChoice.split('\0').contains("GLIBC_TUNABLES=glibc.malloc.hugetlb=0"));
    EXPECT_FALSE(userChoice.contains("QUILLCAST_HUGE_PAGE_HEAP"));

    const Finished added = runCli({u"add-record"_s, large, u"email=z@example.org"_s});
    EXPECT_EQ(added.status, 0) << added.err.toStdString();
    EXPECT_EQ(recordsIn(large), before + 1);
    const QByteArray saved = fileContents(large);
    const Finished full = runCli({u"add-record"_s, large, u"email=y@example.org"_s}, u"trap '' XFSZ; ulimit -f 1"_s);
    EXPECT_EQ(full.status, 1);
    EXPECT_THAT(full.err.toStdString(), HasSubstr("could not be saved"));
    EXPECT_EQ(fileContents(large), saved);
}

// What is not a regular file is refused at once: no command hangs on a
// pipe or reads an endless device.
TEST_F(MailingFileSafety, PipesAndDevicesAreRefusedAtOnce)
{
    const QString fifo = dir.filePath(u"fifo"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString template_ = dir.filePath(u"t.txt"_s);
    ASSERT_TRUE(testing::writeFile(template_, "Hello"));
    struct Case
    {
        const char *name;
        QStringList arguments;
    };
    const std::vector<Case> cases{
        {"show of a pipe", {u"show"_s, fifo}},
        {"show of an endless device", {u"show"_s, u"/dev/zero"_s}},
        {"merge of a pipe", {u"merge"_s, fifo}},
        {"set of a text from a pipe", {u"set"_s, mailing, u"mailFormBody=@"_s + fifo}},
        {"add-record to a pipe", {u"add-record"_s, fifo, u"email=z@example.org"_s}},
        {"import from a pipe", {u"import"_s, mailing, fifo}},
        {"import from a device", {u"import"_s, mailing, u"/dev/null"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QElapsedTimer timer;
        timer.start();
        const Finished run = runCli(c.arguments, QString(), 20000);
        EXPECT_EQ(run.status, 1) << run.err.toStdString();
        EXPECT_THAT(run.err.toStdString(), HasSubstr("not a regular file"));
        EXPECT_LT(timer.elapsed(), 15000);
    }
    EXPECT_EQ(fileContents(mailing), original);
}

} // namespace
} // namespace quillcast
