#include "PlistCraft.h"
#include "TestPrinters.h"
#include "document/archive/BinaryPlist.h"
#include "document/archive/BinaryPlistValidator.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace quillcast;
using namespace plistcraft;
using namespace Qt::StringLiterals;

namespace {

using Kind = BinaryPlist::Kind;

// What a scalar reads as, in one line, so that a table row names both the
// kind and the value it expects.
QString describe(const BinaryPlist::Node &n)
{
    switch (n.kind()) {
    case Kind::Bool:
        return n.toBool() ? u"bool true"_s : u"bool false"_s;
    case Kind::Integer:
        return u"integer "_s + QString::number(n.toInteger());
    case Kind::Real:
        return u"real "_s + QString::number(n.toReal(), 'g', 17);
    case Kind::Date:
        return u"date "_s + QString::number(n.toDateSince2001(), 'g', 17);
    case Kind::Data:
        return u"data "_s + QString::fromLatin1(n.toData().toHex());
    case Kind::String:
        return u"string "_s + n.toString();
    case Kind::Uid:
        return u"uid "_s + QString::number(n.toUid());
    case Kind::Array:
        return u"array of "_s + QString::number(n.items().size());
    case Kind::Dict:
        return u"dict of "_s + QString::number(n.entries().size());
    case Kind::Other:
        break;
    }
    return u"other"_s;
}

struct ScalarRow { const char *name; QByteArray object; QString expected; };

const QByteArray eightZeros(8, '\0');

TEST(BinaryPlistScalars, ReadAsTheValue)
{
    const ScalarRow rows[] = {
        {"boolTrue", bytes({0x09}), u"bool true"_s},
        {"boolFalse", bytes({0x08}), u"bool false"_s},
        {"oneByteIsUnsigned", bytes({0x10, 0xFF}), u"integer 255"_s},
        {"twoBytes", bytes({0x11, 0x01, 0x00}), u"integer 256"_s},
        {"fourBytesAreUnsigned", bytes({0x12, 0xFF, 0xFF, 0xFF, 0xFF}), u"integer 4294967295"_s},
        {"eightBytesAreSigned", bytes({0x13, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}),
         u"integer -2"_s},
        {"sixteenBytesWithZeroHighHalf", bytes({0x14}) + eightZeros + bytes({0, 0, 0, 0, 0, 0, 0x01, 0x2C}),
         u"integer 300"_s},
        {"sixteenBytesBeyond64BitsAreRefused", bytes({0x14, 0, 0, 0, 0, 0, 0, 0, 0x01}) + eightZeros,
         u"other"_s},
        {"float32", bytes({0x22, 0x3F, 0xC0, 0x00, 0x00}), u"real 1.5"_s},
        {"float64", bytes({0x23, 0xBF, 0xE0, 0, 0, 0, 0, 0, 0}), u"real -0.5"_s},
        {"dateKeepsFractions", bytes({0x33, 0x3F, 0x50, 0x62, 0x4D, 0xD2, 0xF1, 0xA9, 0xFC}),
         u"date 0.001"_s},
        {"data", bytes({0x42, 0x00, 0xFF}), u"data 00ff"_s},
        {"emptyData", bytes({0x40}), u"data "_s},
        {"ascii", bytes({0x53, 'a', 'b', 'c'}), u"string abc"_s},
        {"longAsciiCountsAfterTheMarker", bytes({0x5F, 0x10, 0x10}) + QByteArray(16, 'q'),
         u"string "_s + QString(16, u'q')},
        {"utf16BigEndian", bytes({0x62, 0x00, 0xE9, 0x20, 0xAC}), u"string é€"_s},
        {"utf8InTheOneByteForm", bytes({0x53, 'K', 0xC3, 0xB6}), u"string Kö"_s},
        {"shortAsciiAfterLongerTexts", bytes({0x51, 'z'}), u"string z"_s},
        {"utf16KeepsNul", bytes({0x62, 0x00, 'a', 0x00, 0x00}), u"string "_s + QString(u"a\0"_s)},
        {"utf16SurrogatePair", bytes({0x62, 0xD8, 0x3D, 0xDE, 0x00}), u"string \U0001F600"_s},
        {"uidOneByte", bytes({0x80, 0x07}), u"uid 7"_s},
        {"uidFourBytes", bytes({0x83, 0xFF, 0xFF, 0xFF, 0xFF}), u"uid 4294967295"_s},
        {"uidEightBytes", bytes({0x87, 0, 0, 0, 0x01, 0, 0, 0, 0}), u"uid 4294967296"_s},
    };
    QString reused; // one string read into row after row, as a mailing's values are
    for (const ScalarRow &row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray file = rawPlist({row.object});
        const Result<BinaryPlist> plist = BinaryPlist::parse(file);
        ASSERT_TRUE(plist.ok()) << plist.error().toStdString();
        EXPECT_EQ(describe(plist->root()), row.expected);
        const bool isString = plist->root().kind() == BinaryPlist::Kind::String;
        EXPECT_EQ(plist->root().readString(reused), isString);
        EXPECT_EQ(reused, plist->root().toString());
    }
}

// A dictionary whose keys come in both string encodings and once twice.
TEST(BinaryPlistDictionary, FindsKeysOfEitherEncodingAndTheFirstOfTwins)
{
    const QByteArray file = rawPlist({bytes({0xD3, 1, 2, 1, 3, 4, 5}), // {k: 1, é: 2, k: 3}
                                      bytes({0x51, 'k'}), bytes({0x61, 0x00, 0xE9}), bytes({0x10, 1}),
                                      bytes({0x10, 2}), bytes({0x10, 3})});
    const Result<BinaryPlist> plist = BinaryPlist::parse(file);
    ASSERT_TRUE(plist.ok()) << plist.error().toStdString();
    const BinaryPlist::Node d = plist->root();
    EXPECT_EQ(d.value("k").toInteger(), 1);
    EXPECT_EQ(d.value("\xC3\xA9").toInteger(), 2);
    EXPECT_TRUE(d.value("missing").isNull());
    EXPECT_TRUE(d.value("").isNull());
    QStringList seen;
    for (const auto &[key, value] : d.entries())
        seen << key + u'=' + QString::number(value.toInteger());
    EXPECT_EQ(seen, QStringList({u"k=1"_s, u"é=2"_s, u"k=3"_s}));

    // Several keys in one pass find what each alone finds.
    static const char *const names[] = {"missing", "\xC3\xA9", "k", ""};
    BinaryPlist::Node found[4];
    d.values(names, found);
    EXPECT_TRUE(found[0].isNull());
    EXPECT_EQ(found[1].toInteger(), 2);
    EXPECT_EQ(found[2].toInteger(), 1);
    EXPECT_TRUE(found[3].isNull());
}

TEST(BinaryPlistArray, ReadsItemsByIndexAndNothingPastTheEnd)
{
    const QByteArray file = rawPlist({bytes({0xA3, 1, 2, 1}), bytes({0x51, 'a'}), bytes({0x10, 9})});
    const Result<BinaryPlist> plist = BinaryPlist::parse(file);
    ASSERT_TRUE(plist.ok()) << plist.error().toStdString();
    const BinaryPlist::Items items = plist->root().items();
    QStringList seen;
    for (const BinaryPlist::Node &n : items)
        seen << describe(n);
    EXPECT_EQ(seen, QStringList({u"string a"_s, u"integer 9"_s, u"string a"_s}));
    EXPECT_TRUE(items[3].isNull());
    EXPECT_TRUE(plist->root().value("a").isNull()); // an array has no keys
    EXPECT_TRUE(items[0].items().empty()); // a string has no items
}

// Nodes point into the BinaryPlist's own copy of the file, which moves with it.
TEST(BinaryPlistLifetime, NodesOutliveTheCallersBytesAndMoves)
{
    QByteArray file = rawPlist({bytes({0xA1, 1}), bytes({0x53, 'a', 'b', 'c'})});
    Result<BinaryPlist> parsed = BinaryPlist::parse(file);
    ASSERT_TRUE(parsed.ok()) << parsed.error().toStdString();
    const BinaryPlist::Node item = parsed->root().items()[0];
    file.fill('\0');
    const BinaryPlist moved = std::move(parsed.value());
    EXPECT_EQ(item.toString(), u"abc"_s);
}

// libplist, an independent encoder, as the oracle for a mix of every kind.
TEST(BinaryPlistOracle, ReadsWhatLibplistWrites)
{
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "text", plist_new_string("Grüße, \xF0\x9F\x98\x80"));
    plist_dict_set_item(root, "big", plist_new_uint(quint64(1) << 40));
    plist_dict_set_item(root, "neg", plist_new_uint(quint64(-7)));
    plist_dict_set_item(root, "real", plist_new_real(2.25));
    plist_dict_set_item(root, "yes", plist_new_bool(1));
    plist_dict_set_item(root, "blob", plist_new_data("\x01\x02\x03", 3));
    plist_dict_set_item(root, "when", plist_new_date(86400, 250000));
    plist_t list = plist_new_array();
    for (int i = 0; i < 20; ++i)
        plist_array_append_item(list, plist_new_uid(quint64(i) * 1000));
    plist_dict_set_item(root, "uids", list);
    char *bin = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bin, &length);
    const QByteArray file(bin, qsizetype(length));
    plist_to_bin_free(bin);
    plist_free(root);

    const Result<BinaryPlist> plist = BinaryPlist::parse(file);
    ASSERT_TRUE(plist.ok()) << plist.error().toStdString();
    const BinaryPlist::Node d = plist->root();
    EXPECT_EQ(d.value("text").toString(), u"Grüße, \U0001F600"_s);
    EXPECT_EQ(d.value("big").toInteger(), qint64(1) << 40);
    EXPECT_EQ(d.value("neg").toInteger(), -7);
    EXPECT_EQ(d.value("real").toReal(), 2.25);
    EXPECT_TRUE(d.value("yes").toBool());
    EXPECT_EQ(d.value("blob").toData(), QByteArray("\x01\x02\x03"));
    EXPECT_EQ(d.value("when").toDateSince2001(), 86400.25);
    EXPECT_EQ(d.value("uids").items().size(), 20u);
    EXPECT_EQ(d.value("uids").items()[19].toUid(), 19000u);
}

