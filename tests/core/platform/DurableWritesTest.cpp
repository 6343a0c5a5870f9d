#include "AppServicesRig.h"
#include "FileSizeLimit.h"
#include "TestFiles.h"
#include "document/DocumentFile.h"
#include "document/MyDocument.h"
#include "export/ExportWriter.h"
#include "platform/DurableSaveFile.h"
#include "platform/FixedClock.h"
#include "platform/ManualMainLoop.h"
#include "platform/NullUrlOpener.h"
#include "platform/SettingsFileStore.h"
#include "send/DraftFolderMailClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <functional>
#include <sys/stat.h>

using namespace quillcast;
using namespace quillcast::testing;
using namespace Qt::StringLiterals;
using ::testing::HasSubstr;

namespace {

// Every file under a folder with its contents and mode: what a failed save
// must leave exactly as it found it.
QMap<QString, std::pair<QByteArray, uint>> snapshot(const QString &root)
{
    QMap<QString, std::pair<QByteArray, uint>> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat info = {};
        ::stat(QFile::encodeName(path).constData(), &info);
        files.insert(QDir(root).relativeFilePath(path), {fileContents(path), uint(info.st_mode)});
    }
    return files;
}

QString sampleMailing()
{
    return QStringLiteral(QUILLCAST_SOURCE_DIR "/examples/sample.quill");
}

const FixedClock &clock()
{
    static const FixedClock fixed(QDateTime(QDate(2026, 12, 6), QTime(9, 0), QTimeZone::utc()));
    return fixed;
}

// Each way the program writes a file: prepares the old state in the folder,
// then writes something larger than the limit allows. ok is what the writer
// reported.
struct Writer
{
    const char *name;
    std::function<void(const QString &folder)> prepare;
    std::function<bool(const QString &folder)> write;
};

constexpr rlim_t kLimit = 4096;
const QByteArray kLarge(3 * kLimit, 'x');

const std::vector<Writer> &writers()
{
    static const std::vector<Writer> table{
        {"mailing",
         [](const QString &folder) { QFile::copy(sampleMailing(), folder + u"/m.quill"_s); },
         [](const QString &folder) {
             MyDocument doc(clock());
             ScriptedAlertPresenter alerts;
             if (!DocumentFile::readFromFile(doc, folder + u"/m.quill"_s, alerts, NullUrlOpener::instance()))
                 return true; // unreadable: the test fails on the snapshot
             doc.setMailFormBody(QString::fromLatin1(kLarge));
             return DocumentFile::writeToFile(doc, folder + u"/m.quill"_s).ok();
         }},
        {"export",
         [](const QString &folder) { writeFile(folder + u"/out.csv"_s, "earlier export"); },
         [](const QString &folder) {
             ExportWriter::Job job;
             job.records = List(List::Items{Value(Dict{{u"3"_s, Value(QString::fromLatin1(kLarge))}})});
             job.keys = List(List::Items{Value(DocumentKeys::makeDbKey(u"3"_s, u"email"_s))});
             return ExportWriter::writeFile(folder + u"/out.csv"_s, job).ok();
         }},
        {"settings store",
         [](const QString &folder) {
             SettingsFileStore store(folder + u"/settings.ini"_s);
             store.write({{u"kept"_s, Value(u"earlier value"_s)}});
         },
         [](const QString &folder) {
             SettingsFileStore store(folder + u"/settings.ini"_s);
             return store.write({{u"large"_s, Value(QString::fromLatin1(kLarge))}}).ok();
         }},
        {"draft",
         [](const QString &folder) { QDir().mkpath(folder + u"/Drafts"_s); },
         [](const QString &folder) {
             DraftFolderMailClient drafts(folder + u"/Drafts"_s, clock());
             MessageContent content;
             content.from = {QString(), u"me@example.org"_s};
             content.to = {{QString(), u"a@example.org"_s}};
             content.subject = u"Hi"_s;
             content.textBody = QString::fromLatin1(kLarge);
             return drafts.prepareEmailViaMailApp(content, u"a@example.org"_s, false).ok();
         }},
        {"user guide",
         [](const QString &folder) {
             writeFile(folder + u"/guide.pdf"_s, kLarge);
             QDir().mkpath(folder + u"/data/Quillcast User Guide 2"_s);
             writeFile(folder + u"/data/Quillcast User Guide 2/Quillcast User Guide 2.9.pdf"_s, "old guide");
         },
         [](const QString &folder) {
             AppServicesRig rig;
             ManualMainLoop mainLoop;
             LXAppDelegateBase app(rig.services(mainLoop));
             app.setUserDataFolder(folder + u"/data"_s);
             app.setUserGuideSource(folder + u"/guide.pdf"_s);
             app.openUserGuide();
             return QFileInfo::exists(app.installedUserGuidePath());
         }},
    };
    return table;
}

// A write cut short by a full disk is reported, and the folder is as it was:
// the old file whole, no new file, no leftovers.
TEST(ShortWrite, IsReportedAndLeavesTheOldFileWhole)
{
    for (const Writer &writer : writers()) {
        SCOPED_TRACE(writer.name);
        QTemporaryDir outer;
        const QString folder = outer.filePath(u"w"_s);
        ASSERT_TRUE(QDir().mkpath(folder));
        writer.prepare(folder);
        const auto before = snapshot(folder);
        ASSERT_FALSE(before.isEmpty() && QString::fromLatin1(writer.name) != u"draft"_s);

        bool reported = false;
        {
            const FileSizeLimit limit(kLimit);
            reported = !writer.write(folder);
        }
        EXPECT_TRUE(reported) << "a failed write was reported as success";
        EXPECT_EQ(snapshot(folder), before);

        // Without the limit the same write succeeds: the failure was the disk's.
        EXPECT_TRUE(writer.write(folder));
        EXPECT_NE(snapshot(folder), before);
    }
}

mode_t modeOf(const QString &path)
{
    struct stat info = {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode;
}

// A replaced file keeps its mode (a private file stays private), a link
// stays a link to the file that changed, and nothing is left beside them.
TEST(DurableSaveFile, KeepsModeAndLinksAndLeavesNothingBehind)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(u"private.ini"_s);
    ASSERT_TRUE(writeFile(target, "old"));
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0600), 0);
    const QString link = dir.filePath(u"link.ini"_s);
    ASSERT_TRUE(QFile::link(target, link));

    ASSERT_TRUE(DurableSaveFile::writeWhole(link, "new").ok());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(fileContents(target), "new");
    EXPECT_EQ(modeOf(target) & 0777, mode_t(0600));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
              (QStringList{u"link.ini"_s, u"private.ini"_s}));

    const QString fresh = dir.filePath(u"fresh.txt"_s);
    const mode_t mask = ::umask(022);
    ASSERT_TRUE(DurableSaveFile::writeWhole(fresh, "x", 0666).ok());
    ::umask(mask);
    EXPECT_EQ(modeOf(fresh) & 0777, mode_t(0644));
}

TEST(DurableSaveFile, RefusesWhatIsNotAFileAndAbandonedWritesLeaveNothing)
{
    QTemporaryDir dir;
    const Status folder = DurableSaveFile::writeWhole(dir.path(), "x");
    ASSERT_FALSE(folder.ok());
    EXPECT_THAT(folder.error().toStdString(), HasSubstr("not a regular file"));

    {
        DurableSaveFile abandoned(dir.filePath(u"never.txt"_s));
        ASSERT_TRUE(abandoned.open(QIODevice::WriteOnly));
        abandoned.write("half");
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

} // namespace
