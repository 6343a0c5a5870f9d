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
struct EncodingRow { const char *name; std::function<void(BinaryPlistWriter &)> add; QByteArray expected; };

TEST(BinaryPlistWriter, WritesTheFormatsBytes)
{
    const EncodingRow rows[] = {
        {"zero", [](BinaryPlistWriter &w) { w.integer(0); }, bytes({0x10, 0x00})},
        {"oneByte", [](BinaryPlistWriter &w) { w.integer(255); }, bytes({0x10, 0xFF})},
        {"twoBytes", [](BinaryPlistWriter &w) { w.integer(256); }, bytes({0x11, 0x01, 0x00})},
        {"fourBytes", [](BinaryPlistWriter &w) { w.integer(65536); }, bytes({0x12, 0x00, 0x01, 0x00, 0x00})},
        {"eightBytes", [](BinaryPlistWriter &w) { w.integer(qint64(1) << 32); },
         bytes({0x13, 0, 0, 0, 0x01, 0, 0, 0, 0})},
        {"negative", [](BinaryPlistWriter &w) { w.integer(-2); },
         bytes({0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE})},
        {"real", [](BinaryPlistWriter &w) { w.real(1.5); }, bytes({0x23, 0x3F, 0xF8, 0, 0, 0, 0, 0, 0})},
        {"uid", [](BinaryPlistWriter &w) { w.uid(300); }, bytes({0x81, 0x01, 0x2C})},
        {"ascii", [](BinaryPlistWriter &w) { w.string(u"abc"); }, bytes({0x53, 'a', 'b', 'c'})},
        {"nonAscii", [](BinaryPlistWriter &w) { w.string(u"é"); }, bytes({0x61, 0x00, 0xE9})},
        {"nulGoesUtf16", [](BinaryPlistWriter &w) { w.string(QString(u"a\0"_s)); },
         bytes({0x62, 0x00, 'a', 0x00, 0x00})},
        {"longCount", [](BinaryPlistWriter &w) { w.data(QByteArray(15, 'x')); },
         bytes({0x4F, 0x10, 0x0F}) + QByteArray(15, 'x')},
    };
    for (const EncodingRow &row : rows) {
        SCOPED_TRACE(row.name);
        BinaryPlistWriter w;
        row.add(w);
        const QByteArray file = w.finish(0);
        // One object, right after the header; then a one-byte offset table and the trailer.
        EXPECT_EQ(file.mid(8, file.size() - 8 - 1 - 32).toHex(' '), row.expected.toHex(' '));
        EXPECT_TRUE(BinaryPlist::parse(file).ok());
    }
}

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
