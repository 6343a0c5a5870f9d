#include "DatabaseTestData.h"
#include "TestPrinters.h"
#include "database/AttachmentCommands.h"
#include "platform/LXBookmark.h"
#include "RecordingDocumentOpener.h"
#include "RecordingFileRevealer.h"
#include "ScriptedAlertPresenter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace quillcast;
using namespace quillcast::dbtest;
using namespace Qt::StringLiterals;

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content = "data")
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(content);
    return path;
}

QStringList paths(const List &entries)
{
    QStringList out;
    for (const Value &v : entries.items())
        out.append(v.toDict().stringValue(u"path"_s));
    return out;
}

} // namespace

// --- Bookmarks ---------------------------------------------------------------------

TEST(LXBookmark, ResolvesToTheChosenFileAfterASaveAndReopen)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, u"report.pdf"_s);
    const std::optional<QByteArray> bookmark = LXBookmark::bookmarkForURL_RO(path);
    ASSERT_TRUE(bookmark);

    // Stored as plain bytes (the document file keeps them as they are).
    const QByteArray reopened(bookmark->constData(), bookmark->size());
    bool stale = true;
    const auto location = LXBookmark::urlForBookmark(reopened, &stale);
    ASSERT_TRUE(location);
    EXPECT_EQ(location->path, path);
    EXPECT_FALSE(stale);
    EXPECT_EQ(location->access, LXBookmark::Access::ReadOnly);
    EXPECT_TRUE(LXBookmark::startAccessingSecurityScopedResource(*location));
    LXBookmark::stopAccessingSecurityScopedResource(*location);
}

TEST(LXBookmark, AnotherFileAtThePathIsStaleAndNoFileIsNoResolution)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, u"letter.txt"_s);
    const QByteArray bookmark = LXBookmark::bookmarkForURL_RW(path).value_or(QByteArray());
    ASSERT_FALSE(bookmark.isEmpty());

    // Saved the way editors save: a new file renamed over the old one.
    const QString replacement = writeFile(dir, u"letter.new"_s, "new text");
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::rename(replacement, path));
    bool stale = false;
    const auto replaced = LXBookmark::urlForBookmark(bookmark, &stale);
    ASSERT_TRUE(replaced);
    EXPECT_TRUE(stale);
    EXPECT_EQ(replaced->access, LXBookmark::Access::ReadWrite);

    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(LXBookmark::urlForBookmark(bookmark, &stale));
    EXPECT_FALSE(stale);
}

TEST(LXBookmark, StartFailsWhenTheAccessCanNoLongerBeHad)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, u"book"_s);
    const QByteArray bookmark = LXBookmark::bookmarkForURL_RW(path).value_or(QByteArray());
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"book"_s)); // a folder cannot be opened for writing
    const auto location = LXBookmark::urlForBookmark(bookmark, nullptr);
    ASSERT_TRUE(location);
    EXPECT_FALSE(LXBookmark::startAccessingSecurityScopedResource(*location));
    EXPECT_FALSE(LXBookmark::bookmarkForURL_RW(path));
    EXPECT_TRUE(LXBookmark::bookmarkForURL_RO(path));
}

TEST(LXBookmark, RefusesWhatIsNoBookmark)
{
    QTemporaryDir dir;
    const QByteArray good = LXBookmark::bookmarkForURL_RO(writeFile(dir, u"a"_s)).value_or(QByteArray());
    QByteArray hugeLength = good.left(6);
    hugeLength.append("\x7f\xff\xff\xf0", 4);
    const struct { const char *name; QByteArray bytes; } rows[] = {
        {"empty", QByteArray()},
        {"foreign bytes", QByteArray("book\0\0\0\x01", 8)},
        {"truncated", good.left(good.size() - 3)},
        {"trailing bytes", good + "x"},
        {"hostile path length", hugeLength},
    };
    for (const auto &row : rows)
        EXPECT_FALSE(LXBookmark::urlForBookmark(row.bytes, nullptr)) << row.name;
    EXPECT_FALSE(LXBookmark::bookmarkForURL_RO(dir.filePath(u"missing"_s)));
    EXPECT_FALSE(LXBookmark::bookmarkForURL_RO(u""_s));
}

// --- Attachment list -----------------------------------------------------------------

TEST(AttachmentCommands, AddUndoRedoRestoresTheSameEntryAtTheEnd)
{
    QTemporaryDir dir;
    MyDocument doc{SystemClock::instance()};
    setUp(doc);
    AttachmentCommands commands(doc);
    ASSERT_TRUE(commands.addAttachmentPath(writeFile(dir, u"a.pdf"_s)).ok());
    const QString second = writeFile(dir, u"b.pdf"_s);
    ASSERT_TRUE(commands.addAttachmentPath(second).ok());
    const Dict entry = doc.attachmentBookmarks().at(1).toDict();
    EXPECT_EQ(entry.stringValue(u"path"_s), second);
    EXPECT_TRUE(LXBookmark::urlForBookmark(entry.value(u"bookmark"_s).toBytes(), nullptr));
    EXPECT_EQ(doc.undoManager().undoActionName(), u"Add Attachment"_s);

    ASSERT_TRUE(doc.undoManager().undo());
    EXPECT_EQ(doc.attachmentBookmarks().size(), 1);
    doc.updateChangeCount(MyDocument::ChangeKind::Cleared);
    ASSERT_TRUE(doc.undoManager().redo());
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_TRUE(Dict::sameObject(doc.attachmentBookmarks().at(1).toDict(), entry));
    EXPECT_EQ(doc.undoManager().undoActionName(), u"Add Attachment"_s);
}

