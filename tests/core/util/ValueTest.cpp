#include "TestPrinters.h"
#include "util/Value.h"

#include <gtest/gtest.h>

#include <QTimeZone>

#include <algorithm>
#include <limits>
#include <optional>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();

TEST(ValueReading, ReadsAsBoolIntegerAndText)
{
    const struct { const char *name; Value value; bool asBool; qint64 asInt; QString asString; } rows[] = {
        {"missing", Value(), false, 0, u""_s},
        {"true", Value(true), true, 1, u"1"_s},
        {"false", Value(false), false, 0, u"0"_s},
        {"negative", Value(-42), true, -42, u"-42"_s},
        {"unsigned above signed", Value(std::numeric_limits<quint64>::max()), true, kMax, u"18446744073709551615"_s},
        {"real truncates", Value(2.9), true, 2, u"2.8999999999999999"_s},
        {"text leading zeros", Value(u"007"_s), true, 7, u"007"_s},
        {"text trailing letters", Value(u"12abc"_s), true, 12, u"12abc"_s},
        {"text leading space and sign", Value(u"  -3x"_s), true, -3, u"  -3x"_s},
        {"text YES", Value(u"YES"_s), true, 0, u"YES"_s},
        {"text no", Value(u"no"_s), false, 0, u"no"_s},
        {"text zeros", Value(u"000"_s), false, 0, u"000"_s},
        {"text empty", Value(u""_s), false, 0, u""_s},
        {"text huge", Value(u"99999999999999999999999"_s), true, kMax, u"99999999999999999999999"_s},
        {"text huge negative", Value(u"-99999999999999999999999"_s), true, kMin, u"-99999999999999999999999"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.value.toBool(), row.asBool);
        EXPECT_EQ(row.value.toInt64(), row.asInt);
        EXPECT_EQ(row.value.toString(), row.asString);
        // Read out of a record, alone or through a snapshot: the same answer.
        const Dict record{{u"2"_s, row.value}, {u"3"_s, u"a@b.de"_s}};
        EXPECT_EQ(record.boolValue(u"2"_s), row.asBool);
        EXPECT_EQ(record.intValue(u"2"_s), row.asInt);
        EXPECT_EQ(record.snapshot().boolValue(u"2"_s), row.asBool);
        EXPECT_EQ(record.snapshot().intValue(u"2"_s), row.asInt);
    }
    // Values that are no flag and no number, and a key the record lacks.
    const Dict nested{{u"2"_s, Value(Dict{{u"2"_s, true}})},
                      {u"4"_s, Value(QDateTime::fromSecsSinceEpoch(86400, QTimeZone::utc()))},
                      {u"5"_s, Value(List({Value(1)}))}};
    for (const QString &key : {u"2"_s, u"4"_s, u"5"_s, u"6"_s}) {
        SCOPED_TRACE(key.toStdString());
        EXPECT_FALSE(nested.boolValue(key));
        EXPECT_EQ(nested.intValue(key), 0);
    }
    EXPECT_EQ(Value(u"99999999999"_s).toInt32(), std::numeric_limits<qint32>::max());
    EXPECT_EQ(Value(u"-99999999999"_s).toInt32(), std::numeric_limits<qint32>::min());
    EXPECT_EQ(Value(qint64(1) << 40).toInt32(), std::numeric_limits<qint32>::max());
}

const char16_t kRaw[] = u"raw text";

