#include "TestPrinters.h"
#include "document/DocumentKeys.h"
#include "export/ExportLayouts.h"
#include "export/ExportWriter.h"
#include "export/LXDataExportManager.h"
#include "platform/ManualMainLoop.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <chrono>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Records with values that every layout folds or quotes differently.
List records(int count)
{
    List::Items items;
    for (int i = 0; i < count; ++i) {
        items.emplace_back(Dict{{u"3"_s, Value(u"p%1@example.org"_s.arg(i))},
                                {u"4"_s, Value(u"Name, \"%1\"\tx\ny"_s.arg(i))},
                                {u"5"_s, Value(qint64(i))}});
    }
    return List(std::move(items));
}

List keys()
{
    return List(List::Items{Value(DocumentKeys::makeDbKey(u"3"_s, u"email"_s)),
                            Value(DocumentKeys::makeDbKey(u"4"_s, u"name"_s)),
                            Value(DocumentKeys::makeDbKey(u"5"_s, u"n"_s))});
}

class BackgroundExport : public ::testing::Test
{
protected:
    std::unique_ptr<LXDataExportManager> manager(const List &data, MainLoop *mainLoop)
    {
        auto m = std::make_unique<LXDataExportManager>(data, keys(), nullptr,
                                                       LXDataExportManager::Services{panel, alerts, mainLoop},
                                                       QLocale::c());
        m->addAllToRight();
        return m;
    }

    void finish(LXDataExportManager &m)
    {
        while (m.isWriting()) {
            loop.waitForPending(std::chrono::milliseconds(50));
            loop.runPending();
        }
        loop.runPending();
    }

    // The files in the folder, temporary ones included.
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

    ScriptedFilePanel panel;
    ScriptedAlertPresenter alerts;
    ManualMainLoop loop;
    QTemporaryDir dir;
};

TEST_F(BackgroundExport, WritesEveryLayoutByteForByteAsTheWriteWithinTheCall)
{
    const List data = records(1500);
    for (const ExportLayouts::Layout &layout : ExportLayouts::all()) {
        for (const bool namesRow : {false, true}) {
            const auto configure = [&](LXDataExportManager &m) {
                m.setFileFormatToSave(layout.code);
                m.setCustomFields(layout.code);
                if (layout.code == 0) {
                    m.setField_separator(u"\\t|"_s);
                    m.setEnd_of_record(u"\\n"_s);
                }
                m.setUseFieldNamesAsFirstRow(namesRow);
            };
            const QString within = dir.filePath(u"within-%1-%2.%3"_s.arg(layout.name).arg(namesRow).arg(layout.extension));
            const QString background = dir.filePath(u"bg-%1-%2.%3"_s.arg(layout.name).arg(namesRow).arg(layout.extension));
            auto a = manager(data, nullptr);
            configure(*a);
            ASSERT_TRUE(a->writeToFile(within));

            auto b = manager(data, &loop);
            configure(*b);
            QList<std::pair<qint64, qint64>> progress;
            std::optional<bool> ok;
            QObject::connect(b.get(), &LXDataExportManager::progressChanged,
                             [&](qint64 done, qint64 total) { progress.append({done, total}); });
            QObject::connect(b.get(), &LXDataExportManager::writeFinished,
                             [&](bool written, const QString &) { ok = written; });
            b->startWritingToFile(background);
            EXPECT_EQ(b->phase(), LXDataExportManager::Phase::Writing);
            finish(*b);

            EXPECT_EQ(ok, true) << layout.name.toStdString();
            EXPECT_EQ(b->phase(), LXDataExportManager::Phase::Idle);
            ASSERT_FALSE(progress.isEmpty());
            EXPECT_EQ(progress.last(), std::pair(qint64(1500), qint64(1500)));
            EXPECT_EQ(fileBytes(background), fileBytes(within)) << layout.name.toStdString() << " " << namesRow;
        }
    }
    EXPECT_TRUE(alerts.shown().isEmpty());
}

