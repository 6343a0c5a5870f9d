#include "PlistCraft.h"
#include "TestPrinters.h"
#include "document/archive/KeyedArchiver.h"
#include "document/archive/KeyedUnarchiver.h"
#include "util/Value.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>

using namespace quillcast;
using namespace plistcraft;
using namespace Qt::StringLiterals;

namespace {

using Cores = KeyedUnarchiver::Cores;

// The same bytes read with the structure checked first, and checked on a
// second core while the objects are decoded: the same value or the same
// refusal, word for word.
void expectSameOnBothPaths(const QByteArray &bytes)
{
    std::atomic<int> released{0};
    const KeyedUnarchiver::PagesRead pagesRead = [&released] { released.fetch_add(1, std::memory_order_relaxed); };
    const Result<Value> one = KeyedUnarchiver::unarchive(bytes, pagesRead, Cores::One);
    const Result<Value> two = KeyedUnarchiver::unarchive(bytes, pagesRead, Cores::Two);
    ASSERT_EQ(two.ok(), one.ok()) << (one.ok() ? two.error() : one.error()).toStdString();
    if (one.ok())
        EXPECT_EQ(two.value(), one.value());
    else
        EXPECT_EQ(two.error(), one.error());
}

// A mailing-like archive: records of five texts shared by two lists.
QByteArray mailing(int records)
{
    List::Items items;
    for (int i = 0; i < records; ++i)
        items.emplace_back(Dict{{u"1"_s, i + 1},
                                {u"2"_s, i % 3 == 0},
                                {u"3"_s, u"p%1@example.org"_s.arg(i)},
                                {u"4"_s, u"Zoë %1"_s.arg(i % 50)},
                                {u"5"_s, i % 2 ? u"Köln"_s : u"Cork"_s}});
    return KeyedArchiver::archive(Dict{{u"addressArray"_s, List(items)},
                                       {u"sendArray"_s, List(List::Items(items.begin(), items.begin() + records / 4))},
                                       {u"appversion"_s, 20800}})
        .value();
}

// n archive objects that are one object of the property list, each an array
// of m null items: small on disk, n * m items decoded. The check refuses it;
// the decoding alongside must stop long before it has made them all.
QByteArray sharedArchiveObject(int n, int m)
{
    const auto ascii = [](const char *text) -> QByteArray {
        const QByteArray t(text);
        return QByteArray(1, char(0x50 | t.size())) + t;
    };
    const auto be16 = [](int v) -> QByteArray { return bytes({(v >> 8) & 0xFF, v & 0xFF}); };
    const auto refs = [&](const std::vector<int> &to) -> QByteArray {
        QByteArray out;
        for (int r : to)
            out += be16(r);
        return out;
    };
    const auto array = [&](const std::vector<int> &to) -> QByteArray {
        const QByteArray head =
            to.size() < 15 ? bytes({0xA0 | int(to.size())}) : QByteArray(bytes({0xAF, 0x11}) + be16(int(to.size())));
        return head + refs(to);
    };
    const int firstUid = 22; // objects 22 .. 22 + n - 1: UIDs 3 .. 3 + n - 1; then UID 0
    std::vector<int> objectRefs{9, 10, 11};
    std::vector<int> rootItems;
    for (int k = 0; k < n; ++k) {
        objectRefs.push_back(12);
        rootItems.push_back(firstUid + k);
    }
    std::vector<QByteArray> objects{
        bytes({0xD3}) + refs({1, 2, 3, 4, 5, 6}), // 0: the top dictionary
        ascii("$archiver"), ascii("$top"), ascii("$objects"), // 1-3
        bytes({0x5F, 0x10, 0x0F}) + "NSKeyedArchiver", // 4
        bytes({0xD1}) + refs({7, 8}), // 5: {root: UID 1}
        array(objectRefs), // 6: $objects
        ascii("root"), bytes({0x80, 0x01}), ascii("$null"), // 7-9
        bytes({0xD2}) + refs({15, 16, 13, 14}), // 10: the root, an array of UIDs 3...
        bytes({0xD2}) + refs({19, 20, 17, 18}), // 11: the class NSArray
        bytes({0xD2}) + refs({15, 16, 21, 14}), // 12: the shared array object
        array(rootItems), // 13
        bytes({0x80, 0x02}), ascii("NS.objects"), ascii("$class"), ascii("NSArray"), // 14-17
        array({17}), ascii("$classname"), ascii("$classes"), // 18-20
        array(std::vector<int>(size_t(m), firstUid + n)), // 21: m nulls
    };
    for (int k = 0; k < n; ++k)
        objects.push_back(bytes({0x81}) + be16(3 + k));
    objects.push_back(bytes({0x80, 0x00}));
    return rawPlist(objects, 0, 2);
}

TEST(KeyedUnarchiverCores, CheckingAlongsideGivesWhatCheckingFirstGives)
{
    SCOPED_TRACE("a mailing of 20,000 records");
    const QByteArray large = mailing(20000);
    expectSameOnBothPaths(large);
    EXPECT_TRUE(KeyedUnarchiver::unarchive(large, {}, Cores::Two).ok());

    const QDir corpus(QStringLiteral(QUILLCAST_KEYED_ARCHIVE_CORPUS));
    for (const QString &name : corpus.entryList(QDir::Files, QDir::Name)) {
        SCOPED_TRACE(name.toStdString());
        QFile file(corpus.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        expectSameOnBothPaths(file.readAll());
    }
}

// Damage anywhere: a byte changed at every 97th place of a small mailing, the
// mailing cut short at every 89th, and an archive whose objects expand
// without bound.
TEST(KeyedUnarchiverCores, DamagedFilesAreRefusedAlikeOnBothPaths)
{
    const QByteArray small = mailing(40);
    for (qsizetype at = 0; at < small.size(); at += 97) {
        for (const char to : {'\x00', '\xFF', '\x0F'}) {
            SCOPED_TRACE(at);
            QByteArray damaged = small;
            damaged[at] = to;
            expectSameOnBothPaths(damaged);
        }
    }
    for (qsizetype length = 0; length < small.size(); length += 89) {
        SCOPED_TRACE(length);
        expectSameOnBothPaths(small.first(length));
    }

    const QByteArray bomb = sharedArchiveObject(3000, 3000);
    const Result<Value> one = KeyedUnarchiver::unarchive(bomb, {}, Cores::One);
    ASSERT_FALSE(one.ok());
    EXPECT_TRUE(one.error().contains(u"expand beyond the size of the file"_s)) << one.error().toStdString();
    expectSameOnBothPaths(bomb);
}

} // namespace
