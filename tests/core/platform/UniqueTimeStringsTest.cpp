#include "TestPrinters.h"
#include "platform/FixedClock.h"
#include "ScriptedRandomSource.h"
#include "platform/UniqueTimeStrings.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

QDateTime utc(int year, int month, int day, int hour, int minute, int second)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), QTimeZone::utc());
}

TEST(UniqueTimeStrings, UniqueTimeStringReadsLocalTimeOfClock)
{
    EXPECT_EQ(UniqueTimeStrings::uniqueTimeString(FixedClock(utc(2026, 12, 5, 6, 59, 3))), u"20261205065903"_s);
    // 23:30 UTC is already the next day two hours east.
    const FixedClock east(utc(2026, 12, 31, 23, 30, 0), QTimeZone(2 * 3600));
    EXPECT_EQ(UniqueTimeStrings::uniqueTimeString(east), u"20270101013000"_s);
    EXPECT_EQ(UniqueTimeStrings::uniqueTimeString(FixedClock(utc(987, 1, 2, 3, 4, 5))), u"9870102030405"_s);
}

TEST(UniqueTimeStrings, UniqueTimeRandStringPadsRandomNumberToFiveDigits)
{
    const FixedClock clock(utc(2026, 12, 5, 6, 59, 3));
    ScriptedRandomSource small({41});
    EXPECT_EQ(UniqueTimeStrings::uniqueTimeRandString(clock, small), u"2026120506590300042"_s);
    ScriptedRandomSource largest({2147483647});
    EXPECT_EQ(UniqueTimeStrings::uniqueTimeRandString(clock, largest), u"202612050659032147483648"_s);
}

TEST(UniqueTimeStrings, SerialCountsWithinOneSecondAndRestartsInTheNext)
{
    FixedClock clock(utc(2026, 12, 5, 6, 59, 3));
    EXPECT_EQ(UniqueTimeStrings::uniqueTimeSerialString(clock), u"202612050659030"_s);
    clock.advance(400);
    EXPECT_EQ(UniqueTimeStrings::uniqueTimeSerialString(clock), u"202612050659031"_s);
    clock.advance(500);
    EXPECT_EQ(UniqueTimeStrings::uniqueTimeSerialString(clock), u"202612050659032"_s);
    clock.advance(100);
    EXPECT_EQ(UniqueTimeStrings::uniqueTimeSerialString(clock), u"202612050659040"_s);
}

TEST(UniqueTimeStrings, SerialRestartsWheneverTimeStringChanges)
{
    EXPECT_EQ(UniqueTimeStrings::getNewSerialForTimeString(u"A"_s), u"0"_s);
    EXPECT_EQ(UniqueTimeStrings::getNewSerialForTimeString(u"A"_s), u"1"_s);
    EXPECT_EQ(UniqueTimeStrings::getNewSerialForTimeString(u"B"_s), u"0"_s);
    EXPECT_EQ(UniqueTimeStrings::getNewSerialForTimeString(u"A"_s), u"0"_s);
}

} // namespace