TEST_F(BackgroundExport, ACancelledWriteLeavesNoFileAndAnOlderFileWhole)
{
    const List data = records(100000);
    for (const bool older : {false, true}) {
        const QString path = dir.filePath(older ? u"older.tsv"_s : u"fresh.tsv"_s);
        if (older) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("kept\n");
        }
        const QStringList before = files();
        auto m = manager(data, &loop);
        std::optional<QString> error;
        QObject::connect(m.get(), &LXDataExportManager::writeFinished,
                         [&](bool, const QString &why) { error = why; });
        // At the first report the worker has just begun writing the file aside.
        QObject::connect(m.get(), &LXDataExportManager::progressChanged, [&](qint64, qint64) { m->cancelWriting(); });
        m->startWritingToFile(path);
        finish(*m);
        m.reset(); // waits for the worker

        EXPECT_EQ(error, ExportWriter::cancelledMessage());
        EXPECT_EQ(files(), before) << "no partial file, no temporary file left";
        EXPECT_EQ(fileBytes(path), older ? QByteArray("kept\n") : QByteArray());
        EXPECT_TRUE(alerts.shown().isEmpty()) << "a cancel is not an error";
    }
}

TEST_F(BackgroundExport, AFailedWriteSaysWhyAndLeavesNothing)
{
    const QString path = dir.filePath(u"gone/list.tsv"_s);
    auto m = manager(records(3), &loop);
    std::optional<bool> ok;
    QObject::connect(m.get(), &LXDataExportManager::writeFinished, [&](bool written, const QString &) { ok = written; });
    m->startWritingToFile(path);
    finish(*m);
    EXPECT_EQ(ok, false);
    ASSERT_EQ(alerts.shown().size(), 1);
    EXPECT_EQ(alerts.shown().first().messageText, u"The export could not be saved"_s);
    EXPECT_FALSE(alerts.shown().first().informativeText.isEmpty());
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(BackgroundExport, TheSavePanelWritesInTheBackgroundWhenAsked)
{
    auto m = manager(records(2), &loop);
    m->setRunsInBackground(true);
    const QString path = dir.filePath(u"list.tsv"_s);
    panel.queueSaveAnswer(path);
    m->DoExportSetting();
    EXPECT_EQ(m->phase(), LXDataExportManager::Phase::Writing);
    finish(*m);
    EXPECT_EQ(fileBytes(path), QByteArray("p0@example.org\tName, \"0\" x y\t0\np1@example.org\tName, \"1\" x y\t1"));
}

// --- A long list, rendered by the writing thread and a helper --------------------

Dict keyOf(const QString &inner, const QString &name)
{
    return Dict{{DocumentKeys::innerKey(), Value(inner)}, {DocumentKeys::publicKey(), Value(name)}};
}

// Records over two key blocks taking turns at random-looking places, a record
// that is no dictionary, an emoji cut in two between the last record of one
// block of rows and the first of the next; first, records whose keys differ
// from their neighbours', with missing and empty values, numbers, quotes,
// line breaks, tabs, commas, text beyond ASCII and a character cut in two at
// the end of a value.
List::Items longList()
{
    const QString cut = QString(QChar(0xD83D)); // the first half of an emoji alone
    List::Items items{
        Value(Dict{{u"3"_s, Value(u"a@x"_s)}, {u"4"_s, Value(u"Ann \"A\", Lee"_s)}}),
        Value(Dict{{u"2"_s, Value(true)}, {u"3"_s, Value(u"b@x"_s)}, {u"4"_s, Value(u"line\r\nbreak\ttab"_s)}}),
        Value(Dict{{u"4"_s, Value(u""_s)}}),
        Value(Dict{{u"1"_s, Value(7)}, {u"3"_s, Value(qint64(42))}, {u"4"_s, Value(u"Zoë 😀, \"x\""_s)}}),
        Value(Dict{{u"3"_s, Value(u"c@x"_s + cut)}, {u"4"_s, Value(cut)}}),
        Value(Dict{}),
    };
    for (qsizetype i = items.size(); i < 20000; ++i) {
        if (i % 7 == 3)
            items.emplace_back(Dict{{u"2"_s, Value(true)}, {u"4"_s, Value(u"only name %1, \"q\""_s.arg(i))}});
        else
            items.emplace_back(Dict{{u"3"_s, Value(u"p%1@example.org"_s.arg(i))}, {u"4"_s, Value(u"N\r\n%1"_s.arg(i))}});
    }
    items[9000] = Value(u"not a record"_s);
    items[4095] = Value(Dict{{u"3"_s, Value(u"x"_s + cut)}});
    items[4096] = Value(Dict{{u"3"_s, Value(QString(QChar(0xDE00)) + u"y"_s)}});
    return items;
}

// The write of a long list gives the bytes of the text rendered in turn,
// encoded in one go, in every layout with and without the names row, and in
// a layout with no delimiters at all (where the two halves of the cut emoji
// meet).
TEST(LongExport, TheHelperThreadsRowsAreTheRowsWrittenInTurn)
{
    const List list(longList());
    ExportDelimiters bare = ExportDelimiters::forFormat(0);
    bare.startOfFile = bare.endOfFile = bare.startOfRecord = bare.endOfRecord = QString();
    bare.fieldOpenTag = bare.fieldCloseTag = bare.fieldSeparator = QString();
    const struct { const char *name; qint32 format; ExportDelimiters delimiters; } rows[] = {
        {"custom", 0, ExportDelimiters::forFormat(0)},  {"tsv", 1, ExportDelimiters::forFormat(1)},
        {"quoted csv", 2, ExportDelimiters::forFormat(2)}, {"html table", 3, ExportDelimiters::forFormat(3)},
        {"html page", 4, ExportDelimiters::forFormat(4)}, {"csv", 5, ExportDelimiters::forFormat(5)},
        {"no delimiters", 0, bare},
    };
    for (const auto &row : rows) {
        for (const bool namesRow : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (namesRow ? " with names" : ""));
            ExportWriter::Job job;
            job.records = list;
            job.keys = List(List::Items{Value(keyOf(u"1"_s, u"#"_s)), Value(keyOf(u"3"_s, u"e\"mail"_s)),
                                        Value(keyOf(u"4"_s, u"name"_s)), Value(keyOf(u"9"_s, u"gone"_s))});
            job.format = row.format;
            job.delimiters = row.delimiters;
            job.namesRow = namesRow;
            qint64 reported = 0;
            job.onProgress = [&](qint64 written, qint64 total) {
                EXPECT_GE(written, reported);
                EXPECT_EQ(total, 20000);
                reported = written;
                return true;
            };
            QBuffer buffer;
            ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
            ASSERT_TRUE(ExportWriter::write(buffer, job).ok());
            EXPECT_EQ(reported, 20000);
            job.onProgress = nullptr;
            QStringEncoder encoder(QStringConverter::Utf8);
            const QByteArray inTurn = encoder.encode(ExportWriter::render(job));
            EXPECT_EQ(buffer.data().size(), inTurn.size());
            EXPECT_TRUE(buffer.data() == inTurn);
        }
    }
}