TEST(ValueKinds, KeepTheirKindAndContentThroughCopyMoveAndSwap)
{
    const struct { const char *name; Value value; Value::Type type; } rows[] = {
        {"none", Value(), Value::Type::Null},
        {"boolean", Value(true), Value::Type::Bool},
        {"smallest integer", Value(kMin), Value::Type::Int},
        {"largest unsigned", Value(std::numeric_limits<quint64>::max()), Value::Type::UInt},
        {"real", Value(-0.5), Value::Type::Real},
        {"literal string", Value(u"literal"_s), Value::Type::String},
        {"heap string", Value(QString::number(1234567)), Value::Type::String},
        {"raw data string", Value(QString::fromRawData(reinterpret_cast<const QChar *>(kRaw), 8)), Value::Type::String},
        {"null string", Value(QString()), Value::Type::String},
        {"string view", Value(QStringView(u"a view")), Value::Type::String},
        {"date", Value(QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC)), Value::Type::Date},
        {"bytes with NUL", Value(QByteArray("a\0b", 3)), Value::Type::Bytes},
        {"list", Value(List({Value(1), Value(u"x"_s)})), Value::Type::List},
        {"dictionary", Value(Dict{{u"k"_s, u"v"_s}}), Value::Type::Dict},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(row.value.type(), row.type);
        Value copy(row.value);
        EXPECT_EQ(copy.type(), row.type);
        Value moved(std::move(copy));
        EXPECT_EQ(moved, row.value);
        EXPECT_TRUE(copy.isNull());
        Value assigned(u"before"_s);
        assigned = moved;
        EXPECT_EQ(assigned, row.value);
        Value other(42);
        swap(other, assigned);
        EXPECT_EQ(other, row.value);
        EXPECT_EQ(assigned, Value(42));
        Value &same = other;
        swap(other, same);
        other = same;
        other = std::move(same);
        EXPECT_EQ(other, row.value);
    }
}

TEST(ValueIdentity, DeepCopyIsANewObjectThatComparesEqual)
{
    Dict inner{{u"x"_s, 1}};
    Dict outer{{u"inner"_s, inner}, {u"list"_s, List({Value(u"a"_s)})}};
    Dict copy = outer.deepCopy();
    EXPECT_FALSE(Dict::sameObject(copy, outer));
    EXPECT_FALSE(Dict::sameObject(copy.value(u"inner"_s).toDict(), inner));
    EXPECT_EQ(Value(copy), Value(outer));
    inner.set(u"x"_s, 2);
    EXPECT_NE(Value(copy), Value(outer));
}

TEST(ValueDict, LaterDuplicateKeyWinsOnConstruction)
{
    Dict d{{u"k"_s, 1}, {u"k"_s, 2}};
    EXPECT_EQ(d.intValue(u"k"_s), 2);
    EXPECT_EQ(d.size(), 1);
}

TEST(ValueDict, SnapshotKeepsAFlagThatIsFlippedLater)
{
    Dict d{{u"2"_s, false}, {u"3"_s, u"a@x.org"_s}};
    const Dict::Snapshot before = d.snapshot();
    EXPECT_TRUE(d.set(u"2"_s, true));
    EXPECT_FALSE(before.boolValue(u"2"_s));
    EXPECT_TRUE(d.boolValue(u"2"_s));
}

TEST(ValueDict, EntriesOutliveTheirSnapshotAndDictionary)
{
    std::optional<Dict::EntryRange> entries;
    {
        Dict d{{u"a"_s, QString::number(12345)}};
        entries = d.snapshot().entries();
        d.set(u"a"_s, u"replaced"_s);
    }
    ASSERT_EQ(entries->size(), 1);
    EXPECT_EQ((*entries)[0].first, u"a"_s);
    EXPECT_EQ((*entries)[0].second.toString(), u"12345"_s);
}

// A record as read or imported is made over a key set, its first version in
// one block with the record: either may go first, and a flag is still ticked
// where it stands.
TEST(ValueDict, RecordsMadeOverAKeySetAndTheirFirstVersionOutliveEachOther)
{
    const Dict::KeySet keys(QStringList{u"sel"_s, u"email"_s});
    const auto record = [&](const char16_t *email) {
        std::vector<Value> values{Value(QString::fromUtf16(email)), Value(false)};
        return Dict(keys, values);
    };

    std::optional<Dict::EntryRange> first;
    {
        Dict d = record(u"a@x.org");
        const Dict copy = d;
        first = d.snapshot().entries();
        EXPECT_TRUE(d.set(u"email"_s, u"b@x.org"_s));
    }
    ASSERT_EQ(first->size(), 2);
    EXPECT_EQ((*first)[0].second.toString(), u"a@x.org"_s);

    Dict d = record(u"c@x.org");
    const Value *flag = &d.snapshot().entries()[1].second;
    EXPECT_TRUE(d.set(u"sel"_s, true));
    EXPECT_EQ(&d.snapshot().entries()[1].second, flag) << "ticked in place, nobody else holding it";
    EXPECT_TRUE(d.set(u"email"_s, u"d@x.org"_s));
    EXPECT_TRUE(d.set(u"sel"_s, false));
    EXPECT_EQ(d.stringValue(u"email"_s), u"d@x.org"_s);
    EXPECT_FALSE(d.boolValue(u"sel"_s));
}

