#include "TestFiles.h"
#include "document/MailingLock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace quillcast;
using namespace quillcast::testing;
using namespace Qt::StringLiterals;
using ::testing::HasSubstr;

namespace {

using namespace std::chrono_literals;

// A second writer waits its moment, then refuses naming the holder; once the
// holder lets go the lock is free and its file gone. Two names of one
// mailing share one lock.
TEST(MailingLock, SecondWriterWaitsThenRefusesNamingTheHolder)
{
    QTemporaryDir dir;
    const QString mailing = dir.filePath(u"club.quill"_s);
    ASSERT_TRUE(writeFile(mailing, "m"));
    const QString link = dir.filePath(u"alias.quill"_s);
    ASSERT_TRUE(QFile::link(mailing, link));

    MailingLock first(mailing);
    ASSERT_TRUE(first.acquire(0ms).ok());
    MailingLock second(link);
    QElapsedTimer timer;
    timer.start();
    const Status refused = second.acquire(300ms);
    ASSERT_FALSE(refused.ok());
    EXPECT_GE(timer.elapsed(), 290);
    EXPECT_THAT(refused.error().toStdString(),
                HasSubstr("is being changed by another Quillcast process (pid " + std::to_string(::getpid()) + ")"));

    first.release();
    EXPECT_FALSE(QFileInfo::exists(MailingLock::lockPathFor(mailing)));
    EXPECT_TRUE(second.acquire(0ms).ok());
}

// A holder that ends without letting go (killed, crashed) leaves no stale
// lock behind.
TEST(MailingLock, LockOfAProcessThatDiedIsFree)
{
    QTemporaryDir dir;
    const QString mailing = dir.filePath(u"club.quill"_s);
    ASSERT_TRUE(writeFile(mailing, "m"));
    QProcess holder;
    // The shell takes the lock and becomes the sleeper, so that one process
    // holds it.
    holder.start(u"/bin/bash"_s, {u"-c"_s, u"exec 9>\"$0\" && flock 9 && exec sleep 60"_s,
                                  MailingLock::lockPathFor(mailing)});
    ASSERT_TRUE(holder.waitForStarted());
    // Until the holder has it (probed without taking it).
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const int fd = ::open(QFile::encodeName(MailingLock::lockPathFor(mailing)).constData(), O_RDONLY);
        const bool held = fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) != 0;
        if (fd >= 0)
            ::close(fd);
        if (held)
            break;
        ASSERT_LT(timer.elapsed(), 10000);
        QThread::msleep(10);
    }
    MailingLock lock(mailing);
    EXPECT_FALSE(lock.acquire(0ms).ok());
    holder.kill();
    holder.waitForFinished();
    EXPECT_TRUE(lock.acquire(2s).ok());
}

} // namespace
