#include "PlistCraft.h"
#include "TestPrinters.h"
#include "document/archive/KeyedArchiver.h"
#include "document/archive/KeyedUnarchiver.h"
#include "util/Value.h"

#include <gtest/gtest.h>

#include <functional>

using namespace quillcast;
using namespace plistcraft;
using namespace Qt::StringLiterals;

namespace {

// UIDs of the archives built by rootWith(): the root NSDictionary, its one
// key "v", its class, then the value, which the adder must add first.
constexpr quint64 rootUid = 1;
constexpr quint64 keyUid = 2;
constexpr quint64 dictClassUid = 3;
constexpr quint64 valueUid = 4;

// An archive laid out as Foundation writes it: an NSDictionary root with the
// single entry "v", whose value `addValue` adds.
QByteArray rootWith(const std::function<void(HandArchive &)> &addValue,
                    const std::function<void(plist_t)> &editTop = [](plist_t) {})
{
    HandArchive a;
    a.add(HandArchive::object(dictClassUid, {{"NS.keys", HandArchive::uids({keyUid})},
                                             {"NS.objects", HandArchive::uids({valueUid})}}));
    a.add(plist_new_string("v"));
    a.addClass({"NSDictionary", "NSObject"});
    addValue(a);
    return a.bytes(rootUid, editTop);
}

QDateTime utc(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

struct FormRow { const char *name; std::function<void(HandArchive &)> addValue; Value expected; };

const Value listOfAB(List(List::Items{Value(u"a"_s), Value(u"b"_s)}));

TEST(KeyedUnarchiverForms, FoundationFormsReadAsTheValue)
{
    const FormRow rows[] = {
        {"inlineNegativeInteger", [](HandArchive &a) { a.add(plist_new_uint(quint64(-5))); }, Value(-5)},
        {"inlineBoolean", [](HandArchive &a) { a.add(plist_new_bool(1)); }, Value(true)},
        {"inlineData", [](HandArchive &a) { a.add(plist_new_data("\x01\x02", 2)); }, Value(QByteArray("\x01\x02"))},
        {"numberedDictionary",
         [](HandArchive &a) {
             a.add(HandArchive::object(6, {{"NS.key.0", plist_new_uid(5)}, {"NS.object.0", plist_new_uid(7)}}));
             a.add(plist_new_string("k"));
             a.addClass({"NSDictionary", "NSObject"});
             a.add(plist_new_string("x"));
         },
         Value(Dict{{u"k"_s, Value(u"x"_s)}})},
        {"numberedArray",
         [](HandArchive &a) {
             a.add(HandArchive::object(5, {{"NS.object.1", plist_new_uid(7)}, {"NS.object.0", plist_new_uid(6)}}));
             a.addClass({"NSArray", "NSObject"});
             a.add(plist_new_string("a"));
             a.add(plist_new_string("b"));
         },
         listOfAB},
        {"privateSubclassOfArray",
         [](HandArchive &a) {
             a.add(HandArchive::object(5, {{"NS.objects", HandArchive::uids({6, 7})}}));
             a.addClass({"__NSArrayM", "NSMutableArray", "NSArray", "NSObject"});
             a.add(plist_new_string("a"));
             a.add(plist_new_string("b"));
         },
         listOfAB},
        {"mutableStringInline",
         [](HandArchive &a) {
             a.add(HandArchive::object(5, {{"NS.string", plist_new_string("K\xc3\xb6ln")}}));
             a.addClass({"NSMutableString", "NSString", "NSObject"});
         },
         Value(u"Köln"_s)},
        {"stringThroughReference",
         [](HandArchive &a) {
             a.add(HandArchive::object(5, {{"NS.string", plist_new_uid(6)}}));
             a.addClass({"NSString", "NSObject"});
             a.add(plist_new_string("x"));
         },
         Value(u"x"_s)},
        // libplist stores 0.5 as a 32-bit real.
        {"dateAsFloat32",
         [](HandArchive &a) {
             a.add(HandArchive::object(5, {{"NS.time", plist_new_real(0.5)}}));
             a.addClass({"NSDate", "NSObject"});
         },
         Value(utc(978307200500))},
        {"dateAsInteger",
         [](HandArchive &a) {
             a.add(HandArchive::object(5, {{"NS.time", plist_new_uint(60)}}));
             a.addClass({"NSDate", "NSObject"});
         },
         Value(utc(978307260000))},
        {"dateThroughReference",
         [](HandArchive &a) {
             a.add(HandArchive::object(5, {{"NS.time", plist_new_uid(6)}}));
             a.addClass({"NSDate", "NSObject"});
             a.add(plist_new_real(1.25));
         },
         Value(utc(978307201250))},
        {"inlinePlistDate", [](HandArchive &a) { a.add(plist_new_date(86400, 500000)); },
         Value(utc(978307200000 + 86400500))},
        {"mutableData",
         [](HandArchive &a) {
             a.add(HandArchive::object(5, {{"NS.data", plist_new_data("abc", 3)}}));
             a.addClass({"NSMutableData", "NSData", "NSObject"});
         },
         Value(QByteArray("abc"))},
        {"nullItemsInArray",
         [](HandArchive &a) {
             a.add(HandArchive::object(5, {{"NS.objects", HandArchive::uids({0, 6})}}));
             a.addClass({"NSArray", "NSObject"});
             a.add(plist_new_string("$null"));
         },
         Value(List(List::Items{Value(), Value()}))},
        {"nullValueInDictionary",
         [](HandArchive &a) {
             a.add(HandArchive::object(6, {{"NS.keys", HandArchive::uids({5})}, {"NS.objects", HandArchive::uids({0})}}));
             a.add(plist_new_string("gone"));
             a.addClass({"NSMutableDictionary", "NSDictionary", "NSObject"});
         },
         Value(Dict())},
    };
    for (const FormRow &row : rows) {
        SCOPED_TRACE(row.name);
        const Result<Value> r = KeyedUnarchiver::unarchive(rootWith(row.addValue));
        ASSERT_TRUE(r.ok()) << r.error().toStdString();
        EXPECT_EQ(r.value().toDict().value(u"v"_s), row.expected);
    }
}

TEST(KeyedUnarchiver, RecordsSharedByTwoArraysAreOneObject)
{
    HandArchive a;
    // 1 root {a: [5], b: [5]}, 2 "a", 3 "b", 4 class, 5 record, 6/7 arrays, 8 array class, 9 "k", 10 value
    a.add(HandArchive::object(4, {{"NS.keys", HandArchive::uids({2, 3})}, {"NS.objects", HandArchive::uids({6, 7})}}));
    a.add(plist_new_string("a"));
    a.add(plist_new_string("b"));
    a.addClass({"NSMutableDictionary", "NSDictionary", "NSObject"});
    a.add(HandArchive::object(4, {{"NS.keys", HandArchive::uids({9})}, {"NS.objects", HandArchive::uids({10})}}));
    a.add(HandArchive::object(8, {{"NS.objects", HandArchive::uids({5})}}));
    a.add(HandArchive::object(8, {{"NS.objects", HandArchive::uids({5})}}));
    a.addClass({"NSMutableArray", "NSArray", "NSObject"});
    a.add(plist_new_string("k"));
    a.add(plist_new_uint(1));
    const Dict root = KeyedUnarchiver::unarchive(a.bytes()).value().toDict();
    EXPECT_TRUE(Dict::sameObject(root.value(u"a"_s).toList().at(0).toDict(), root.value(u"b"_s).toList().at(0).toDict()));
}

// A list or dictionary that a dictionary drops (all but the last of
// duplicate keys are) and that is referred to again afterwards reads as
// itself there, whether it was dropped or kept the first time.
TEST(KeyedUnarchiver, CollectionsDroppedUnderDuplicateKeysReadAgainLater)
{
    struct Row
    {
        const char *name;
        std::initializer_list<quint64> innerValues; // under "k", "k"
    };
    // 1 root {inner: 5, again: 6}, 2 "inner", 3 "again", 4 dictionary class, 5 inner
    // dictionary, 6 list [9], 7 list [10], 8 "k", 9 "first", 10 "second", 11 list class
    const Row rows[] = {
        {"dropped, then read again", {6, 7}},
        {"kept, then read again", {7, 6}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        HandArchive a;
        a.add(HandArchive::object(4, {{"NS.keys", HandArchive::uids({2, 3})}, {"NS.objects", HandArchive::uids({5, 6})}}));
        a.add(plist_new_string("inner"));
        a.add(plist_new_string("again"));
        a.addClass({"NSDictionary", "NSObject"});
        a.add(HandArchive::object(4, {{"NS.keys", HandArchive::uids({8, 8})}, {"NS.objects", HandArchive::uids(row.innerValues)}}));
        a.add(HandArchive::object(11, {{"NS.objects", HandArchive::uids({9})}}));
        a.add(HandArchive::object(11, {{"NS.objects", HandArchive::uids({10})}}));
        a.add(plist_new_string("k"));
        a.add(plist_new_string("first"));
        a.add(plist_new_string("second"));
        a.addClass({"NSArray", "NSObject"});
        const Result<Value> r = KeyedUnarchiver::unarchive(a.bytes());
        ASSERT_TRUE(r.ok()) << r.error().toStdString();
        const Dict root = r.value().toDict();
        EXPECT_EQ(root.value(u"again"_s), Value(List(List::Items{Value(u"first"_s)})));
        EXPECT_EQ(root.value(u"inner"_s).toDict().size(), 1);
    }
}

// Records that name the same key objects read as written whatever else
// differs between them: keys listed out of order, a missing value, a value
// that is a record of the same keys read in the middle of its own, a key
// text under a second object (the later value wins); on one core and on
// two, with enough records for the second core to take its share.
TEST(KeyedUnarchiver, RecordsNamingTheSameKeysReadAsWritten)
{
    HandArchive a;
    const quint64 dictClass = a.addClass({"NSMutableDictionary", "NSDictionary", "NSObject"});
    const quint64 arrayClass = a.addClass({"NSMutableArray", "NSArray", "NSObject"});
    const quint64 z = a.add(plist_new_string("z"));
    const quint64 first = a.add(plist_new_string("a"));
    const quint64 m = a.add(plist_new_string("m"));
    const quint64 second = a.add(plist_new_string("a"));
    const auto record = [&](std::initializer_list<quint64> keys, std::initializer_list<quint64> values) {
        return a.add(HandArchive::object(dictClass, {{"NS.keys", HandArchive::uids(keys)},
                                                     {"NS.objects", HandArchive::uids(values)}}));
    };
    plist_t records = plist_new_array();
    List::Items expected;
    for (int i = 0; i < 2100; ++i) {
        const QString name = u"r%1"_s.arg(i);
        const quint64 text = a.add(plist_new_string(name.toUtf8().constData()));
        const quint64 number = a.add(plist_new_uint(quint64(i)));
        quint64 uid = 0;
        switch (i % 4) {
        case 0:
            uid = record({z, first, m}, {text, number, text});
            expected.emplace_back(Dict{{u"a"_s, i}, {u"m"_s, name}, {u"z"_s, name}});
            break;
        case 1:
            uid = record({z, first, m}, {text, 0, number});
            expected.emplace_back(Dict{{u"m"_s, i}, {u"z"_s, name}});
            break;
        case 2: {
            const quint64 inner = record({z, first, m}, {number, text, number});
            uid = record({z, first, m}, {text, number, inner});
            const Dict innerRecord{{u"a"_s, name}, {u"m"_s, i}, {u"z"_s, i}};
            expected.emplace_back(Dict{{u"a"_s, i}, {u"m"_s, innerRecord}, {u"z"_s, name}});
            break;
        }
        default:
            uid = record({z, first, second}, {text, number, text});
            expected.emplace_back(Dict{{u"a"_s, name}, {u"z"_s, name}});
            break;
        }
        plist_array_append_item(records, plist_new_uid(uid));
    }
    const quint64 list = a.add(HandArchive::object(arrayClass, {{"NS.objects", records}}));
    const quint64 root = record({a.add(plist_new_string("list"))}, {list});
    const QByteArray bytes = a.bytes(root);
    for (const auto cores : {KeyedUnarchiver::Cores::One, KeyedUnarchiver::Cores::Two}) {
        SCOPED_TRACE(int(cores));
        const Result<Value> r = KeyedUnarchiver::unarchive(bytes, {}, cores);
        ASSERT_TRUE(r.ok()) << r.error().toStdString();
        const List read = r.value().toDict().value(u"list"_s).toList();
        ASSERT_EQ(read.size(), qsizetype(expected.size()));
        for (qsizetype i = 0; i < read.size(); ++i) {
            if (!(read.at(i) == expected[size_t(i)]))
                FAIL() << "record " << i;
        }
    }
}

// Texts, numbers and string objects that many references share (as
// Foundation writes repeated values) read the same at every reference, the
// first, the second and those after; a shared string object too.
TEST(KeyedUnarchiver, SharedValuesReadTheSameAtEveryReference)
{
    HandArchive a;
    // 1 root {v: [5, 6, 7, 5, 6, 7, 5, 6, 7]}, 2 "v", 3 dictionary class, 4 array,
    // 5 "Zürich", 6 42, 7 string object, 8 its class, 9 the array class
    a.add(HandArchive::object(3, {{"NS.keys", HandArchive::uids({2})}, {"NS.objects", HandArchive::uids({4})}}));
    a.add(plist_new_string("v"));
    a.addClass({"NSDictionary", "NSObject"});
    a.add(HandArchive::object(9, {{"NS.objects", HandArchive::uids({5, 6, 7, 5, 6, 7, 5, 6, 7})}}));
    a.add(plist_new_string("Z\xC3\xBCrich"));
    a.add(plist_new_uint(42));
    a.add(HandArchive::object(8, {{"NS.string", plist_new_string("text")}}));
    a.addClass({"NSMutableString", "NSString", "NSObject"});
    a.addClass({"NSArray", "NSObject"});
    const Result<Value> r = KeyedUnarchiver::unarchive(a.bytes());
    ASSERT_TRUE(r.ok()) << r.error().toStdString();
    const List items = r.value().toDict().value(u"v"_s).toList();
    ASSERT_EQ(items.size(), 9);
    for (qsizetype i = 0; i < items.size(); i += 3) {
        SCOPED_TRACE(i);
        EXPECT_EQ(items.at(i), Value(u"Zürich"_s));
        EXPECT_EQ(items.at(i + 1), Value(42));
        EXPECT_EQ(items.at(i + 2), Value(u"text"_s));
    }
}

// The records' values come back as written, and a text repeated down a
// column (a town) is one string in every record that holds it.
TEST(KeyedUnarchiver, RepeatedTextsOfRecordsComeBackAsOneString)
{
    List::Items written;
    for (int i = 0; i < 200; ++i) {
        // Separate strings, as an import of distinct rows makes them.
        written.emplace_back(Dict{{u"1"_s, Value(i)},
                                  {u"3"_s, Value(u"person%1@example.org"_s.arg(i))},
                                  {u"4"_s, Value(QString::fromUtf8(i % 2 ? "Köln" : "Ulm"))},
                                  {u"5"_s, Value(i % 3 ? u""_s : u"$null"_s)},
                                  {u"6"_s, Value(QString::fromUtf8(i % 5 ? "日本" : "x"))}});
    }
    const List list(written);
    const Result<Value> read =
        KeyedUnarchiver::unarchive(KeyedArchiver::archive(Dict{{u"records"_s, Value(list)}}).value());
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    const List back = read.value().toDict().value(u"records"_s).toList();
    ASSERT_EQ(Value(back), Value(list));
    const auto town = [&](qsizetype i) { return back.at(i).toDict().value(u"4"_s).toString(); };
    EXPECT_TRUE(town(1).isSharedWith(town(199)));
    EXPECT_TRUE(town(0).isSharedWith(town(198)));
    EXPECT_EQ(town(198), u"Ulm"_s);
    EXPECT_EQ(back.at(3).toDict().value(u"5"_s), Value(u"$null"_s));
}

// Broken inputs beside good ones; every one gives an answer, none a crash.
struct InputRow
{
    const char *name;
    QByteArray (*make)();
    const char *error; // nullptr: reads
};

QByteArray ours()
{
    const Dict rec{{u"3"_s, Value(u"a@example.com"_s)}};
    return KeyedArchiver::archive(Dict{{u"addressArray"_s, Value(List(List::Items{Value(rec)}))},
                                       {u"sendArray"_s, Value(List(List::Items{Value(rec)}))}})
        .value();
}

QByteArray withTop(void (*edit)(plist_t) = [](plist_t) {})
{
    return rootWith([](HandArchive &a) { a.add(plist_new_string("x")); }, edit);
}

// The root dictionary's value is an array within an array... `depth` levels
// of nesting counting the root.
QByteArray nestedArrays(int depth)
{
    return rootWith([depth](HandArchive &a) {
        const quint64 arrays = quint64(depth) - 1;
        const quint64 cls = valueUid + arrays;
        for (quint64 i = 0; i < arrays; ++i) {
            const quint64 uid = valueUid + i;
            a.add(HandArchive::object(cls, {{"NS.objects", i + 1 < arrays ? HandArchive::uids({uid + 1}) : HandArchive::uids({})}}));
        }
        a.addClass({"NSArray", "NSObject"});
    });
}

plist_t inlineItems()
{
    plist_t items = plist_new_array();
    plist_array_append_item(items, plist_new_string("inline"));
    return items;
}

QByteArray dictObject(std::initializer_list<std::pair<const char *, plist_t>> entries)
{
    return rootWith([&](HandArchive &a) {
        a.add(HandArchive::object(5, entries));
        a.addClass({"NSDictionary", "NSObject"});
        a.add(plist_new_string("k"));
        a.add(plist_new_uint(7));
    });
}

QByteArray patchedTrailer(int at, quint8 value)
{
    QByteArray b = ours();
    b[b.size() - 32 + at] = char(value);
    return b;
}

// A chain of `links` arrays, each holding the next once or twice, ending in
// a number: twice over 25 links is 2^25 nodes from 26 objects, within the
// nesting limit.
QByteArray chainPlist(int links, bool twice)
{
    std::vector<QByteArray> objects;
    for (int i = 0; i < links; ++i)
        objects.push_back(twice ? bytes({0xA2, i + 1, i + 1}) : bytes({0xA1, i + 1}));
    objects.push_back(bytes({0x10, 0x01}));
    return rawPlist(objects);
}

TEST(KeyedUnarchiverInput, ReadsOrSaysWhatIsWrong)
{
    const InputRow rows[] = {
        {"ourOwnFile", ours, nullptr},
        {"foundationLayout", [] { return withTop(); }, nullptr},
        {"empty", [] { return QByteArray(); }, "not a binary property list"},
        {"text", [] { return QByteArray("Dear customer,\n"); }, "not a binary property list"},
        {"xmlPlist", [] { return QByteArray("<?xml version=\"1.0\"?>\n<plist version=\"1.0\"><dict/></plist>"); },
         "an XML property list"},
        {"otherVersion", [] { return QByteArray("bplist15").append(ours().mid(8)); }, "unsupported binary property list version"},
        {"truncatedByOneByte", [] { return ours().chopped(1); }, "truncated or damaged"},
        {"hugeObjectCount", [] { return patchedTrailer(8, 0x40); }, "truncated or damaged"},
        {"unknownType", [] { return rawPlist({bytes({0x70})}); }, "unknown type 0x70"},
        {"hugeArrayCount", [] { return rawPlist({bytes({0xAF, 0x13, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})}); },
         "runs past the end"},
        {"hugeStringLength", [] { return rawPlist({bytes({0x5F, 0x12, 0xFF, 0xFF, 0xFF, 0xFF})}); }, "runs past the end"},
        {"plistArrayContainsItself", [] { return rawPlist({bytes({0xA1, 0x00})}); }, "contains itself"},
        {"plistKeyNotAString", [] { return rawPlist({bytes({0xD1, 0x01, 0x01}), bytes({0x10, 0x05})}); },
         "key that is not a string"},
        {"plistReferenceOutOfRange", [] { return rawPlist({bytes({0xA1, 0x09})}); }, "refers to object 9 of 1"},
        {"exponentialSharing", [] { return chainPlist(25, true); }, "expand beyond the size of the file"},
        {"deepPlistNesting", [] { return chainPlist(100, false); }, "nesting deeper than 32 levels"},
        {"plistTopIsArray", [] { return rawPlist({bytes({0xA0})}); }, "no dictionary at the top"},
        {"wrongArchiver", [] { return withTop([](plist_t topDict) { plist_dict_set_item(topDict, "$archiver", plist_new_string("NSArchiver")); }); },
         "$archiver is \"NSArchiver\""},
        {"missingArchiver", [] { return withTop([](plist_t topDict) { plist_dict_remove_item(topDict, "$archiver"); }); },
         "$archiver missing"},
        {"missingTop", [] { return withTop([](plist_t topDict) { plist_dict_remove_item(topDict, "$top"); }); }, "$top has no root"},
        {"missingObjects", [] { return withTop([](plist_t topDict) { plist_dict_remove_item(topDict, "$objects"); }); },
         "$objects missing"},
        {"rootIsAString", [] { return rootWith([](HandArchive &) {}, [](plist_t topDict) {
                                   plist_dict_set_item(plist_dict_get_item(topDict, "$top"), "root", plist_new_uid(2)); }); },
         "root object is not a dictionary"},
        {"rootIsNull", [] { return rootWith([](HandArchive &) {}, [](plist_t topDict) {
                                 plist_dict_set_item(plist_dict_get_item(topDict, "$top"), "root", plist_new_uid(0)); }); },
         "no root object"},
        {"bareReferenceAsObject", [] { return rootWith([](HandArchive &a) { a.add(plist_new_uid(2)); }); },
         "object 4 is a reference"},
        {"referenceInRange", [] { return dictObject({{"NS.keys", HandArchive::uids({6})}, {"NS.objects", HandArchive::uids({7})}}); },
         nullptr},
        {"referenceOutOfRange", [] { return dictObject({{"NS.keys", HandArchive::uids({6})}, {"NS.objects", HandArchive::uids({812})}}); },
         "reference 812 out of range (8 objects)"},
        {"selfContainingArray", [] { return rootWith([](HandArchive &a) {
                                         a.add(HandArchive::object(5, {{"NS.objects", HandArchive::uids({4})}}));
                                         a.addClass({"NSMutableArray", "NSArray", "NSObject"}); }); },
         "reference cycle at object 4"},
        {"cycleThroughTwoDicts", [] { return dictObject({{"NS.keys", HandArchive::uids({6})}, {"NS.objects", HandArchive::uids({1})}}); },
         "reference cycle at object 1"},
        {"keysAndValuesDiffer", [] { return dictObject({{"NS.keys", HandArchive::uids({6, 6})}, {"NS.objects", HandArchive::uids({7})}}); },
         "has 2 keys but 1 values"},
        {"numberKey", [] { return dictObject({{"NS.keys", HandArchive::uids({7})}, {"NS.objects", HandArchive::uids({6})}}); },
         "key that is not a string"},
        {"valueInsteadOfReference", [] { return dictObject({{"NS.keys", HandArchive::uids({6})}, {"NS.objects", inlineItems()}}); },
         "object 4 holds a value where a reference belongs"},
        {"unsupportedClass", [] { return rootWith([](HandArchive &a) {
                                      a.add(HandArchive::object(5, {}));
                                      a.addClass({"NSURL", "NSObject"}); }); },
         "unsupported class \"NSURL\""},
        {"objectWithoutClass", [] { return rootWith([](HandArchive &a) { a.add(plist_new_dict()); }); }, "has no class"},
        {"classOutOfRange", [] { return rootWith([](HandArchive &a) { a.add(HandArchive::object(999, {})); }); },
         "reference 999 out of range"},
        {"dateOutOfRange", [] { return rootWith([](HandArchive &a) {
                                    a.add(HandArchive::object(5, {{"NS.time", plist_new_real(1e300)}}));
                                    a.addClass({"NSDate", "NSObject"}); }); },
         "date object 4 is out of range"},
        {"nestingAtTheLimit", [] { return nestedArrays(KeyedUnarchiver::maxDepth); }, nullptr},
        {"nestingTooDeep", [] { return nestedArrays(KeyedUnarchiver::maxDepth + 1); }, "nesting deeper than 128 levels"},
    };
    for (const InputRow &row : rows) {
        SCOPED_TRACE(row.name);
        const Result<Value> r = KeyedUnarchiver::unarchive(row.make());
        if (!row.error) {
            EXPECT_TRUE(r.ok()) << r.error().toStdString();
            continue;
        }
        ASSERT_FALSE(r.ok());
        EXPECT_TRUE(r.error().contains(QLatin1StringView(row.error))) << r.error().toStdString();
    }
}

} // namespace
