#include "PlistCraft.h"
#include "TestPrinters.h"
#include "document/archive/KeyedArchiver.h"
#include "document/archive/KeyedUnarchiver.h"
#include "util/Value.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <QHash>

#include <atomic>
#include <functional>
#include <vector>

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

// Archives of plain records in two lists, laid out by hand so that a record
// can be put anywhere, twice, or damaged.
struct RecordLists
{
    int records = 0;
    // Items of each list: indexes into the records, -1 for a null item.
    std::vector<int> database;
    std::vector<int> sendList;
    bool sendListFirst = false;
    // Changes a record's entries (name, value UID) before it is added: UIDs
    // of the archive are given to it for what it may need.
    std::function<void(int record, std::vector<std::pair<const char *, plist_t>> &entries, HandArchive &a,
                       quint64 databaseUid)>
        tweak;
};

void replace(plist_t &entry, plist_t with)
{
    plist_free(entry);
    entry = with;
}

std::vector<int> upTo(int n)
{
    std::vector<int> out;
    for (int i = 0; i < n; ++i)
        out.push_back(i);
    return out;
}

QByteArray recordArchive(const RecordLists &shape)
{
    HandArchive a;
    // 1 root, 2 its class, 3 record class, 4 list class, 5 and 6 the lists,
    // 7-10 keys, then the records and their values.
    a.add(plist_new_dict());
    a.addClass({"NSDictionary", "NSObject"});
    a.addClass({"NSMutableDictionary", "NSDictionary", "NSObject"});
    a.addClass({"NSMutableArray", "NSArray", "NSObject"});
    a.add(plist_new_dict());
    a.add(plist_new_dict());
    const quint64 firstKey = a.add(plist_new_string("addressArray"));
    a.add(plist_new_string("sendArray"));
    a.add(plist_new_string("email"));
    a.add(plist_new_string("number"));
    std::vector<quint64> recordUids;
    for (int r = 0; r < shape.records; ++r) {
        const quint64 email = a.add(plist_new_string(qPrintable(u"p%1@example.org"_s.arg(r))));
        const quint64 number = a.add(plist_new_uint(uint64_t(r)));
        std::vector<std::pair<const char *, plist_t>> entries{{"NS.keys", HandArchive::uids({firstKey + 2, firstKey + 3})},
                                                               {"NS.objects", HandArchive::uids({email, number})}};
        if (shape.tweak)
            shape.tweak(r, entries, a, 5);
        plist_t record = plist_new_dict();
        for (const auto &[key, value] : entries)
            plist_dict_set_item(record, key, value);
        plist_dict_set_item(record, "$class", plist_new_uid(3));
        recordUids.push_back(a.add(record));
    }
    const auto listOf = [&](const std::vector<int> &items) {
        plist_t refs = plist_new_array();
        for (int i : items)
            plist_array_append_item(refs, plist_new_uid(i < 0 ? 0 : recordUids[size_t(i)]));
        return HandArchive::object(4, {{"NS.objects", refs}});
    };
    const auto rootEntries = [&](plist_t objects) {
        plist_array_set_item(objects, listOf(shape.database), 5);
        plist_array_set_item(objects, listOf(shape.sendList), 6);
        const quint64 first = shape.sendListFirst ? 6 : 5;
        plist_array_set_item(
            objects,
            HandArchive::object(2, {{"NS.keys", HandArchive::uids({first == 5 ? firstKey : firstKey + 1,
                                                                   first == 5 ? firstKey + 1 : firstKey})},
                                    {"NS.objects", HandArchive::uids({first, first == 5 ? 6u : 5u})}}),
            1);
    };
    return a.bytes(1, [&](plist_t top) { rootEntries(plist_dict_get_item(top, "$objects")); });
}

// For every item of both lists, the place of the first item that is the
// same object (as the database, then the send list, list them), or -1 for an
// item that is not a record.
std::vector<int> identities(const Value &root)
{
    std::vector<Dict> seen;
    std::vector<int> out;
    QHash<QString, int> firstByEmail;
    for (const char *name : {"addressArray", "sendArray"}) {
        for (const Value &item : root.toDict().value(QString::fromLatin1(name)).toList().items()) {
            if (!item.isDict()) {
                out.push_back(-1);
                continue;
            }
            const Dict record = item.toDict();
            const QString email = record.value(u"email"_s).toString();
            const auto first = firstByEmail.constFind(email);
            if (first == firstByEmail.constEnd()) {
                firstByEmail.insert(email, int(seen.size()));
                out.push_back(int(seen.size()));
            } else {
                out.push_back(Dict::sameObject(seen[size_t(*first)], record) ? *first : -2);
            }
            seen.push_back(record);
        }
    }
    return out;
}