// A list shared by every item of the root, itself m references to one text of
// length l (a number when l is -1): what the shared list expands to is counted in full at every
// reference, for lists small and large, so the file passes exactly while the
// whole tree stays within one node per byte and four bytes of text per byte.
TEST(BinaryPlistValidator, SharedListsCountInFullAtEveryReference)
{
    struct Row { const char *name; int m; int l; };
    const Row rows[] = {
        {"many items, numbers", 16382, -1},
        {"one more item", 16383, -1},
        {"many items, a short text", 16382, 1},
        {"one item, a text of 2046 characters", 1, 2046},
        {"one item, a text of 2047", 1, 2047},
        {"a dozen items, long texts", 12, 400},
    };
    const auto be16 = [](int v) { return bytes({(v >> 8) & 0xFF, v & 0xFF}); };
    const auto head = [&](int marker, int count) {
        return count < 15 ? bytes({marker | count}) : bytes({marker | 0xF, 0x11}) + be16(count);
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        bool refusedOnce = false;
        for (int k = 1; k < 40 && !refusedOnce; ++k) {
            SCOPED_TRACE(k);
            QByteArray root = head(0xA0, k);
            for (int i = 0; i < k; ++i)
                root += be16(1);
            QByteArray shared = head(0xA0, row.m);
            for (int i = 0; i < row.m; ++i)
                shared += be16(2);
            const QByteArray item = row.l < 0 ? bytes({0x10, 0x07}) : head(0x50, row.l) + QByteArray(row.l, 'x');
            const QByteArray file = rawPlist({root, shared, item}, 0, 2);
            const quint64 nodes = 1 + quint64(k) * (1 + quint64(row.m));
            const quint64 text = row.l < 0 ? 0 : quint64(k) * quint64(row.m) * quint64(row.l + 1);
            const bool fits = nodes <= quint64(file.size()) && text <= 4 * quint64(file.size()) + 4096;
            const Status checked = BinaryPlistValidator::validate(file);
            EXPECT_EQ(checked.ok(), fits) << (checked.ok() ? std::string() : checked.error().toStdString());
            if (!fits) {
                EXPECT_TRUE(checked.error().contains(u"expand beyond the size of the file"_s));
            }
            refusedOnce = !fits;
        }
        EXPECT_TRUE(refusedOnce);
    }
}

} // namespace
