#include "database/CaseFoldedSet.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

// Two texts are one member exactly when QString::toLower() makes them equal,
// ASCII fast path or not; toLower() itself is the oracle.
TEST(CaseFoldedSet, TextsAreOneMemberExactlyWhenTheirLowerCaseIsEqual)
{
    const struct
    {
        const char *name;
        QString a;
        QString b;
    } rows[] = {
        {"ascii case", u"Ann@Example.ORG"_s, u"ann@example.org"_s},
        {"ascii different", u"ann@example.org"_s, u"anne@example.org"_s},
        {"ascii punctuation is not a letter", u"a[b"_s, u"a{b"_s},
        {"kelvin sign lowers to ascii k", u"\u212Aelvin@x.org"_s, u"KELVIN@x.org"_s},
        {"umlauts in both cases", u"JÜRGEN@x.de"_s, u"jürgen@x.de"_s},
        {"sharp s is not ss", u"straße@x.de"_s, u"STRASSE@x.de"_s},
        {"dotted capital I", u"\u0130nci@x.tr"_s, u"i\u0307nci@x.tr"_s},
        {"dotted capital I against plain i", u"\u0130nci@x.tr"_s, u"inci@x.tr"_s},
        {"greek capital and small sigma", u"\u03A3\u03A3"_s, u"\u03C3\u03C3"_s},
        {"empty against empty", u""_s, QString()},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        CaseFoldedSet set;
        ASSERT_TRUE(set.insert(row.a));
        EXPECT_EQ(set.insert(row.b), row.a.toLower() != row.b.toLower());
    }
}

TEST(CaseFoldedSet, FindsEveryMemberAfterGrowingPastItsFirstSize)
{
    CaseFoldedSet set(4);
    for (int i = 0; i < 5000; ++i)
        ASSERT_TRUE(set.insert(u"Person%1@Example.org"_s.arg(i)));
    int found = 0;
    for (int i = 0; i < 5000; ++i)
        found += set.insert(u"person%1@example.ORG"_s.arg(i)) ? 0 : 1;
    EXPECT_EQ(found, 5000);
    EXPECT_EQ(set.size(), 5000);
}

} // namespace
