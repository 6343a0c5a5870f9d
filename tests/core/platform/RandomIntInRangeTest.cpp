#include "ScriptedRandomSource.h"
#include "platform/RandomIntInRange.h"

#include <gtest/gtest.h>

#include <limits>

using namespace quillcast;

namespace {

constexpr qint64 minInt = std::numeric_limits<qint64>::min();
constexpr qint64 maxInt = std::numeric_limits<qint64>::max();
constexpr quint32 maxDraw = 2147483647;

TEST(Random, MapsDrawOntoRange)
{
    const struct { const char *name; qint64 lo; qint64 hi; quint32 draw; qint64 expected; } rows[] = {
        {"dieRoll", 1, 6, 13, 2},
        {"dieRollTopFace", 1, 6, 11, 6},
        {"singleValue", 5, 5, maxDraw, 5},
        {"negativeRange", -10, -1, 25, -5},
        {"wideRangeReachesOnly31Bits", 1, 32000000000000, maxDraw, 2147483648},
        {"spanBeyondSignedMaximum", -1, maxInt, 5, 4},
        {"fullRangeWrapsSpanToZero", minInt, maxInt, 7, minInt + 7},
        {"topOfRange", maxInt - 1, maxInt, 3, maxInt},
        {"reversedGivesLo", 5, 1, 3, 5},
    };
    for (const auto &row : rows) {
        ScriptedRandomSource random({row.draw});
        EXPECT_EQ(randomIntInRange(row.lo, row.hi, random), row.expected) << row.name;
    }
}

TEST(Random, ProcessGeneratorStaysInRange)
{
    for (int i = 0; i < 1000; ++i) {
        const qint64 n = randomIntInRange(-3, 3);
        ASSERT_GE(n, -3);
        ASSERT_LE(n, 3);
    }
}

} // namespace
