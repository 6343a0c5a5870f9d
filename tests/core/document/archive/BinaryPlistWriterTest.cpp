#include "PlistCraft.h"
#include "TestPrinters.h"
#include "document/archive/BinaryPlist.h"
#include "document/archive/BinaryPlistWriter.h"

#include <gtest/gtest.h>

#include <functional>

using namespace quillcast;
using namespace plistcraft;
using namespace Qt::StringLiterals;

namespace {

// Apple's reader takes 1, 2 and 4 byte integers as unsigned and 8 byte ones
// as signed, and ASCII only for text below 0x80: the bytes must be exactly these.
struct EncodingRow
{
    const char *name;
    std::function<void(BinaryPlistWriter &)> add;
    QByteArray expected;
};

void PrintTo(const EncodingRow &row, std::ostream *os)
{
    *os << row.name;
}

class Encoding : public ::testing::TestWithParam<EncodingRow>
{
};

TEST_P(Encoding, WritesTheFormatsBytes)
{
    BinaryPlistWriter w;
    GetParam().add(w);
    const QByteArray file = w.finish(0);
    // One object, right after the header; then a one-byte offset table and the trailer.
    EXPECT_EQ(file.mid(8, file.size() - 8 - 1 - 32).toHex(' '), GetParam().expected.toHex(' '));
    EXPECT_TRUE(BinaryPlist::parse(file).ok());
}

INSTANTIATE_TEST_SUITE_P(
    Objects, Encoding,
    ::testing::Values(
        EncodingRow{"zero", [](BinaryPlistWriter &w) { w.integer(0); }, bytes({0x10, 0x00})},
        EncodingRow{"oneByte", [](BinaryPlistWriter &w) { w.integer(255); }, bytes({0x10, 0xFF})},
        EncodingRow{"twoBytes", [](BinaryPlistWriter &w) { w.integer(256); }, bytes({0x11, 0x01, 0x00})},
        EncodingRow{"fourBytes", [](BinaryPlistWriter &w) { w.integer(65536); }, bytes({0x12, 0x00, 0x01, 0x00, 0x00})},
        EncodingRow{"eightBytes", [](BinaryPlistWriter &w) { w.integer(qint64(1) << 32); },
                    bytes({0x13, 0, 0, 0, 0x01, 0, 0, 0, 0})},
        EncodingRow{"negative", [](BinaryPlistWriter &w) { w.integer(-2); },
                    bytes({0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE})},
        EncodingRow{"real", [](BinaryPlistWriter &w) { w.real(1.5); }, bytes({0x23, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0})},
        EncodingRow{"uid", [](BinaryPlistWriter &w) { w.uid(300); }, bytes({0x81, 0x01, 0x2C})},
        EncodingRow{"ascii", [](BinaryPlistWriter &w) { w.string(u"abc"); }, bytes({0x53, 'a', 'b', 'c'})},
        EncodingRow{"nonAscii", [](BinaryPlistWriter &w) { w.string(u"é"); }, bytes({0x61, 0x00, 0xE9})},
        EncodingRow{"nulGoesUtf16", [](BinaryPlistWriter &w) { w.string(QString(u"a\0"_s)); },
                    bytes({0x62, 0x00, 'a', 0x00, 0x00})},
        EncodingRow{"longCount", [](BinaryPlistWriter &w) { w.data(QByteArray(15, 'x')); },
                    bytes({0x4F, 0x10, 0x0F}) + QByteArray(15, 'x')}));

TEST(BinaryPlistWriter, TrailerMatchesTheFileLength)
{
    BinaryPlistWriter w;
    std::vector<BinaryPlistWriter::Ref> items;
    for (int i = 0; i < 300; ++i)
        items.push_back(w.integer(i));
    const QByteArray file = w.finish(w.array(items));
    const auto be64 = [&](int at) { return file.mid(at, 8).toHex().toULongLong(nullptr, 16); };
    const qsizetype trailer = file.size() - 32;
    const int offsetWidth = file[trailer + 6];
    EXPECT_EQ(file[trailer + 7], 2); // 301 objects need two-byte references
    EXPECT_EQ(be64(trailer + 8), 301u);
    EXPECT_EQ(be64(trailer + 16), 300u);
    EXPECT_EQ(be64(trailer + 24) + 301 * quint64(offsetWidth) + 32, quint64(file.size()));
    EXPECT_EQ(BinaryPlist::parse(file)->root().items().size(), 300u);
}

} // namespace