// Cancelled half-way, or refused by a full disk, the write ends with the
// helper stopped, and says which.
TEST(LongExport, CancelledOrRefusedHalfWayTheWriteEndsAndSaysWhy)
{
    ExportWriter::Job job;
    job.records = List(longList());
    job.keys = List(List::Items{Value(keyOf(u"3"_s, u"email"_s))});
    job.onProgress = [](qint64 written, qint64) { return written < 10000; };
    QBuffer buffer;
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    const Status cancelled = ExportWriter::write(buffer, job);
    ASSERT_FALSE(cancelled.ok());
    EXPECT_EQ(cancelled.error(), ExportWriter::cancelledMessage());

    job.onProgress = nullptr;
    QFile full(u"/dev/full"_s);
    ASSERT_TRUE(full.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const Status refused = ExportWriter::write(full, job);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error(), ExportWriter::cancelledMessage());
}

TEST(ExportLayouts, EveryCodeHasATitleANameAndTheWritersExtension)
{
    QList<qint32> codes;
    for (const ExportLayouts::Layout &layout : ExportLayouts::all()) {
        codes.append(layout.code);
        EXPECT_FALSE(layout.title.isEmpty());
        EXPECT_EQ(ExportLayouts::byName(layout.name.toUpper())->code, layout.code);
    }
    EXPECT_EQ(codes, (QList<qint32>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(ExportLayouts::byCode(4)->extension, u"html"_s);
    EXPECT_EQ(ExportLayouts::byCode(1)->extension, u"tsv"_s);
    EXPECT_EQ(ExportLayouts::byCode(9), std::nullopt);
    EXPECT_EQ(ExportLayouts::byName(u"xml"_s), std::nullopt);
}

} // namespace
