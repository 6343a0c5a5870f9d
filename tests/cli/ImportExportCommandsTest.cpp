#include "CapturedMessages.h"
#include "CliRunner.h"
#include "TestPrinters.h"
#include "document/DocumentFile.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/FixedClock.h"
#include "platform/NullUrlOpener.h"
#include "platform/RegularFileReader.h"
#include "ScriptedAlertPresenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>


#include <memory>

using namespace quillcast;
using namespace Qt::StringLiterals;
using ::testing::HasSubstr;
using quillcast::clitest::CliRun;
using quillcast::clitest::fileContents;
using quillcast::clitest::runCli;

namespace {

std::unique_ptr<MyDocument> readMailing(const QString &path)
{
    static const FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3), QTimeZone::utc()));
    auto doc = std::make_unique<MyDocument>(clock);
    ScriptedAlertPresenter alerts;
    EXPECT_TRUE(DocumentFile::readFromFile(*doc, path, alerts, NullUrlOpener::instance()).ok());
    doc->setUpOpenedDocument();
    return doc;
}

QStringList publicKeys(const MyDocument &doc)
{
    QStringList names;
    for (const Value &key : doc.keyArray().items())
        names.append(key.toDict().stringValue(DocumentKeys::publicKey()));
    return names;
}

// One column of the database, record by record.
QStringList column(const MyDocument &doc, const QString &innerKey)
{
    QStringList values;
    for (const Value &record : doc.addressArray().items())
        values.append(record.toDict().stringValue(innerKey));
    return values;
}

class ImportExportCommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        mailing = dir.filePath(u"mailing.quill"_s);
        ASSERT_EQ(runCli({u"new"_s, mailing}).status, 0);
    }

    QString data(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(clitest::writeFile(path, bytes)) << path.toStdString();
        return path;
    }

    CliRun import(QStringList options, const QString &dataPath)
    {
        options.prepend(dataPath);
        options.prepend(mailing);
        options.prepend(u"import"_s);
        return runCli(options);
    }

    QTemporaryDir dir;
    QString mailing;
};

// --- Import ----------------------------------------------------------------------------

