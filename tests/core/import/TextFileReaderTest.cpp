#include "TestPrinters.h"
#include "import/LXSmartStringFileReader.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>


using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

using Reader = LXSmartStringFileReader;

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

// The text in an encoding, made by the system's iconv so that the bytes are
// what another program writes, not what this reader's own encoder would.
std::optional<QByteArray> iconvFromUtf8(const QString &text, const QString &encoding)
{
    QProcess iconv;
    iconv.start(u"iconv"_s, {u"-f"_s, u"UTF-8"_s, u"-t"_s, encoding});
    if (!iconv.waitForStarted())
        return std::nullopt;
    iconv.write(text.toUtf8());
    iconv.closeWriteChannel();
    if (!iconv.waitForFinished() || iconv.exitStatus() != QProcess::NormalExit || iconv.exitCode() != 0)
        return std::nullopt;
    return iconv.readAllStandardOutput();
}

bool haveIconv()
{
    return !QStandardPaths::findExecutable(u"iconv"_s).isEmpty();
}

const QString kUnicodeSample = u"Name,Town\nJosé Müller,Zürich\n李小龙,香港 😀\n"_s;
const QString kLatinSample = u"Name;Town\nFrançoise Lefèvre;Besançon\nJürgen Groß;Köln\n"_s;

// Each encoding's text as iconv writes it, read under its own code and
// found by automatic reading. Spreadsheets on Windows and older Linux
// systems save Windows-1252 or Latin-1: those import with their accented
// names intact.
TEST(Reader, EncodingsWrittenByIconvReadBack)
{
    if (!haveIconv())
        GTEST_SKIP() << "iconv is not installed";
    const struct
    {
        const char *name;
        const char *iconvName;
        qint32 code;
        QString sample;
        bool detected; // automatic reading finds this encoding
    } rows[] = {
        {"utf8", "UTF-8", 1, kUnicodeSample, true},
        {"utf16 with mark", "UTF-16", 10, kUnicodeSample, true},
        {"utf16 big endian", "UTF-16BE", 11, kUnicodeSample, true},
        {"utf16 little endian", "UTF-16LE", 12, kUnicodeSample, true},
        {"utf32 with mark", "UTF-32", 20, kUnicodeSample, true},
        {"utf32 big endian", "UTF-32BE", 21, kUnicodeSample, true},
        {"utf32 little endian", "UTF-32LE", 22, kUnicodeSample, true},
        // Detection takes Mac Roman for Windows-1252: the far more common legacy encoding.
        {"Mac Roman", "MACINTOSH", 30, kLatinSample, false},
        {"ASCII", "ASCII", 50, u"Name\tTown\nAnn Lee\tLeeds\n"_s, true},
        {"Windows-1252 names", "WINDOWS-1252", 0,
         u"Name,Town,Email\nJosé Müller,Zürich,jose@example.com\nFrançoise Lefèvre,Besançon,f@example.fr\n"
         u"Renée Ångström,Malmö,r@example.se\n"_s, true},
        {"Windows-1252 smart quotes and euro", "WINDOWS-1252", 0, u"Note\n“Renée” – costs €5\n"_s, true},
        {"Latin-1 German", "ISO-8859-1", 0, u"Vorname;Nachname;Straße\nJürgen;Groß;Hauptstraße 5\n"_s, true},
        {"Latin-1 one accent", "ISO-8859-1", 0, u"email,name\na@x.com,Bob\nb@x.com,Zoë\nc@x.com,Al\n"_s, true},
    };
    QTemporaryDir dir;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<QByteArray> bytes = iconvFromUtf8(row.sample, QString::fromLatin1(row.iconvName));
        ASSERT_TRUE(bytes.has_value());
        const QString path = writeFile(dir, u"sample.txt"_s, *bytes);
        const Result<QString> fixed = Reader::autoReadFromFile(path, row.code);
        ASSERT_TRUE(fixed.ok()) << fixed.error().toStdString();
        EXPECT_EQ(fixed.value(), row.sample);
        // A Mac Roman file still reads automatically, as the detection names.
        const Result<QString> automatic = Reader::autoReadFromFile(path, Reader::EncodingAutomatic);
        ASSERT_TRUE(automatic.ok()) << automatic.error().toStdString();
        if (row.detected) {
            EXPECT_EQ(automatic.value(), row.sample);
        }
    }
}

class Reading : public ::testing::Test
{
protected:
    QString file(const QByteArray &bytes) { return writeFile(dir, u"f%1.txt"_s.arg(++count), bytes); }
    QTemporaryDir dir;
    int count = 0;
};

// A fixed code never falls back to another encoding, and strict ASCII
// refuses high bytes.
TEST_F(Reading, InvalidBytesFailWithTheDecodingMessage)
{
    const struct { const char *name; QByteArray bytes; qint32 code; } rows[] = {
        {"utf8 of odd length as UTF-16LE", QByteArray("caf\xc3\xa9"), Reader::EncodingUtf16LE},
        {"high byte as strict ASCII", QByteArray("Zo\xeb"), Reader::EncodingAscii},
        {"utf8 Latin-1 byte", QByteArray("Zo\xeb"), 1},
        {"utf8 cut at the end", QByteArray("caf\xc3"), 1},
        {"utf16 odd length", QByteArray("a\0b", 3), 12},
        {"utf16 lone high surrogate", QByteArray("\x00\xd8\x41\x00", 4), 12},
        {"utf16 lone low surrogate", QByteArray("\xdc\x00", 2), 11},
        {"utf32 beyond Unicode", QByteArray("\x00\x00\x11\x00", 4), 22},
        {"utf32 surrogate", QByteArray("\x00\x00\xd8\x00", 4), 21},
        {"utf32 not whole units", QByteArray("a\0\0\0b", 5), 22},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const Result<QString> text = Reader::autoReadFromFile(file(row.bytes), row.code);
        ASSERT_FALSE(text.ok());
        EXPECT_EQ(text.error(), Reader::decodingFailedMessage());
    }
}

