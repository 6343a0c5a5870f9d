#include "FileSizeLimit.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"
#include "TestFiles.h"
#include "TestPrinters.h"
#include "document/ArchivedAddressList.h"
#include "document/DocumentFile.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "document/SendListRebuilder.h"
#include "export/DocumentExport.h"
#include "export/ExportWriter.h"
#include "platform/ManualMainLoop.h"
#include "platform/SystemClock.h"
#include "session/DocumentSession.h"
#include "RecordingUrlOpener.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

// A mailing file as the application saves it: the keys email, Name and
// City, the records given, and a send list naming them all.
QString saveMailing(const QTemporaryDir &dir, const List::Items &records, const QString &name = u"m.quill"_s)
{
    MyDocument doc(SystemClock::instance());
    doc.InitialSetupKeyArrayController();
    doc.keyArray().append(Value(DocumentKeys::makeDbKey(u"4"_s, u"Name"_s)));
    doc.keyArray().append(Value(DocumentKeys::makeDbKey(u"5"_s, u"City"_s)));
    doc.setUpOpenedDocument();
    doc.setAddressArray(List(List::Items(records)));
    doc.filterAddresses();
    doc.sendListRebuilder().rebuildNow();
    const QString path = dir.filePath(name);
    const Status written = DocumentFile::writeToFile(doc, path);
    EXPECT_TRUE(written.ok()) << qPrintable(written.error());
    return path;
}

Dict record(qint64 number, const QString &email, Value name, Value city)
{
    Dict r{{u"1"_s, Value(number)}, {u"2"_s, Value(true)}, {u"3"_s, Value(email)}};
    if (!name.isNull())
        r.set(u"4"_s, name);
    if (!city.isNull())
        r.set(u"5"_s, city);
    return r;
}

// Every value an export folds or writes in its own way, in many records.
List::Items variedRecords(int count)
{
    const QString names[] = {u"Ann"_s,      u"Lee, Ann"_s, u"tab\there"_s, u"say \"hi\""_s, u"two\r\nlines"_s,
                             u"Élodie"_s, u"王芳"_s,     u""_s,          u"A\u00a0B"_s,   u" x ,y "_s};
    const Value cities[] = {Value(u"Zürich"_s), Value(qint64(42)), Value(2.5), Value(false), Value(),
                            Value(u"São Paulo"_s), Value(qint64(-7))};
    List::Items items;
    for (int i = 0; i < count; ++i) {
        Dict r = record(i + 1, u"p%1@example.org"_s.arg(i), Value(names[i % 10]), cities[i % 7]);
        // Keys in another order now and then: another shape of record.
        if (i % 13 == 5)
            r = Dict{{u"5"_s, Value(u"Cork"_s)}, {u"3"_s, Value(u"q%1@x.org"_s.arg(i))}, {u"1"_s, Value(i)}};
        items.emplace_back(r);
    }
    return items;
}

struct Export
{
    qint32 format = ExportDelimiters::FormatCsv;
    bool namesRow = false;
};

ExportWriter::Job jobFor(const Export &e, const List &keys)
{
    ExportWriter::Job job;
    job.keys = keys;
    job.format = e.format;
    job.delimiters = ExportDelimiters::forFormat(e.format);
    if (e.format == ExportDelimiters::FormatCustom) {
        job.delimiters.fieldOpenTag = u"["_s;
        job.delimiters.fieldCloseTag = u"]"_s;
        job.delimiters.endOfRecordAfterLast = true;
    }
    job.namesRow = e.namesRow;
    return job;
}

// The file an export of the mailing writes when the mailing is opened as
// ever, and the one it writes reading the records from the file.
struct BothWays
{
    Status opened = success();
    Status plain = success();
    Status archived = success();
    QByteArray plainBytes;
    QByteArray archivedBytes;
};

