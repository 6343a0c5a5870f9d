#include "TestPrinters.h"
#include "util/LXStringUtils.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <optional>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

using StringOperation = QString (*)(const QString &);

struct CleaningRow
{
    const char *name;
    StringOperation operation;
    QString input;
    QString expected;
};

void PrintTo(const CleaningRow &row, std::ostream *os)
{
    *os << row.name;
}

class Cleaning : public ::testing::TestWithParam<CleaningRow>
{
};

TEST_P(Cleaning, GivesExpectedText)
{
    const CleaningRow &row = GetParam();
    EXPECT_EQ(row.operation(row.input), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    StringUtils, Cleaning,
    ::testing::Values(
        CleaningRow{"spaceTrimKeepsTab", &LXStringUtils::trimLateralSpace, u" \tx "_s, u"\tx"_s},
        CleaningRow{"spaceTrimKeepsLineBreak", &LXStringUtils::trimLateralSpace, u"  x\n "_s, u"x\n"_s},
        CleaningRow{"spaceTrimKeepsNoBreakSpace", &LXStringUtils::trimLateralSpace, u"\u00a0x "_s, u"\u00a0x"_s},
        CleaningRow{"spaceTrimOfSpacesOnly", &LXStringUtils::trimLateralSpace, u"    "_s, u""_s},
        CleaningRow{"quoteTrimKeepsInnerQuote", &LXStringUtils::trimLateralQuote, u"\"\"a\"b\""_s, u"a\"b"_s},
        CleaningRow{"quoteTrimKeepsSpaces", &LXStringUtils::trimLateralQuote, u" \"a\" "_s, u" \"a\" "_s},
        CleaningRow{"newLinesMixedPairs", &LXStringUtils::stripNewLines, u"a\r\nb\n\rc"_s, u"abc"_s},
        CleaningRow{"newLinesKeepTab", &LXStringUtils::stripNewLines, u"a\tb\u2028"_s, u"a\tb\u2028"_s}),
    [](const auto &row) { return std::string(row.param.name); });

struct InitialSpacesRow
{
    const char *name;
    QString input;
    std::optional<QString> expected;
};

void PrintTo(const InitialSpacesRow &row, std::ostream *os)
{
    *os << row.name;
}

class InitialSpaces : public ::testing::TestWithParam<InitialSpacesRow>
{
};

TEST_P(InitialSpaces, RemovesLeadingSpaceSeparators)
{
    const InitialSpacesRow &row = GetParam();
    const QString result = LXStringUtils::removeInitialSpaces(row.input);
    if (!row.expected) {
        EXPECT_TRUE(result.isNull()) << result.toStdString();
    } else {
        EXPECT_FALSE(result.isNull());
        EXPECT_EQ(result, *row.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    StringUtils, InitialSpaces,
    ::testing::Values(InitialSpacesRow{"empty", u""_s, std::nullopt},
                      InitialSpacesRow{"spacesOnly", u"   "_s, std::nullopt},
                      InitialSpacesRow{"tabsAndUnicodeSpacesOnly", u"\t\u00a0\u2003"_s, std::nullopt},
                      InitialSpacesRow{"leadingTab", u"\tab"_s, u"ab"_s},
                      InitialSpacesRow{"innerSpaceStays", u"a b"_s, u"a b"_s},
                      InitialSpacesRow{"emSpace", u"\u2003x "_s, u"x "_s},
                      InitialSpacesRow{"lineBreakIsNotSpace", u" \nx"_s, u"\nx"_s}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(StringUtils, SpaceTrimmedNotEmpyCountsOnlySpacesAsBlank)
{
    EXPECT_FALSE(LXStringUtils::spaceTrimmedNotEmpy(QString()));
    EXPECT_FALSE(LXStringUtils::spaceTrimmedNotEmpy(u"   "_s));
    EXPECT_TRUE(LXStringUtils::spaceTrimmedNotEmpy(u" \t "_s));
}

TEST(StringUtils, AddLeading0PadsButNeverTruncates)
{
    EXPECT_EQ(LXStringUtils::addLeading0(u"123"_s, 5), u"00123"_s);
    EXPECT_EQ(LXStringUtils::addLeading0(u"123"_s, 2), u"123"_s);
    EXPECT_EQ(LXStringUtils::addLeading0(u"123"_s, -4), u"123"_s);
    EXPECT_EQ(LXStringUtils::addLeading0(u""_s, 2), u"00"_s);
}

TEST(StringUtils, TrimStringKeepsOnlyAcceptedCharactersInOrder)
{
    EXPECT_EQ(LXStringUtils::trimString(u"a1-b2"_s, u"0123456789"_s), u"12"_s);
    EXPECT_EQ(LXStringUtils::trimString(u"a1-b2"_s, u""_s), u""_s);
}

// Ten units of width per UTF-16 unit, like a monospaced font.
qreal monospaced(const QString &text)
{
    return 10.0 * qreal(text.size());
}

TEST(StringUtils, TrimStringToFitKeepsTextThatFits)
{
    EXPECT_EQ(LXStringUtils::trimStringToFit(u"abcd"_s, 40, monospaced), u"abcd"_s);
}

TEST(StringUtils, TrimStringToFitShortensToLongestStartThatFits)
{
    EXPECT_EQ(LXStringUtils::trimStringToFit(u"abcdef"_s, 50, monospaced), u"abc.."_s);
}

TEST(StringUtils, TrimStringToFitKeepsOneCharacterEvenWhenNothingFits)
{
    EXPECT_EQ(LXStringUtils::trimStringToFit(u"abcdef"_s, 5, monospaced), u"a.."_s);
}

TEST(StringUtils, TrimStringToFitNeverSplitsSurrogatePair)
{
    // "ab" + U+1F600 + "cd": "ab" and the first half of the emoji would fit.
    const QString text = u"ab\U0001F600cd"_s;
    EXPECT_EQ(LXStringUtils::trimStringToFit(text, 50, monospaced), u"ab.."_s);
    EXPECT_EQ(LXStringUtils::trimStringToFit(u"\U0001F600\U0001F600"_s, 0, monospaced), u"\U0001F600.."_s);
}

TEST(StringUtils, UuidStringIsUpperCaseAndFresh)
{
    static const QRegularExpression form(
        QRegularExpression::anchoredPattern(u"[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}"_s));
    const QString uuid = LXStringUtils::createUUIDString();
    EXPECT_TRUE(form.match(uuid).hasMatch()) << uuid.toStdString();
    EXPECT_NE(LXStringUtils::uniqueUUIDString(), uuid);
}

} // namespace
