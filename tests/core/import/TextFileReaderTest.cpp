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
const QString kAsciiSample = u"Name\tTown\nAnn Lee\tLeeds\n"_s;

struct EncodingRow
{
    const char *name;
    const char *iconvName;
    qint32 code;
    const QString *sample;
    bool detected; // automatic reading finds this encoding
};

void PrintTo(const EncodingRow &row, std::ostream *os)
{
    *os << row.name;
}

class NineEncodings : public ::testing::TestWithParam<EncodingRow>
{
protected:
    void SetUp() override
    {
        if (!haveIconv())
            GTEST_SKIP() << "iconv is not installed";
        ASSERT_TRUE(dir.isValid());
        const std::optional<QByteArray> bytes = iconvFromUtf8(*GetParam().sample, QString::fromLatin1(GetParam().iconvName));
        ASSERT_TRUE(bytes.has_value());
        path = writeFile(dir, u"sample.txt"_s, *bytes);
        ASSERT_FALSE(path.isEmpty());
    }
    QTemporaryDir dir;
    QString path;
};

TEST_P(NineEncodings, FixedCodeDecodesIconvOutput)
{
    const Result<QString> text = Reader::autoReadFromFile(path, GetParam().code);
    ASSERT_TRUE(text.ok()) << text.error().toStdString();
    EXPECT_EQ(text.value(), *GetParam().sample);
}