BothWays exportBothWays(const QString &mailing, const Export &e, const QTemporaryDir &dir)
{
    BothWays both;
    MyDocument doc(SystemClock::instance());
    ScriptedAlertPresenter alerts;
    RecordingUrlOpener opener;
    both.opened = DocumentFile::readFromFile(doc, mailing, alerts, opener);
    const List keys = DocumentExport::addressExportKeys(doc);
    const QString plainPath = dir.filePath(u"plain.txt"_s);
    const QString archivedPath = dir.filePath(u"archived.txt"_s);
    if (both.opened) {
        ExportWriter::Job job = jobFor(e, keys);
        job.records = doc.addressArray();
        both.plain = ExportWriter::writeFile(plainPath, job);
        both.plainBytes = quillcast::testing::fileContents(plainPath);
    }
    const Result<std::shared_ptr<ArchivedAddressList>> list = ArchivedAddressList::open(mailing, 0);
    EXPECT_TRUE(list.ok()) << qPrintable(list.error());
    if (!list)
        return both;
    ExportWriter::Job job = jobFor(e, keys);
    job.archived = list.value();
    both.archived = ExportWriter::writeFile(archivedPath, job);
    both.archivedBytes = quillcast::testing::fileContents(archivedPath);
    return both;
}

// The values under email, Name and City of every record, as the reader
// gives them; false at the first record it leaves to an open.
bool readAll(const ArchivedAddressList &list, QStringList &values)
{
    ArchivedAddressList::Reader reader(list, {u"3"_s, u"4"_s, u"5"_s});
    for (size_t r = 0; r < list.size(); ++r) {
        if (!reader.seek(r))
            return false;
        for (size_t k = 0; k < 3; ++k) {
            switch (reader.field(k)) {
            case ArchivedAddressList::Reader::Field::Text:
                values.append(reader.text(k));
                break;
            case ArchivedAddressList::Reader::Field::Other:
                values.append(u"(%1)"_s.arg(reader.value(k).toString()));
                break;
            case ArchivedAddressList::Reader::Field::None:
                values.append(u"-"_s);
                break;
            }
        }
    }
    return true;
}

TEST(ArchivedAddressList, ReadsRecordsAsAnOpenDecodesThemAndLeavesTheRest)
{
    QTemporaryDir dir;
    {
        const QString mailing = saveMailing(dir, variedRecords(14));
        const auto list = ArchivedAddressList::open(mailing, 0);
        ASSERT_TRUE(list.ok());
        EXPECT_EQ(list.value()->size(), 14u);
        QStringList values;
        ASSERT_TRUE(readAll(*list.value(), values));
        EXPECT_EQ(values.mid(0, 21),
                  (QStringList{u"p0@example.org"_s, u"Ann"_s, u"Zürich"_s, u"p1@example.org"_s, u"Lee, Ann"_s,
                               u"(42)"_s, u"p2@example.org"_s, u"tab\there"_s, u"(2.5)"_s, u"p3@example.org"_s,
                               u"say \"hi\""_s, u"(0)"_s, u"p4@example.org"_s, u"two\r\nlines"_s, u"-"_s,
                               u"q5@x.org"_s, u"-"_s, u"Cork"_s, u"p6@example.org"_s, u"王芳"_s, u"(-7)"_s}));
        EXPECT_EQ(values.mid(21, 6), (QStringList{u"p7@example.org"_s, u""_s, u"Zürich"_s, u"p8@example.org"_s,
                                                   u"A\u00a0B"_s, u"(42)"_s}));
        ASSERT_TRUE(list.value()->checked().ok());
        EXPECT_TRUE(list.value()->sendListPlain());
    }
    const QDateTime when(QDate(2024, 3, 5), QTime(9, 30), QTimeZone::utc());
    const std::pair<const char *, List::Items> leftToAnOpen[] = {
        {"a date", {Value(record(1, u"a@x"_s, Value(u"A"_s), Value(when)))}},
        {"a list in a record", {Value(record(1, u"a@x"_s, Value(List({Value(1)})), Value()))}},
        // Written as a string object, not to be taken for "no value".
        {"the text $null", {Value(record(1, u"a@x"_s, Value(u"$null"_s), Value()))}},
        {"an item that is no record", {Value(u"not a record"_s)}},
        {"an item that is nothing", {Value()}},
    };
    for (const auto &[name, records] : leftToAnOpen) {
        SCOPED_TRACE(name);
        const auto list = ArchivedAddressList::open(saveMailing(dir, records, QString::fromLatin1(name)), 0);
        ASSERT_TRUE(list.ok());
        QStringList values;
        EXPECT_FALSE(readAll(*list.value(), values));
    }
}

