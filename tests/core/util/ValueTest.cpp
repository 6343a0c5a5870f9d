#include "TestPrinters.h"
#include "util/Value.h"

#include <gtest/gtest.h>

#include <limits>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

struct ReadingRow
{
    const char *name;
    Value value;
    bool asBool;
    qint64 asInt;
    QString asString;
};

void PrintTo(const ReadingRow &row, std::ostream *os)
{
    *os << row.name;
}

class ValueReading : public ::testing::TestWithParam<ReadingRow>
{
};

TEST_P(ValueReading, ReadsAsBoolIntegerAndText)
{
    const ReadingRow &row = GetParam();
    EXPECT_EQ(row.value.toBool(), row.asBool);
    EXPECT_EQ(row.value.toInt64(), row.asInt);
    EXPECT_EQ(row.value.toString(), row.asString);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ValueReading,
    ::testing::Values(
        ReadingRow{"missing", Value(), false, 0, u""_s},
        ReadingRow{"true", Value(true), true, 1, u"1"_s},
        ReadingRow{"false", Value(false), false, 0, u"0"_s},
        ReadingRow{"negative", Value(-42), true, -42, u"-42"_s},
        ReadingRow{"unsignedAboveSigned", Value(std::numeric_limits<quint64>::max()), true,
                   std::numeric_limits<qint64>::max(), u"18446744073709551615"_s},
        ReadingRow{"realTruncates", Value(2.9), true, 2, u"2.8999999999999999"_s},
        ReadingRow{"textLeadingZeros", Value(u"007"_s), true, 7, u"007"_s},
        ReadingRow{"textTrailingLetters", Value(u"12abc"_s), true, 12, u"12abc"_s},
        ReadingRow{"textLeadingSpaceAndSign", Value(u"  -3x"_s), true, -3, u"  -3x"_s},
        ReadingRow{"textYes", Value(u"YES"_s), true, 0, u"YES"_s},
        ReadingRow{"textNo", Value(u"no"_s), false, 0, u"no"_s},
        ReadingRow{"textZero", Value(u"000"_s), false, 0, u"000"_s},
        ReadingRow{"textEmpty", Value(u""_s), false, 0, u""_s},
        ReadingRow{"textHuge", Value(u"99999999999999999999999"_s), true, std::numeric_limits<qint64>::max(),
                   u"99999999999999999999999"_s},
        ReadingRow{"textHugeNegative", Value(u"-99999999999999999999999"_s), true,
                   std::numeric_limits<qint64>::min(), u"-99999999999999999999999"_s}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(ValueReading, Int32SaturatesText)
{
    EXPECT_EQ(Value(u"99999999999"_s).toInt32(), std::numeric_limits<qint32>::max());
    EXPECT_EQ(Value(u"-99999999999"_s).toInt32(), std::numeric_limits<qint32>::min());
    EXPECT_EQ(Value(qint64(1) << 40).toInt32(), std::numeric_limits<qint32>::max());
}

TEST(ValueIdentity, CopiesOfADictAreOneRecord)
{
    Dict record{{u"3"_s, u"a@example.com"_s}};
    List database;
    List sendList;
    database.append(record);
    sendList.append(database.at(0));

    sendList.at(0).toDict().set(u"2"_s, true);

    EXPECT_TRUE(database.at(0).toDict().boolValue(u"2"_s));
    EXPECT_TRUE(Dict::sameObject(database.at(0).toDict(), sendList.at(0).toDict()));
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

TEST(ValueDict, SettingNoValueRemovesTheKey)
{
    Dict d{{u"a"_s, 1}, {u"b"_s, 2}};
    d.set(u"a"_s, Value());
    EXPECT_FALSE(d.contains(u"a"_s));
    EXPECT_EQ(d.size(), 1);
}

TEST(ValueDict, LaterDuplicateKeyWinsOnConstruction)
{
    Dict d{{u"k"_s, 1}, {u"k"_s, 2}};
    EXPECT_EQ(d.intValue(u"k"_s), 2);
    EXPECT_EQ(d.size(), 1);
}

TEST(ValueDict, SnapshotDoesNotSeeLaterEdits)
{
    Dict d{{u"k"_s, u"old"_s}};
    const Dict::Snapshot before = d.snapshot();
    d.set(u"k"_s, u"new"_s);
    EXPECT_EQ(before.stringValue(u"k"_s), u"old"_s);
    EXPECT_EQ(d.stringValue(u"k"_s), u"new"_s);
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