// How the file's columns reach the keys: the names in the first row (new
// columns made for unknown names, a nameless column left out, the row not
// imported), the keys in order when the first row holds data, or an explicit
// map that skips the first row on request. Numbers count every row read.
TEST_F(ImportExportCommandsTest, TheMappingTakesTheColumnsToTheKeys)
{
    const struct
    {
        const char *name;
        QByteArray bytes;
        QStringList options;
        std::vector<const char *> printed;
        QStringList keys;
        QStringList added; // the values of the column after email, when there is one
        QStringList numbers;
    } rows[] = {
        {"first row names", "Name,EMAIL,\nAnna,anna@x.org,\nBen,ben@x.org,\n", {},
         {"Mapping (first row):", "column 1 \"Name\" -> Name (new column)", "column 2 \"EMAIL\" -> email",
          "column 3 \"\" -> (not imported)", "Added 2 records to the database"},
         {u"#"_s, u"sel"_s, u"email"_s, u"Name"_s}, {u"Anna"_s, u"Ben"_s}, {u"2"_s, u"3"_s}},
        {"no names: the keys in order", "anna@x.org,Anna\nben@x.org,Ben\n", {},
         {"Mapping (cascade):", "Added 2 records"}, {u"#"_s, u"sel"_s, u"email"_s}, {}, {u"1"_s, u"2"_s}},
        {"explicit map, first row skipped", "id;mail;town\n7;anna@x.org;Köln\n8;ben@x.org;Ulm\n",
         {u"--map"_s, u"-,Email,new"_s, u"--skip-first"_s},
         {"column 3 \"town\" -> town (new column)", "First row not imported"},
         {u"#"_s, u"sel"_s, u"email"_s, u"town"_s}, {u"Köln"_s, u"Ulm"_s}, {u"2"_s, u"3"_s}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(mailing);
        ASSERT_EQ(runCli({u"new"_s, mailing}).status, 0);
        const CliRun run = import(row.options, data(u"people.csv"_s, row.bytes));
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        for (const char *line : row.printed)
            EXPECT_THAT(run.out.toStdString(), HasSubstr(line));

        const auto doc = readMailing(mailing);
        EXPECT_EQ(publicKeys(*doc), row.keys);
        EXPECT_EQ(column(*doc, u"3"_s), (QStringList{u"anna@x.org"_s, u"ben@x.org"_s}));
        if (!row.added.isEmpty()) {
            EXPECT_EQ(column(*doc, u"4"_s), row.added);
        }
        EXPECT_EQ(column(*doc, u"1"_s), row.numbers);
    }
}

TEST_F(ImportExportCommandsTest, ExceptionsImportIntoTheExceptionList)
{
    const QString list = data(u"blocked.txt"_s, "Note\tEmail\nbounced\tspam@x.org\n\tnoreply@x.org\n");
    const CliRun run = import({u"--exceptions"_s}, list);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_THAT(run.out.toStdString(), HasSubstr("Added 2 records to the exception list"));

    const auto doc = readMailing(mailing);
    ASSERT_EQ(doc->exceptArray().size(), 2);
    const Dict first = doc->exceptArray().at(0).toDict();
    EXPECT_EQ(first.stringValue(u"email"_s), u"spam@x.org"_s);
    EXPECT_EQ(first.stringValue(u"note"_s), u"bounced"_s);
    EXPECT_EQ(first.value(u"sel"_s), Value(true));
    EXPECT_EQ(doc->addressArray().size(), 0);

    const QString plain = data(u"plain.txt"_s, "a@x.org\nb@x.org\n");
    ASSERT_EQ(import({u"--exceptions"_s}, plain).status, 0);
    EXPECT_EQ(readMailing(mailing)->exceptArray().at(3).toDict().intValue(u"num"_s), 5);
}

// The rows Python's csv module reads from a file, as JSON.
QJsonArray pythonCsvRows(const QString &path, char delimiter)
{
    QProcess python;
    python.start(QStringLiteral(QUILLCAST_PYTHON3),
                 {u"-c"_s,
                  u"import csv, json, sys\n"
                  "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                  "    print(json.dumps(list(csv.reader(f, delimiter=sys.argv[2]))))\n"_s,
                  path, QString(QLatin1Char(delimiter))});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        ADD_FAILURE() << "python3: " << python.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

QList<QStringList> toRows(const QJsonArray &array)
{
    QList<QStringList> rows;
    for (const QJsonValue &row : array) {
        QStringList fields;
        for (const QJsonValue &field : row.toArray())
            fields.append(field.toString());
        rows.append(fields);
    }
    return rows;
}

// Values that CSV must quote and escape.
const QList<QStringList> kAwkwardValues{
    {u"a@x.org"_s, u"Ann \"Nan\" Lee"_s, u"Smith, Bob; Jr."_s},
    {u"b@x.org"_s, u"\""_s, u"\"\"quoted\"\""_s},
    {u"c@x.org"_s, u" spaced "_s, u"Zoë, 上海 😀"_s},
    {u"d@x.org"_s, QString(), u"ends with \""_s},
};

// Values brought in as tab-separated text, exported, read back by the
// importer into a new mailing as the values that were exported; the quoted
// CSV is read by Python's csv module alike.
TEST_F(ImportExportCommandsTest, AnExportReadsBackAsTheValuesExported)
{
    const struct
    {
        const char *format;
        QList<QStringList> values;
    } rows[] = {
        {"quoted-csv", kAwkwardValues},
        // A record without an address is exported and read back too.
        {"tsv",
         {{u"anna@x.org"_s, u"Anna \"Nan\" Weiß"_s, u"Köln, Altstadt; € 😀"_s},
          {u"ben@x.org"_s, u"Ben"_s, QString()},
          {QString(), u"nobody"_s, u"Ulm"_s}}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.format);
        QFile::remove(mailing);
        ASSERT_EQ(runCli({u"new"_s, mailing}).status, 0);
        QByteArray tsv;
        for (const QStringList &values : row.values)
            tsv += values.join(u'\t').toUtf8() + '\n';
        ASSERT_EQ(import({u"--format"_s, u"tab"_s, u"--map"_s, u"email,new,new"_s}, data(u"in.txt"_s, tsv)).status, 0);
        const QString exported = dir.filePath(u"out.txt"_s);
        const QString format = QString::fromLatin1(row.format);
        const CliRun run = runCli({u"export"_s, mailing, exported, u"--format"_s, format});
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_THAT(run.out.toStdString(),
                    HasSubstr(u"Exported %1 records (email, KEY4, KEY5) as %2"_s.arg(row.values.size()).arg(format)
                                  .toStdString()));
        if (format == u"quoted-csv") {
            EXPECT_EQ(toRows(pythonCsvRows(exported, ',')), row.values);
        }

        const QString copy = dir.filePath(u"copy.quill"_s);
        QFile::remove(copy);
        ASSERT_EQ(runCli({u"new"_s, copy}).status, 0);
        const CliRun back = runCli({u"import"_s, copy, exported, u"--map"_s, u"email,new,new"_s});
        ASSERT_EQ(back.status, 0) << back.err.toStdString();
        const auto reimported = readMailing(copy);
        for (qsizetype k = 0; k < 3; ++k) {
            SCOPED_TRACE(k);
            QStringList expected;
            for (const QStringList &values : row.values)
                expected.append(values[k]);
            EXPECT_EQ(column(*reimported, QString::number(k + 3)), expected);
        }
    }
}

// What Python's csv module writes, as a spreadsheet would (CR LF, quotes
// only where needed and doubled inside quoted values, line ends and the
// delimiter inside quotes), the importer reads as Python wrote it: with the
// comma found by itself, with the semicolon chosen.
TEST_F(ImportExportCommandsTest, PythonCsvWriterOutputImportsUnchanged)
{
    QList<QStringList> rows = kAwkwardValues;
    rows.append({u"e@x.org"_s, u"two\r\nlines"_s, u"12 High St\nFlat 3; \"rear\""_s});
    QJsonArray json;
    for (const QStringList &row : std::as_const(rows))
        json.append(QJsonArray::fromStringList(row));
    for (const char delimiter : {',', ';'}) {
        SCOPED_TRACE(delimiter);
        const QString written = dir.filePath(u"python.csv"_s);
        QProcess python;
        python.start(QStringLiteral(QUILLCAST_PYTHON3),
                     {u"-c"_s,
                      u"import csv, json, sys\n"
                      "with open(sys.argv[1], 'w', newline='', encoding='utf-8') as f:\n"
                      "    csv.writer(f, delimiter=sys.argv[2]).writerows(json.loads(sys.stdin.read()))\n"_s,
                      written, QString(QLatin1Char(delimiter))});
        python.write(QJsonDocument(json).toJson());
        python.closeWriteChannel();
        ASSERT_TRUE(python.waitForFinished(30000) && python.exitCode() == 0)
            << python.readAllStandardError().toStdString();

        QFile::remove(mailing);
        ASSERT_EQ(runCli({u"new"_s, mailing}).status, 0);
        QStringList options{u"--map"_s, u"email,new,new"_s};
        if (delimiter == ';')
            options << u"--format"_s << u"semicolon"_s;
        const CliRun run = import(options, written);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        const auto doc = readMailing(mailing);
        for (qsizetype k = 0; k < 3; ++k) {
            SCOPED_TRACE(k);
            QStringList expected;
            // Line ends inside values arrive as LF, like every line end.
            for (const QStringList &row : std::as_const(rows))
                expected.append(QString(row[k]).replace(u"\r\n"_s, u"\n"_s));
            EXPECT_EQ(column(*doc, QString::number(k + 3)), expected);
        }
    }
}

// Nothing that is not a whole text file is imported: a file over the size
// limit or UTF-16 cut off inside a character is refused (pipes and devices:
// the mailing file safety suite, with a real process that could hang); the
// mailing stays as it was, and nothing else is printed.
TEST_F(ImportExportCommandsTest, WhatCannotBeReadIsRefusedAndSaysWhy)
{
    const QString big = dir.filePath(u"big.csv"_s);
    {
        QFile sparse(big);
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
        ASSERT_TRUE(sparse.resize(RegularFileReader::kTextFileLimit + 1));
    }
    const QString cut = data(u"cut.csv"_s, QByteArray("\xff\xfe" "a\0@\0x\0,\0A\0n\0n\0\n\0b\0@\0x\0", 24) + 'y');
    const QByteArray before = fileContents(mailing);
    const struct
    {
        const char *name;
        QString path;
        const char *reason;
    } cases[] = {
        {"tooLarge", big, "is too large"},
        {"cutOffUtf16", cut, "damaged"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const quillcast::testing::CapturedMessages messages;
        const CliRun run = import({}, c.path);
        EXPECT_EQ(run.status, 1);
        EXPECT_THAT(run.err.toStdString(), HasSubstr(c.reason));
        EXPECT_THAT(run.err.toStdString(), ::testing::Not(HasSubstr("Unknown error")));
        EXPECT_EQ(messages.lines(), QStringList());
        EXPECT_EQ(fileContents(mailing), before);
    }
}

// A spreadsheet saved on a Windows machine: Latin letters in Windows-1252.
TEST_F(ImportExportCommandsTest, AWindowsFileImportsWithItsAccents)
{
    QString content = u"email,name\n"_s;
    const QStringList names{u"Zoë Müller"_s, u"Søren Ærø"_s, u"François Lefèvre"_s, u"Jürgen Groß"_s,
                            u"Amélie Dubois"_s, u"Inès Noël"_s};
    for (qsizetype i = 0; i < names.size() * 4; ++i)
        content += u"p%1@x.org,%2\n"_s.arg(i).arg(names[i % names.size()]);
    const CliRun run = import({u"--map"_s, u"email,new"_s, u"--skip-first"_s}, data(u"legacy.csv"_s, content.toLatin1()));
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(column(*readMailing(mailing), u"4"_s).mid(0, 6), names);
}

// --- Export --------------------------------------------------------------------------------

// The layouts as written byte for byte: chosen keys in the given order with
// the names row, the custom layout's typed escapes turned into characters
// (the record end left out after the last record), the exception list with
// its two keys.
TEST_F(ImportExportCommandsTest, ExportWritesTheChosenLayout)
{
    const struct
    {
        const char *name;
        QStringList importOptions;
        QByteArray imported;
        QStringList exportOptions;
        QString written;
    } rows[] = {
        {"chosen keys as an HTML table", {u"--map"_s, u"email,new"_s}, "a@x.org,Anna\nb@x.org,Ben\n",
         {u"--keys"_s, u"key4,email"_s, u"--names-row"_s, u"--format=html-table"_s},
         u"<table><tr><td>KEY4</td><td>email</td></tr>"
         "<tr><td>Anna</td><td>a@x.org</td></tr>"
         "<tr><td>Ben</td><td>b@x.org</td></tr></table>"_s},
        {"custom layout", {u"--map"_s, u"email,new"_s}, "a@x.org,Anna\nb@x.org,Ben\n",
         {u"--custom-start-of-file"_s, u"BEGIN\\n"_s, u"--custom-start-of-record"_s, u"["_s,
          u"--custom-end-of-record"_s, u"]\\n"_s, u"--custom-field-separator"_s, u"\\t"_s,
          u"--custom-field-open-tag"_s, u"<"_s, u"--custom-field-close-tag"_s, u">"_s, u"--custom-end-of-file"_s,
          u"END"_s, u"--custom-end-of-record-after-last"_s, u"no"_s},
         u"BEGIN\n[<a@x.org>\t<Anna>]\n[<b@x.org>\t<Ben>END"_s},
        {"exceptions", {u"--exceptions"_s}, "spam@x.org,bounced",
         {u"--exceptions"_s, u"--format"_s, u"quoted-csv"_s, u"--names-row"_s},
         u"\"Email\",\"Note\"\n\"spam@x.org\",\"bounced\""_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(mailing);
        ASSERT_EQ(runCli({u"new"_s, mailing}).status, 0);
        ASSERT_EQ(import(row.importOptions, data(u"p.csv"_s, row.imported)).status, 0);
        const QString out = dir.filePath(u"out.txt"_s);
        const CliRun run = runCli(QStringList{u"export"_s, mailing, out} + row.exportOptions);
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_EQ(QString::fromUtf8(fileContents(out)), row.written);
    }
}

// --- The progress line ---------------------------------------------------------------------

TEST_F(ImportExportCommandsTest, ATerminalSeesAProgressLineThatIsClearedAndNothingElseChanges)
{
    QByteArray csv = "email,FirstName\n";
    for (int i = 0; i < 4000; ++i)
        csv += "p" + QByteArray::number(i) + "@x.org,P" + QByteArray::number(i) + "\n";
    const QString path = data(u"many.csv"_s, csv);
    const QString out = dir.filePath(u"out.tsv"_s);
    const FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3), QTimeZone::utc()));
    const auto run = [&](const QStringList &arguments, bool terminal) {
        CliRun result;
        QTextStream outStream(&result.out);
        QTextStream errStream(&result.err);
        result.status = cli::CliApp(outStream, errStream, clock, terminal).run(arguments);
        outStream.flush();
        errStream.flush();
        return result;
    };

    for (const bool terminal : {false, true}) {
        // Each run starts from the empty mailing of SetUp.
        QFile::remove(mailing);
        ASSERT_EQ(runCli({u"new"_s, mailing}).status, 0);
        const CliRun imported = run({u"import"_s, mailing, path}, terminal);
        ASSERT_EQ(imported.status, 0) << imported.err.toStdString();
        EXPECT_THAT(imported.out.toStdString(), HasSubstr("Added 4000 records"));
        const CliRun exported = run({u"export"_s, mailing, out}, terminal);
        ASSERT_EQ(exported.status, 0) << exported.err.toStdString();
        if (!terminal) {
            EXPECT_EQ(imported.err, QString()) << "scripts see no progress";
            EXPECT_EQ(exported.err, QString());
            continue;
        }
        EXPECT_THAT(imported.err.toStdString(), HasSubstr("\rImporting: "));
        EXPECT_THAT(imported.err.toStdString(), HasSubstr("4001 of 4001 rows (100%)"));
        EXPECT_THAT(exported.err.toStdString(), HasSubstr("\rExporting: 4000 of 4000 records (100%)"));
        // The line is blanked at the end, so the shell's prompt starts clean.
        EXPECT_TRUE(imported.err.endsWith(u'\r'));
        EXPECT_EQ(imported.err.split(u'\r').last(), QString());
        EXPECT_EQ(imported.err.trimmed().contains(u'\n'), false);
    }
}

} // namespace
