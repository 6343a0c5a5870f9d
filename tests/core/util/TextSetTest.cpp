#include "util/TextSet.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

struct PairRow { const char *name; QString a; QString b; };

const PairRow kPairs[] = {
    {"ascii case", u"Ann@Example.ORG"_s, u"ann@example.org"_s},
    {"ascii different", u"ann@example.org"_s, u"anne@example.org"_s},
    {"ascii punctuation is not a letter", u"a[b"_s, u"a{b"_s},
    {"kelvin sign lowers to ascii k", u"\u212Aelvin@x.org"_s, u"KELVIN@x.org"_s},
    {"umlauts in both cases", u"JÜRGEN@x.de"_s, u"jürgen@x.de"_s},
    {"sharp s is not ss", u"straße@x.de"_s, u"STRASSE@x.de"_s},
    {"dotted capital I", u"\u0130nci@x.tr"_s, u"i\u0307nci@x.tr"_s},
    {"dotted capital I against plain i", u"\u0130nci@x.tr"_s, u"inci@x.tr"_s},
    {"greek capital and small sigma", u"\u03A3\u03A3"_s, u"\u03C3\u03C3"_s},
    {"same text", u"a@x.org"_s, u"a@x.org"_s},
    {"empty against null", u""_s, QString()},
};

// Ignoring case, two texts are one member exactly when QString::toLower()
// makes them equal, ASCII fast path or not: toLower() itself is the oracle.
// Exact texts are one member only when equal.
TEST(TextSet, TextsAreOneMemberExactlyWhenEqualOrTheirLowerCaseIsEqual)
{
    for (const PairRow &row : kPairs) {
        SCOPED_TRACE(row.name);
        for (const Qt::CaseSensitivity cs : {Qt::CaseInsensitive, Qt::CaseSensitive}) {
            SCOPED_TRACE(cs == Qt::CaseSensitive ? "exact" : "ignoring case");
            TextSet set(cs);
            ASSERT_TRUE(set.insert(row.a));
            const bool same = cs == Qt::CaseSensitive ? row.a == row.b : row.a.toLower() == row.b.toLower();
            EXPECT_EQ(set.contains(row.b), same);
            EXPECT_EQ(set.insert(row.b), !same);
        }
    }
}

TEST(TextSet, FindsEveryMemberAfterGrowingPastItsFirstSize)
{
    TextSet set(Qt::CaseInsensitive, 4);
    for (int i = 0; i < 5000; ++i)
        ASSERT_TRUE(set.insert(u"Person%1@Example.org"_s.arg(i)));
    int found = 0;
    for (int i = 0; i < 5000; ++i)
        found += set.contains(u"person%1@example.ORG"_s.arg(i)) ? 1 : 0;
    EXPECT_EQ(found, 5000);
    EXPECT_FALSE(set.contains(u"person5000@example.org"_s));
}

} // namespace