TEST(AttachmentCommands, UndoOfARemovalPutsTheEntryLast)
{
    MyDocument doc{SystemClock::instance()};
    setUp(doc);
    AttachmentCommands commands(doc);
    for (const QString &p : {u"/a"_s, u"/b"_s, u"/c"_s})
        commands.addTheAttachment(AttachmentCommands::makeEntry(p, QByteArray("token")));

    ASSERT_TRUE(commands.removeAttachmentPath({0, 1}));
    EXPECT_EQ(paths(doc.attachmentBookmarks()), QStringList({u"/a"_s, u"/c"_s}));
    EXPECT_EQ(doc.undoManager().undoActionName(), u"Remove Attachment"_s);
    ASSERT_TRUE(doc.undoManager().undo());
    EXPECT_EQ(paths(doc.attachmentBookmarks()), QStringList({u"/a"_s, u"/c"_s, u"/b"_s}));
    EXPECT_FALSE(commands.removeAttachmentPath({}));
}

// Only a regular file can be sent: a folder or a pipe opens for reading as
// well, but would fail every message (a pipe would hang it).
TEST(AttachmentCommands, OnlyARegularFileThatCanBeReadIsAttached)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder"_s));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(u"pipe"_s)).constData(), 0600), 0);
    const struct
    {
        const char *name;
        QString path;
        QString error; // empty: attached
    } rows[] = {
        {"regular file", writeFile(dir, u"a.pdf"_s), QString()},
        {"missing file", dir.filePath(u"gone.pdf"_s), u"cannot be read"_s},
        {"folder", dir.filePath(u"folder"_s), u"cannot be read: it is a folder"_s},
        {"named pipe", dir.filePath(u"pipe"_s), u"cannot be read: it is a pipe"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        setUp(doc);
        const Status added = AttachmentCommands(doc).addAttachmentPath(row.path);
        EXPECT_EQ(added.ok(), row.error.isEmpty());
        EXPECT_TRUE(row.error.isEmpty() || added.error().contains(row.error)) << added.error().toStdString();
        EXPECT_EQ(doc.attachmentBookmarks().size(), row.error.isEmpty() ? 1 : 0);
        EXPECT_EQ(doc.undoManager().canUndo(), row.error.isEmpty());
    }
}

TEST(AttachmentCommands, RevealShowsTheFileOrTellsTheBookmarkExpired)
{
    QTemporaryDir dir;
    MyDocument doc{SystemClock::instance()};
    ScriptedAlertPresenter presenter;
    doc.setAlertPresenter(&presenter);
    setUp(doc);
    RecordingFileRevealer revealer;
    AttachmentCommands commands(doc, &revealer);
    const QString path = writeFile(dir, u"a.pdf"_s);
    ASSERT_TRUE(commands.addAttachmentPath(path).ok());

    commands.showAttachmentInFinder({0});
    EXPECT_EQ(revealer.revealed, QStringList({path}));
    EXPECT_TRUE(presenter.shown().isEmpty());

    QFile::remove(path);
    commands.showAttachmentInFinder({0});
    EXPECT_EQ(revealer.revealed.size(), 1);
    ASSERT_EQ(presenter.shown().size(), 1);
    EXPECT_EQ(presenter.shown().front().messageText, u"Problem showing the file:\n"_s);
    EXPECT_EQ(presenter.shown().front().informativeText,
              u"It seems the file bookmark is expired.\n Please add again the file to the list"_s);
    EXPECT_EQ(presenter.shown().front().buttons, QStringList({u"OK"_s, u"Cancel"_s}));
}

TEST(AttachmentCommands, StaleBookmarksAreRenewedInPlace)
{
    QTemporaryDir dir;
    MyDocument doc{SystemClock::instance()};
    setUp(doc);
    AttachmentCommands commands(doc);
    const QString path = writeFile(dir, u"a.pdf"_s);
    ASSERT_TRUE(commands.addAttachmentPath(path).ok());
    ASSERT_TRUE(commands.addAttachmentPath(writeFile(dir, u"b.pdf"_s)).ok());
    const Dict entry = doc.attachmentBookmarks().at(0).toDict();
    const QString replacement = writeFile(dir, u"a.tmp"_s);
    QFile::remove(path);
    QFile::rename(replacement, path);
    doc.updateChangeCount(MyDocument::ChangeKind::Cleared);

    EXPECT_EQ(commands.refreshAttachmentBookmarksIfStale(), 1);
    EXPECT_TRUE(Dict::sameObject(doc.attachmentBookmarks().at(0).toDict(), entry));
    bool stale = true;
    EXPECT_TRUE(LXBookmark::urlForBookmark(entry.value(u"bookmark"_s).toBytes(), &stale));
    EXPECT_FALSE(stale);
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_EQ(commands.refreshAttachmentBookmarksIfStale(), 0);
}

TEST(AttachmentCommands, LegacyPreviewAttachmentOpensOrRevealsOnlyWhatExists)
{
    QTemporaryDir dir;
    MyDocument doc{SystemClock::instance()};
    RecordingFileRevealer revealer;
    RecordingDocumentOpener opener;
    AttachmentCommands commands(doc, &revealer, &opener);
    doc.setPreviewFormAttach(dir.filePath(u"missing.quill"_s));
    EXPECT_FALSE(commands.previewAttachRun());
    EXPECT_FALSE(commands.previewAttachShow());
    const QString path = writeFile(dir, u"old.quill"_s);
    doc.setPreviewFormAttach(path);
    EXPECT_TRUE(commands.previewAttachRun());
    EXPECT_TRUE(commands.previewAttachShow());
    EXPECT_EQ(opener.opened, QStringList({path}));
    EXPECT_EQ(revealer.revealed, QStringList({path}));
}