struct MailingRow
{
    const char *name;
    List::Items records;
    bool refused = false; // by an open, for an item that is no dictionary
};

TEST(ArchivedExport, WritesTheBytesOfAnExportOfTheOpenedMailing)
{
    const QDateTime when(QDate(2024, 3, 5), QTime(9, 30), QTimeZone::utc());
    const MailingRow rows[] = {
        {"varied values in one block", variedRecords(40)},
        // Past two blocks of rows: the second thread joins in.
        {"varied values on two threads", variedRecords(9000)},
        {"no records", {}},
        {"an empty record", {Value(Dict()), Value(record(2, u"b@x"_s, Value(u"B"_s), Value()))}},
        // What the reader leaves to an open: the list is read as it reads it.
        {"a date", {Value(record(1, u"a@x"_s, Value(u"A"_s), Value(when)))}},
        {"a list in a record", {Value(record(1, u"a@x"_s, Value(List({Value(1)})), Value(u"C"_s)))}},
        {"the text $null", {Value(record(1, u"a@x"_s, Value(u"$null"_s), Value(u"C"_s)))}},
        {"an item that is no record", {Value(u"not a record"_s), Value(record(2, u"b@x"_s, Value(), Value()))}, true},
        {"an item that is nothing", {Value(record(1, u"a@x"_s, Value(), Value())), Value()}, true},
    };
    const Export layouts[] = {{ExportDelimiters::FormatCustom, true}, {ExportDelimiters::FormatTsv, false},
                              {ExportDelimiters::FormatQuotedCsv, true}, {ExportDelimiters::FormatCsv, false},
                              {ExportDelimiters::FormatCsv, true}, {3, false}, {4, true}};
    for (const MailingRow &row : rows) {
        QTemporaryDir dir;
        const QString mailing = saveMailing(dir, row.records);
        for (const Export &layout : layouts) {
            SCOPED_TRACE(::testing::Message() << row.name << ", layout " << layout.format << ", names row "
                                            << layout.namesRow);
            const BothWays both = exportBothWays(mailing, layout, dir);
            if (row.refused) {
                ASSERT_FALSE(both.opened.ok());
                ASSERT_FALSE(both.archived.ok());
                EXPECT_EQ(both.archived.error(), both.opened.error());
                EXPECT_FALSE(QFile::exists(dir.filePath(u"archived.txt"_s)));
                continue;
            }
            ASSERT_TRUE(both.opened.ok()) << qPrintable(both.opened.error());
            ASSERT_TRUE(both.plain.ok()) << qPrintable(both.plain.error());
            ASSERT_TRUE(both.archived.ok()) << qPrintable(both.archived.error());
            EXPECT_EQ(both.archivedBytes, both.plainBytes);
        }
    }
}

TEST(ArchivedExport, RefusesADamagedFileAsAnOpenDoesAndKeepsTheOldExport)
{
    QTemporaryDir dir;
    const QString mailing = saveMailing(dir, variedRecords(9000));
    // The archive's "$version" (100000), which no reader of records looks
    // at, made an object of no known kind: only the structure check sees it.
    QByteArray bytes = quillcast::testing::fileContents(mailing);
    const QByteArray version("\x12\x00\x01\x86\xa0", 5);
    ASSERT_EQ(bytes.count(version), 1);
    bytes[bytes.indexOf(version)] = '\x70';
    quillcast::testing::writeFile(mailing, bytes);

    quillcast::testing::writeFile(dir.filePath(u"archived.txt"_s), "the export before");
    const BothWays both = exportBothWays(mailing, Export{}, dir);
    ASSERT_FALSE(both.opened.ok());
    ASSERT_FALSE(both.archived.ok());
    EXPECT_EQ(both.archived.error(), both.opened.error());
    EXPECT_TRUE(both.archived.error().startsWith(DocumentFile::damagedPrefix())) << qPrintable(both.archived.error());
    EXPECT_EQ(both.archivedBytes, QByteArray("the export before"));
}