TEST(ValueDict, DictionariesWithTheSameKeysStayApart)
{
    Dict a{{u"1"_s, 1}, {u"2"_s, false}};
    Dict b{{u"1"_s, 2}, {u"2"_s, false}};
    b.set(u"3"_s, u"x"_s);
    a.set(u"2"_s, true);
    a.remove(u"1"_s);
    EXPECT_EQ(a.keys(), QStringList({u"2"_s}));
    EXPECT_EQ(b.keys(), QStringList({u"1"_s, u"2"_s, u"3"_s}));
    EXPECT_EQ(b.intValue(u"1"_s), 2);
    EXPECT_FALSE(b.boolValue(u"2"_s));
}

TEST(ValueDict, SetTellsWhetherTheDictionaryChanged)
{
    const struct { const char *name; Value stored; Value written; bool changes; } rows[] = {
        {"same boolean", Value(true), Value(true), false},
        {"other boolean", Value(true), Value(false), true},
        {"integer over an equal boolean", Value(true), Value(1), true},
        {"real over an equal integer", Value(1), Value(1.0), true},
        {"same text", Value(u"a"_s), Value(QString(u"a"_s)), false},
        {"boolean over a text", Value(u"1"_s), Value(true), true},
        {"text over a boolean", Value(true), Value(u"1"_s), true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        Dict d{{u"2"_s, row.stored}, {u"3"_s, u"a@x.org"_s}};
        EXPECT_EQ(d.set(u"2"_s, row.written), row.changes);
        EXPECT_EQ(d.value(u"2"_s).type(), row.changes ? row.written.type() : row.stored.type());
    }
}

TEST(ValueDict, SettingNoValueRemovesTheKeyAndRemovingAMissingKeyChangesNothing)
{
    Dict d{{u"a"_s, 1}};
    EXPECT_FALSE(d.remove(u"b"_s));
    EXPECT_FALSE(d.set(u"b"_s, Value()));
    EXPECT_TRUE(d.set(u"a"_s, Value()));
    EXPECT_TRUE(d.isEmpty());
}

TEST(ValueDict, KeysAreInStringOrder)
{
    QStringList keys{u"2"_s, u"10"_s, u"1"_s, u"b"_s, u"B"_s, u"\u00e4"_s, u"\U0001F600"_s, u"\uFFFD"_s, u""_s, u"1 "_s};
    Dict::Entries entries;
    for (const QString &k : keys)
        entries.emplace_back(k, Value(k));
    const Dict d(entries);
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(d.keys(), keys);
}

TEST(ValueEquality, EqualContentComparesEqualWhicheverWayItWasBuilt)
{
    const Dict first{{u"1"_s, 1}, {u"3"_s, u"a@x.org"_s}};
    std::vector<Dict> others; // records with other keys in between, so the second is built apart
    for (int i = 0; i < 20; ++i)
        others.push_back(Dict{{QString::number(i + 100), i}});
    Dict second{{u"1"_s, 1}};
    second.set(u"3"_s, u"a@x.org"_s);
    EXPECT_EQ(Value(first), Value(second));
    second.set(u"3"_s, u"b@x.org"_s);
    EXPECT_NE(Value(first), Value(second));
}

TEST(ValueEquality, NumbersCompareByValueButBooleansOnlyWithBooleans)
{
    EXPECT_EQ(Value(5), Value(quint64(5)));
    EXPECT_EQ(Value(5), Value(5.0));
    EXPECT_NE(Value(-1), Value(std::numeric_limits<quint64>::max()));
    EXPECT_NE(Value(true), Value(1));
    EXPECT_NE(Value(u"1"_s), Value(1));
    EXPECT_NE(Value(), Value(u""_s));
}

TEST(ValueList, RemoveAllOfADictRemovesThatObjectOnly)
{
    Dict a{{u"3"_s, u"x"_s}};
    Dict twin{{u"3"_s, u"x"_s}};
    List l({Value(a), Value(twin), Value(a)});
    EXPECT_EQ(l.removeAll(a), 2);
    ASSERT_EQ(l.size(), 1);
    EXPECT_TRUE(Dict::sameObject(l.at(0).toDict(), twin));
}

} // namespace