TEST_P(NineEncodings, AutomaticReadingFindsTheEncoding)
{
    const Result<QString> text = Reader::autoReadFromFile(path, Reader::EncodingAutomatic);
    ASSERT_TRUE(text.ok()) << text.error().toStdString();
    // A Mac Roman file still reads, as the encoding detection names.
    if (GetParam().detected) {
        EXPECT_EQ(text.value(), *GetParam().sample);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reader, NineEncodings,
    ::testing::Values(EncodingRow{"utf8", "UTF-8", 1, &kUnicodeSample, true},
                      EncodingRow{"utf16WithMark", "UTF-16", 10, &kUnicodeSample, true},
                      EncodingRow{"utf16BigEndian", "UTF-16BE", 11, &kUnicodeSample, true},
                      EncodingRow{"utf16LittleEndian", "UTF-16LE", 12, &kUnicodeSample, true},
                      EncodingRow{"utf32WithMark", "UTF-32", 20, &kUnicodeSample, true},
                      EncodingRow{"utf32BigEndian", "UTF-32BE", 21, &kUnicodeSample, true},
                      EncodingRow{"utf32LittleEndian", "UTF-32LE", 22, &kUnicodeSample, true},
                      // Detection takes Mac Roman for Windows-1252: the far more common legacy encoding.
                      EncodingRow{"macRoman", "MACINTOSH", 30, &kLatinSample, false},
                      EncodingRow{"ascii", "ASCII", 50, &kAsciiSample, true}),
    [](const auto &p) { return std::string(p.param.name); });

// Spreadsheets on Windows and older Linux systems save Windows-1252 or
// Latin-1; such a file must import with its accented names intact.
struct LegacyRow
{
    const char *name;
    const char *iconvName;
    QString sample;
};

void PrintTo(const LegacyRow &row, std::ostream *os)
{
    *os << row.name;
}

class LegacyFiles : public ::testing::TestWithParam<LegacyRow>
{
};

TEST_P(LegacyFiles, DetectionGivesTheRightLetters)
{
    if (!haveIconv())
        GTEST_SKIP() << "iconv is not installed";
    QTemporaryDir dir;
    const std::optional<QByteArray> bytes = iconvFromUtf8(GetParam().sample, QString::fromLatin1(GetParam().iconvName));
    ASSERT_TRUE(bytes.has_value());
    const Result<QString> text = Reader::autoReadFromFile(writeFile(dir, u"legacy.csv"_s, *bytes), 0);
    ASSERT_TRUE(text.ok()) << text.error().toStdString();
    EXPECT_EQ(text.value(), GetParam().sample);
}

INSTANTIATE_TEST_SUITE_P(
    Reader, LegacyFiles,
    ::testing::Values(
        LegacyRow{"windows1252Names", "WINDOWS-1252",
                  u"Name,Town,Email\nJosé Müller,Zürich,jose@example.com\nFrançoise Lefèvre,Besançon,f@example.fr\n"
                  u"Renée Ångström,Malmö,r@example.se\n"_s},
        LegacyRow{"windows1252SmartQuotesAndEuro", "WINDOWS-1252", u"Note\n“Renée” – costs €5\n"_s},
        LegacyRow{"latin1German", "ISO-8859-1", u"Vorname;Nachname;Straße\nJürgen;Groß;Hauptstraße 5\n"_s},
        LegacyRow{"latin1OneAccent", "ISO-8859-1", u"email,name\na@x.com,Bob\nb@x.com,Zoë\nc@x.com,Al\n"_s}),
    [](const auto &p) { return std::string(p.param.name); });

class Reading : public ::testing::Test
{
protected:
    QString file(const QByteArray &bytes) { return writeFile(dir, u"f%1.txt"_s.arg(++count), bytes); }
    QTemporaryDir dir;
    int count = 0;
};

TEST_F(Reading, FixedCodeNeverFallsBack)
{
    // Valid UTF-8 of odd length cannot be UTF-16: code 12 fails rather than retrying as UTF-8.
    const Result<QString> text = Reader::autoReadFromFile(file("caf\xc3\xa9"), Reader::EncodingUtf16LE);
    ASSERT_FALSE(text.ok());
    EXPECT_EQ(text.error(), Reader::decodingFailedMessage());
}

TEST_F(Reading, FixedCodeReadsEvenUtf8AsUtf16)
{
    const Result<QString> text = Reader::autoReadFromFile(file("abcd"), Reader::EncodingUtf16LE);
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(text.value(), u"\u6261\u6463"_s);
}

TEST_F(Reading, StrictAsciiRefusesHighBytes)
{
    const Result<QString> text = Reader::autoReadFromFile(file("Zo\xeb"), Reader::EncodingAscii);
    EXPECT_FALSE(text.ok());
}

struct InvalidRow
{
    const char *name;
    QByteArray bytes;
    qint32 code;
};

void PrintTo(const InvalidRow &row, std::ostream *os)
{
    *os << row.name;
}

class InvalidBytes : public Reading, public ::testing::WithParamInterface<InvalidRow>
{
};

TEST_P(InvalidBytes, FailWithTheDecodingMessage)
{
    const Result<QString> text = Reader::autoReadFromFile(file(GetParam().bytes), GetParam().code);
    ASSERT_FALSE(text.ok());
    EXPECT_EQ(text.error(), Reader::decodingFailedMessage());
}

INSTANTIATE_TEST_SUITE_P(
    Reader, InvalidBytes,
    ::testing::Values(InvalidRow{"utf8Latin1Byte", QByteArray("Zo\xeb"), 1},
                      InvalidRow{"utf8CutAtEnd", QByteArray("caf\xc3"), 1},
                      InvalidRow{"utf16OddLength", QByteArray("a\0b", 3), 12},
                      InvalidRow{"utf16LoneHighSurrogate", QByteArray("\x00\xd8\x41\x00", 4), 12},
                      InvalidRow{"utf16LoneLowSurrogate", QByteArray("\xdc\x00", 2), 11},
                      InvalidRow{"utf32BeyondUnicode", QByteArray("\x00\x00\x11\x00", 4), 22},
                      InvalidRow{"utf32Surrogate", QByteArray("\x00\x00\xd8\x00", 4), 21},
                      InvalidRow{"utf32NotWholeUnits", QByteArray("a\0\0\0b", 5), 22}),
    [](const auto &p) { return std::string(p.param.name); });

// UTF-16 or UTF-32 that ends in the middle of a character: read byte by byte
// it would give records full of NUL characters.
TEST_F(Reading, CutOffUnicodeFilesAreReportedDamaged)
{
    const QByteArray utf16le = QByteArray("N\0a\0m\0e\0,\0T\0o\0w\0n\0\n\0A\0n\0n\0,\0L\0e\0e\0d\0s\0\n\0", 40);
    const struct
    {
        const char *name;
        QByteArray bytes;
        QString encoding;
    } cases[] = {
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

TEST_F(Reading, UndetectableSingleByteFileReadsAsMacRoman)
{
    const Result<QString> text = Reader::autoReadFromFile(file("\x80\x81\x82\x83"), 0);
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(text.value(), u"ÄÅÇÉ"_s);
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

TEST_F(Reading, Utf8MarkIsRemovedByTheDecoder)
{
    const Result<QString> text = Reader::autoReadFromFile(file("\xef\xbb\xbfName\n"), 0);
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(text.value(), u"Name\n"_s);
}

TEST_F(Reading, LargeFileAcrossSlicesKeepsSplitCharacters)
{
    // Multi-byte characters straddle every slice boundary of the reader.
    QByteArray bytes;
    const QByteArray piece("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80"); // é € 😀
    while (bytes.size() < (3 << 20))
        bytes += piece;
    const Result<QString> text = Reader::autoReadFromFile(file(bytes), 0);
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(text.value(), QString::fromUtf8(bytes));
}

TEST(ReaderDetection, NamesTheEncodingItFound)
{
    QByteArray bytes("Fran\xe7oise Lef\xe8vre;Besan\xe7on\nJ\xfcrgen Gro\xdf;K\xf6ln\n");
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    QString used;
    const std::optional<QString> text = Reader::detectAndDecode(buffer, &used);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(used, u"ISO-8859-1"_s);
}

TEST(ReaderDetection, TextWithNulBytesIsNotTakenForUtf8)
{
    QByteArray bytes("N\0a\0m\0e\0\n\0A\0n\0n\0\n\0", 18);
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    QString used;
    const std::optional<QString> text = Reader::detectAndDecode(buffer, &used);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(*text, u"Name\nAnn\n"_s);
}

struct NewlineRow
{
    const char *name;
    QString input;
    QString expected;
};

void PrintTo(const NewlineRow &row, std::ostream *os)
{
    *os << row.name;
}

class LineEnds : public ::testing::TestWithParam<NewlineRow>
{
};

TEST_P(LineEnds, BecomeLineFeeds)
{
    QString text = GetParam().input;
    EXPECT_EQ(Reader::replaceStringWithNewline(text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Reader, LineEnds,
                         ::testing::Values(NewlineRow{"mixed", u"a\r\nb\rc\n"_s, u"a\nb\nc\n"_s},
                                           NewlineRow{"crCrLf", u"\r\r\n"_s, u"\n\n"_s},
                                           NewlineRow{"lfCr", u"\n\r"_s, u"\n\n"_s},
                                           NewlineRow{"trailingCr", u"x\r"_s, u"x\n"_s},
                                           NewlineRow{"noLineEnds", u"  plain\t"_s, u"  plain\t"_s},
                                           NewlineRow{"markStays", u"\ufeffa\r\n"_s, u"\ufeffa\n"_s}),
                         [](const auto &p) { return std::string(p.param.name); });

} // namespace
