#include "TestPrinters.h"
#include "document/archive/BinaryPlist.h"
#include "document/archive/KeyedArchiver.h"
#include "document/archive/KeyedUnarchiver.h"
#include "util/Value.h"

#include <gtest/gtest.h>

#include <QSet>

#include <limits>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

Value roundTrip(const Value &root)
{
    const Result<QByteArray> bytes = KeyedArchiver::archive(root);
    EXPECT_TRUE(bytes.ok()) << bytes.error().toStdString();
    if (!bytes)
        return Value();
    const Result<Value> back = KeyedUnarchiver::unarchive(bytes.value());
    EXPECT_TRUE(back.ok()) << back.error().toStdString();
    return back ? back.value() : Value();
}

QDateTime utc(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

QByteArray everyByte()
{
    QByteArray b;
    for (int i = 0; i < 256; ++i)
        b += char(i);
    return b;
}

TEST(ScalarRoundTrip, ComesBackEqualAndOfTheSameKind)
{
    const struct { const char *name; Value value; } rows[] = {
        {"true", Value(true)}, {"false", Value(false)}, {"zero", Value(0)}, {"eightBytes", Value(qint64(1) << 40)},
        {"minusOne", Value(-1)}, {"int64Min", Value(std::numeric_limits<qint64>::min())},
        {"int64Max", Value(std::numeric_limits<qint64>::max())}, {"appversion", Value(quint64(20800))},
        {"unsignedAtLimit", Value(quint64(std::numeric_limits<qint64>::max()))}, {"real", Value(0.1)},
        {"realFloatExact", Value(1.5)}, {"realNegative", Value(-2.5e-300)}, {"emptyString", Value(QString(u""_s))},
        {"ascii", Value(u"hello"_s)}, {"longAscii", Value(u"a text of more than fifteen characters"_s)},
        {"latin1", Value(u"Grüße aus Köln"_s)}, {"cjk", Value(u"郵便"_s)}, {"surrogatePair", Value(u"mail 📧 now"_s)},
        {"embeddedNul", Value(QString(u"a\0b"_s))}, {"dateWithMilliseconds", Value(utc(1700000000123))},
        {"dateBefore2001", Value(utc(-86400001))}, {"emptyData", Value(QByteArray(""))},
        {"everyByte", Value(everyByte())},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const Value original = row.value;
        const Value back = roundTrip(Dict{{u"v"_s, original}}).toDict().value(u"v"_s);
        EXPECT_EQ(back, original);
        // Unsigned numbers come back as integers of equal value.
        const Value::Type expected = original.type() == Value::Type::UInt ? Value::Type::Int : original.type();
        EXPECT_EQ(back.type(), expected);
    }
}

TEST(KeyedArchiveRoundTrip, NestedListsKeepOrderAndNullItems)
{
    const List inner(List::Items{Value(1), Value(), Value(u"x"_s)});
    const List outer(List::Items{Value(inner), Value(List()), Value(2.5)});
    const Value back = roundTrip(Dict{{u"lists"_s, Value(outer)}}).toDict().value(u"lists"_s);
    EXPECT_EQ(back, Value(outer));
}

TEST(KeyedArchiveRoundTrip, ValuesThatCannotBeStoredLeaveNoEntry)
{
    const QDateTime farAway(QDate(400000, 1, 1), QTime(0, 0), Qt::UTC);
    const Dict root{{u"bad"_s, Value(QDateTime())}, {u"farAway"_s, Value(farAway)}, {u"good"_s, Value(1)},
                    {u"list"_s, Value(List(List::Items{Value(QDateTime()), Value(2)}))}};
    const Dict back = roundTrip(root).toDict();
    EXPECT_FALSE(back.contains(u"bad"_s));
    EXPECT_FALSE(back.contains(u"farAway"_s));
    EXPECT_TRUE(back.value(u"list"_s).toList().at(0).isNull());
    EXPECT_EQ(back.value(u"list"_s).toList().at(1), Value(2));
}

TEST(KeyedArchiveRoundTrip, ManyObjectsNeedWiderReferences)
{
    // More than 65,536 objects: four-byte references and offsets.
    List::Items items;
    for (int i = 0; i < 70000; ++i)
        items.push_back(Value(u"entry %1"_s.arg(i)));
    const Value back = roundTrip(Dict{{u"many"_s, Value(List(items))}}).toDict().value(u"many"_s);
    ASSERT_EQ(back.toList().size(), 70000);
    EXPECT_EQ(back.toList().at(69999), Value(u"entry 69999"_s));
}

// Records with different keys at the same places, their key strings shared
// or each made apart: every key comes back under its own record, and the
// bytes do not depend on whether equal keys are one string or several.
TEST(KeyedArchiveRoundTrip, RecordsWithDifferentKeysAtTheSamePlaces)
{
    const auto records = [](bool sharedKeys) {
        const QString a = u"a"_s, b = u"b"_s, c = u"c"_s;
        const auto key = [&](const QString &k) { return sharedKeys ? k : QString::fromUtf8(k.toUtf8()); };
        return List(List::Items{
            Value(Dict{{key(a), Value(1)}, {key(b), Value(2)}}),
            Value(Dict{{key(a), Value(3)}, {key(c), Value(4)}}),
            Value(Dict{{key(b), Value(5)}}),
            Value(Dict{{key(c), Value(6)}, {key(u"d"_s), Value(7)}, {key(a), Value(8)}}),
            Value(Dict{{key(a), Value(9)}, {key(b), Value(10)}}),
        });
    };
    const QByteArray shared = KeyedArchiver::archive(Dict{{u"records"_s, Value(records(true))}}).value();
    const QByteArray apart = KeyedArchiver::archive(Dict{{u"records"_s, Value(records(false))}}).value();
    EXPECT_EQ(shared, apart);
    const Value back = KeyedUnarchiver::unarchive(shared).value().toDict().value(u"records"_s);
    EXPECT_EQ(back, Value(records(false)));
}

// The file Foundation's reader expects: checked on the property list itself.
TEST(KeyedArchiveLayout, FollowsTheKeyedArchiverFormat)
{
    const QByteArray bytes =
        KeyedArchiver::archive(Dict{{u"list"_s, Value(List())}, {u"when"_s, Value(utc(978307200500))}}).value();
    EXPECT_TRUE(bytes.startsWith("bplist00"));
    const Result<BinaryPlist> plist = BinaryPlist::parse(bytes);
    ASSERT_TRUE(plist.ok());
    const BinaryPlist::Node top = plist->root();
    EXPECT_EQ(top.value("$archiver").toString(), u"NSKeyedArchiver"_s);
    EXPECT_EQ(top.value("$version").toInteger(), 100000);
    EXPECT_EQ(top.value("$top").value("root").kind(), BinaryPlist::Kind::Uid);
    EXPECT_EQ(top.value("$top").value("root").toUid(), 1u);
    const auto objects = top.value("$objects").items();
    ASSERT_GT(objects.size(), 2u);
    EXPECT_EQ(objects[0].toString(), u"$null"_s);

    const auto classOf = [&](const BinaryPlist::Node &object) -> QString {
        const BinaryPlist::Node description = objects[object.value("$class").toUid()];
        QStringList chain;
        for (const auto &c : description.value("$classes").items())
            chain << c.toString();
        return description.value("$classname").toString() + u" : "_s + chain.join(u", "_s);
    };
    const BinaryPlist::Node root = objects[1];
    EXPECT_EQ(classOf(root), u"NSMutableDictionary : NSMutableDictionary, NSDictionary, NSObject"_s);
    const auto keys = root.value("NS.keys").items();
    const auto values = root.value("NS.objects").items();
    ASSERT_EQ(keys.size(), 2u);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(objects[keys[0].toUid()].toString(), u"list"_s);
    EXPECT_EQ(classOf(objects[values[0].toUid()]), u"NSMutableArray : NSMutableArray, NSArray, NSObject"_s);
    const BinaryPlist::Node date = objects[values[1].toUid()];
    EXPECT_EQ(classOf(date), u"NSDate : NSDate, NSObject"_s);
    EXPECT_EQ(date.value("NS.time").kind(), BinaryPlist::Kind::Real);
    EXPECT_DOUBLE_EQ(date.value("NS.time").toReal(), 0.5);
}

TEST(KeyedArchiveLayout, TheTextNullIsNeverAReferencedString)
{
    const QByteArray bytes = KeyedArchiver::archive(Dict{{u"$null"_s, Value(u"$null"_s)}}).value();
    const Result<BinaryPlist> plist = BinaryPlist::parse(bytes);
    const auto objects = plist->root().value("$objects").items();
    for (size_t i = 1; i < objects.size(); ++i)
        EXPECT_NE(objects[i].toString(), u"$null"_s) << "object " << i;
    const Dict back = KeyedUnarchiver::unarchive(bytes).value().toDict();
    EXPECT_EQ(back.value(u"$null"_s), Value(u"$null"_s));
}

// Clears every list and dictionary reachable from v, so that test graphs with
// cycles do not outlive the test as leaks.
void dismantle(const Value &v, QSet<const void *> &seen)
{
    if (v.isDict()) {
        Dict d = v.toDict();
        if (seen.contains(d.identity()))
            return;
        seen.insert(d.identity());
        const Dict::Snapshot s = d.snapshot();
        d.clear();
        for (const auto &entry : s.entries())
            dismantle(entry.second, seen);
    } else if (v.isList()) {
        List l = v.toList();
        if (seen.contains(l.identity()))
            return;
        seen.insert(l.identity());
        const List::Items items = l.items();
        l.clear();
        for (const Value &item : items)
            dismantle(item, seen);
    }
}

Value selfContainingList()
{
    List l;
    l.append(Value(l));
    return Value(Dict{{u"l"_s, Value(l)}});
}

Value cycleThroughTwoDicts()
{
    Dict a;
    Dict b{{u"a"_s, Value(a)}};
    a.set(u"b"_s, Value(b));
    return Value(a);
}

Value nested(int depth)
{
    Value v(1);
    for (int i = 1; i < depth; ++i)
        v = Value(List(List::Items{v}));
    return Value(Dict{{u"deep"_s, v}});
}

TEST(ArchiveRefusal, SaysWhatCannotBeStored)
{
    const struct { const char *name; Value (*make)(); const char *error; } rows[] = {
        {"rootNotADictionary", [] { return Value(List()); }, "root must be a dictionary"},
        {"selfContainingList", selfContainingList, "contains itself"},
        {"cycleThroughTwoDicts", cycleThroughTwoDicts, "contains itself"},
        {"tooDeep", [] { return nested(KeyedUnarchiver::maxDepth + 1); }, "nesting deeper than 128"},
        {"unsignedAboveInt64",
         [] { return Value(Dict{{u"n"_s, Value(quint64(std::numeric_limits<qint64>::max()) + 1)}}); },
         "9223372036854775808 is too large"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const Value root = row.make();
        const Result<QByteArray> r = KeyedArchiver::archive(root);
        EXPECT_FALSE(r.ok());
        EXPECT_TRUE(r.error().contains(QLatin1StringView(row.error))) << r.error().toStdString();
        QSet<const void *> seen;
        dismantle(root, seen);
    }
}

TEST(KeyedArchiveRoundTrip, NestingUpToTheLimitIsKept)
{
    const Value deepest = nested(KeyedUnarchiver::maxDepth);
    EXPECT_EQ(roundTrip(deepest), deepest);
}

} // namespace