TEST(KeyedUnarchiverCores, RecordsDecodedOnBothCoresAreTheOneCoreRecords)
{
    constexpr int n = 3000;
    const auto inSecondHalf = [](int record) { return record == n - 7 || record == n - 600; };
    const auto everyThird = [] {
        std::vector<int> out;
        for (int i = 0; i < n; i += 3)
            out.push_back(i);
        return out;
    }();
    const auto withRepeats = [] {
        std::vector<int> out = upTo(n);
        out[n - 5] = n - 900; // again near the end: both decoded on the second core
        out[n - 3] = 4; // decoded first on this core, again on the second
        out[n - 1] = n - 1200; // again in the stretch this core or the second one may take
        return out;
    }();
    const auto withNulls = [] {
        std::vector<int> out = upTo(n);
        out[n - 2] = -1;
        out[n / 2 + 3] = -1;
        return out;
    }();
    const int splitFrom = int(KeyedUnarchiver::splitFrom);

    struct Row
    {
        const char *name;
        RecordLists shape;
        const char *refusal; // part of the error, or nullptr when it reads
    };
    const Row rows[] = {
        {"records shared by the two lists", {n, upTo(n), everyThird, false, {}}, nullptr},
        // Records of the second half decoded before the database is shared out.
        {"a short send list read first", {n, upTo(n), {n - 3, n - 5, 7}, true, {}}, nullptr},
        {"a long send list read first", {n, upTo(n), everyThird, true, {}}, nullptr},
        {"a record twice in one list", {n, withRepeats, upTo(n / 2), false, {}}, nullptr},
        {"null items", {n, withNulls, {}, false, {}}, nullptr},
        {"one item under the split size", {splitFrom - 1, upTo(splitFrom - 1), {}, false, {}}, nullptr},
        {"at the split size", {splitFrom, upTo(splitFrom), {}, false, {}}, nullptr},
        {"at the split size, shared", {splitFrom, upTo(splitFrom), upTo(splitFrom), true, {}}, nullptr},
        {"a record holding a list",
         {n, upTo(n), everyThird, false,
          [&](int r, auto &entries, HandArchive &a, quint64) {
              if (inSecondHalf(r)) {
                  const quint64 text = a.add(plist_new_string("nested"));
                  const quint64 list = a.add(HandArchive::object(4, {{"NS.objects", HandArchive::uids({text})}}));
                  replace(entries[1].second, HandArchive::uids({text, list}));
              }
          }},
         nullptr},
        {"a record with a null value and an NSString object",
         {n, upTo(n), {}, false,
          [&](int r, auto &entries, HandArchive &a, quint64) {
              if (inSecondHalf(r)) {
                  const quint64 text = a.add(plist_new_string("inner"));
                  const quint64 string = a.addClass({"NSMutableString", "NSString", "NSObject"});
                  const quint64 object =
                      a.add(HandArchive::object(string, {{"NS.string", plist_new_uid(text)}}));
                  replace(entries[1].second, HandArchive::uids({0, object}));
              }
          }},
         nullptr},
        {"a record that holds the database",
         {n, upTo(n), {}, false,
          [&](int r, auto &entries, HandArchive &, quint64 database) {
              if (inSecondHalf(r))
                  replace(entries[1].second, HandArchive::uids({8, database}));
          }},
         "reference cycle"},
        {"a record naming an object that is not there",
         {n, upTo(n), {}, false,
          [&](int r, auto &entries, HandArchive &, quint64) {
              if (inSecondHalf(r))
                  replace(entries[1].second, HandArchive::uids({8, 999999}));
          }},
         "out of range"},
        {"a record with a key that is not a text",
         {n, upTo(n), {}, false,
          [&](int r, auto &entries, HandArchive &a, quint64) {
              if (inSecondHalf(r)) {
                  const quint64 number = a.add(plist_new_uint(7));
                  replace(entries[0].second, HandArchive::uids({number, 10}));
              }
          }},
         "key that is not a string"},
        {"a record with more keys than values",
         {n, upTo(n), {}, false,
          [&](int r, auto &entries, HandArchive &, quint64) {
              if (inSecondHalf(r))
                  replace(entries[0].second, HandArchive::uids({9, 10, 8}));
          }},
         "3 keys but 2 values"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray bytes = recordArchive(row.shape);
        const Result<Value> one = KeyedUnarchiver::unarchive(bytes, {}, Cores::One);
        const Result<Value> two = KeyedUnarchiver::unarchive(bytes, {}, Cores::Two);
        ASSERT_EQ(two.ok(), one.ok()) << (one.ok() ? two.error() : one.error()).toStdString();
        if (row.refusal) {
            ASSERT_FALSE(one.ok());
            EXPECT_TRUE(one.error().contains(QString::fromLatin1(row.refusal))) << one.error().toStdString();
            EXPECT_EQ(two.error(), one.error());
            continue;
        }
        ASSERT_TRUE(one.ok()) << one.error().toStdString();
        EXPECT_EQ(two.value(), one.value());
        EXPECT_EQ(identities(two.value()), identities(one.value()));
        EXPECT_EQ(one.value().toDict().value(u"addressArray"_s).toList().items().size(), row.shape.database.size());
    }
}

} // namespace