TEST(ArchivedExport, StopsCleanlyWhenCancelledOrTheDiskIsFull)
{
    QTemporaryDir dir;
    const QString mailing = saveMailing(dir, variedRecords(20000));
    MyDocument doc(SystemClock::instance());
    ScriptedAlertPresenter alerts;
    RecordingUrlOpener opener;
    ASSERT_TRUE(DocumentFile::readFromFile(doc, mailing, alerts, opener).ok());
    const QString out = dir.filePath(u"out.csv"_s);
    struct StopRow
    {
        const char *name;
        qint64 stopAt; // records reported written when the export is cancelled; -1: never
        rlim_t sizeLimit; // 0: none
        QString error;
    };
    const StopRow rows[] = {
        {"cancelled at the start", 0, 0, ExportWriter::cancelledMessage()},
        {"cancelled halfway", 10000, 0, ExportWriter::cancelledMessage()},
        {"a full disk", -1, 64 * 1024, u"File too large"_s},
    };
    for (const StopRow &row : rows) {
        SCOPED_TRACE(row.name);
        const Result<std::shared_ptr<ArchivedAddressList>> list = ArchivedAddressList::open(mailing, 0);
        ASSERT_TRUE(list.ok()) << qPrintable(list.error());
        ExportWriter::Job job = jobFor(Export{}, DocumentExport::addressExportKeys(doc));
        job.archived = list.value();
        job.onProgress = [&row](qint64 written, qint64) { return row.stopAt < 0 || written < row.stopAt; };
        std::optional<quillcast::testing::FileSizeLimit> limit;
        if (row.sizeLimit)
            limit.emplace(row.sizeLimit);
        const Status written = ExportWriter::writeFile(out, job);
        limit.reset();
        ASSERT_FALSE(written.ok());
        EXPECT_TRUE(written.error().contains(row.error)) << qPrintable(written.error());
        EXPECT_FALSE(QFile::exists(out));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "nothing left beside the mailing";
    }
}

TEST(ArchivedExport, ASessionOpenedToExportWritesFromTheFile)
{
    QTemporaryDir dir;
    const QString mailing = saveMailing(dir, variedRecords(9000));
    const BothWays both = exportBothWays(mailing, Export{ExportDelimiters::FormatTsv, true}, dir);
    ASSERT_TRUE(both.plain.ok());

    ScriptedAlertPresenter alerts;
    RecordingUrlOpener opener;
    ScriptedFilePanel panel;
    ManualMainLoop loop;
    DocumentSession session(DocumentSession::Services{SystemClock::instance(), alerts, opener});
    ASSERT_TRUE(session.openToExport(mailing, 0).ok());
    EXPECT_EQ(session.document().addressArray().size(), 0) << "the records stay in the file";
    EXPECT_EQ(session.document().keyArray().size(), 5);
    session.setDialogServices({panel, alerts, loop});
    LXDataExportManager &exporter = session.documentExport().exportToTextFile(u"m.quill"_s);
    exporter.addAllToRight();
    exporter.setFileFormatToSave(ExportDelimiters::FormatTsv);
    exporter.setUseFieldNamesAsFirstRow(true);
    const QString out = dir.filePath(u"session.txt"_s);
    ASSERT_TRUE(exporter.writeToFile(out));
    EXPECT_EQ(exporter.recordCount(), 9000);
    EXPECT_EQ(quillcast::testing::fileContents(out), both.plainBytes);
    EXPECT_TRUE(alerts.shown().isEmpty());
}

} // namespace
