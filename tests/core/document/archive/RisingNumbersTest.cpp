// The archiver's table of numbers met in rising order, against a plain map.
#include "document/archive/RisingNumbers.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <vector>

using namespace quillcast;

namespace {

struct RisingRow
{
    const char *name;
    std::vector<qint64> values; // rising
    std::vector<qint64> absent;
};

std::vector<qint64> counting(qint64 from, qint64 step, int count)
{
    std::vector<qint64> values;
    for (int i = 0; i < count; ++i)
        values.push_back(from + step * i);
    return values;
}

} // namespace

TEST(RisingNumbers, FindWhatWasPushedAndNothingElse)
{
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    constexpr qint64 highest = std::numeric_limits<qint64>::max();
    const RisingRow rows[] = {
        {"recordNumbersOverManyBlocks", counting(1, 1, 1000), {0, 1001, -1}},
        {"gapsBetweenBlocks", counting(10, 1000, 300), {11, 9, 299011, 64 * 1000 + 11}},
        {"theWholeRange", {lowest, -1, 0, highest}, {lowest + 1, 1, highest - 1}},
        {"oneNumber", {42}, {41, 43}},
    };
    for (const RisingRow &row : rows) {
        SCOPED_TRACE(row.name);
        RisingNumbers numbers;
        std::map<qint64, quint32> expected;
        quint32 uid = 5;
        for (qint64 v : row.values) {
            // UIDs rise by uneven steps, some far apart.
            uid += quint32(v % 3 == 0 ? 70000 : 7);
            numbers.push(v, uid);
            expected[v] = uid;
        }
        EXPECT_EQ(numbers.back(), row.values.back());
        for (const auto &[v, u] : expected)
            EXPECT_EQ(numbers.find(v), std::optional<quint32>(u)) << v;
        for (qint64 v : row.absent)
            EXPECT_EQ(numbers.find(v), std::nullopt) << v;

        using Pairs = std::vector<std::pair<qint64, quint32>>;
        Pairs walked;
        numbers.copy().forEach([&](qint64 v, quint32 u) { walked.emplace_back(v, u); });
        EXPECT_EQ(walked, Pairs(expected.begin(), expected.end()));
    }
}