TEST_F(Reading, ReadableBytesGiveTheirText)
{
    QByteArray large; // multi-byte characters straddle every slice boundary of the reader
    while (large.size() < (3 << 20))
        large += "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"; // é € 😀
    const struct { const char *name; QByteArray bytes; qint32 code; QString text; } rows[] = {
        {"fixed code reads even UTF-8 as UTF-16", "abcd", Reader::EncodingUtf16LE, u"\u6261\u6463"_s},
        {"undetectable single bytes read as Mac Roman", "\x80\x81\x82\x83", 0, u"ÄÅÇÉ"_s},
        {"UTF-8 mark removed by the decoder", "\xef\xbb\xbfName\n", 0, u"Name\n"_s},
        {"large file across slices", large, 0, QString::fromUtf8(large)},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const Result<QString> text = Reader::autoReadFromFile(file(row.bytes), row.code);
        ASSERT_TRUE(text.ok());
        EXPECT_EQ(text.value(), row.text);
    }
}

// UTF-16 or UTF-32 that ends in the middle of a character: read byte by byte
// it would give records full of NUL characters.
TEST_F(Reading, CutOffUnicodeFilesAreReportedDamaged)
{
    const QByteArray utf16le = QByteArray("N\0a\0m\0e\0,\0T\0o\0w\0n\0\n\0A\0n\0n\0,\0L\0e\0e\0d\0s\0\n\0", 40);
    const struct { const char *name; QByteArray bytes; QString encoding; } cases[] = {
        {"utf16LittleEndianMark", QByteArray("\xff\xfe", 2) + utf16le + 'x', u"UTF-16"_s},
        {"utf16BigEndianMark", QByteArray("\xfe\xff\0a\0b\0c\0\n\0", 11), u"UTF-16"_s},
        {"utf16WithoutMark", utf16le + 'x', u"UTF-16LE"_s},
        {"utf32Mark", QByteArray("\xff\xfe\0\0a\0\0\0b\0\0", 11), u"UTF-32"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const Result<QString> text = Reader::autoReadFromFile(file(c.bytes), Reader::EncodingAutomatic);
        ASSERT_FALSE(text.ok()) << text.value().toStdString();
        EXPECT_EQ(text.error(), Reader::cutShortMessage(c.encoding));
    }
    // Whole, the same text reads.
    const Result<QString> whole = Reader::autoReadFromFile(file(QByteArray("\xff\xfe", 2) + utf16le), 0);
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole.value(), u"Name,Town\nAnn,Leeds\n"_s);
}

TEST_F(Reading, MissingFileGivesTheSystemsReason)
{
    for (qint32 code : {0, 1, 30, 50}) {
        const Result<QString> text = Reader::autoReadFromFile(dir.filePath(u"none.csv"_s), code);
        ASSERT_FALSE(text.ok());
        EXPECT_NE(text.error(), Reader::decodingFailedMessage()) << code;
    }
}

TEST_F(Reading, UnknownCodesMeanAutomatic)
{
    const QString path = file("Fran\xe7oise;Besan\xe7on\n"); // Latin-1, not UTF-8
    const QString expected = Reader::autoReadFromFile(path, 0).value();
    for (qint32 code : {2, 9, 13, 19, 23, 29, 31, 49, 51, 1000, -1, std::numeric_limits<qint32>::min()}) {
        const Result<QString> text = Reader::autoReadFromFile(path, code);
        ASSERT_TRUE(text.ok()) << code;
        EXPECT_EQ(text.value(), expected) << code;
    }
}

// Latin-1 is named as found; text with NUL bytes is not taken for UTF-8.
TEST(ReaderDetection, DecodesAndNamesTheEncodingItFound)
{
    const struct { const char *name; QByteArray bytes; QString text; QString used; } rows[] = {
        {"Latin-1", "Fran\xe7oise;Besan\xe7on\n", u"Françoise;Besançon\n"_s, u"ISO-8859-1"_s},
        {"UTF-16 without a mark", QByteArray("N\0a\0m\0e\0\n\0A\0n\0n\0\n\0", 18), u"Name\nAnn\n"_s, QString()},
    };
    for (auto row : rows) {
        SCOPED_TRACE(row.name);
        QBuffer buffer(&row.bytes);
        ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
        QString used;
        EXPECT_EQ(Reader::detectAndDecode(buffer, &used), std::optional<QString>(row.text));
        if (!row.used.isEmpty()) {
            EXPECT_EQ(used, row.used);
        }
    }
}

TEST(Reader, LineEndsBecomeLineFeeds)
{
    const struct { const char *name; QString input; QString expected; } rows[] = {
        {"mixed", u"a\r\nb\rc\n"_s, u"a\nb\nc\n"_s},
        {"CR CRLF", u"\r\r\n"_s, u"\n\n"_s},
        {"LF CR", u"\n\r"_s, u"\n\n"_s},
        {"trailing CR", u"x\r"_s, u"x\n"_s},
        {"no line ends", u"  plain\t"_s, u"  plain\t"_s},
        {"mark stays", u"\ufeffa\r\n"_s, u"\ufeffa\n"_s},
    };
    for (auto row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Reader::replaceStringWithNewline(row.input), row.expected);
    }
}

} // namespace
