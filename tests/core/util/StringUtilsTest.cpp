#include "TestPrinters.h"
#include "util/LXStringUtils.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <optional>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

using StringOperation = QString (*)(const QString &);

// Ten units of width per UTF-16 unit, like a monospaced font.
qreal monospaced(const QString &text)
{
    return 10.0 * qreal(text.size());
}

TEST(StringUtils, CleaningGivesTheExpectedText)
{
    const struct { const char *name; StringOperation operation; QString input; QString expected; } rows[] = {
        {"spaceTrimKeepsTab", &LXStringUtils::trimLateralSpace, u" \tx "_s, u"\tx"_s},
        {"spaceTrimKeepsLineBreak", &LXStringUtils::trimLateralSpace, u"  x\n "_s, u"x\n"_s},
        {"spaceTrimKeepsNoBreakSpace", &LXStringUtils::trimLateralSpace, u"\u00a0x "_s, u"\u00a0x"_s},
        {"spaceTrimOfSpacesOnly", &LXStringUtils::trimLateralSpace, u"    "_s, u""_s},
        {"quoteTrimKeepsInnerQuote", &LXStringUtils::trimLateralQuote, u"\"\"a\"b\""_s, u"a\"b"_s},
        {"quoteTrimKeepsSpaces", &LXStringUtils::trimLateralQuote, u" \"a\" "_s, u" \"a\" "_s},
        {"newLinesMixedPairs", &LXStringUtils::stripNewLines, u"a\r\nb\n\rc"_s, u"abc"_s},
        {"newLinesKeepTab", &LXStringUtils::stripNewLines, u"a\tb\u2028"_s, u"a\tb\u2028"_s},
    };
    for (const auto &row : rows)
        EXPECT_EQ(row.operation(row.input), row.expected) << row.name;
}

// nullopt: no text left at all (a null string, not an empty one).
TEST(StringUtils, RemoveInitialSpacesDropsLeadingSpaceSeparators)
{
    const struct { const char *name; QString input; std::optional<QString> expected; } rows[] = {
        {"empty", u""_s, std::nullopt},
        {"spacesOnly", u"   "_s, std::nullopt},
        {"tabsAndUnicodeSpacesOnly", u"\t\u00a0\u2003"_s, std::nullopt},
        {"leadingTab", u"\tab"_s, u"ab"_s},
        {"innerSpaceStays", u"a b"_s, u"a b"_s},
        {"emSpace", u"\u2003x "_s, u"x "_s},
        {"lineBreakIsNotSpace", u" \nx"_s, u"\nx"_s},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QString result = LXStringUtils::removeInitialSpaces(row.input);
        EXPECT_EQ(result.isNull(), !row.expected) << result.toStdString();
        EXPECT_EQ(result, row.expected.value_or(QString()));
    }
}

TEST(StringUtils, SpaceTrimmedNotEmpyCountsOnlySpacesAsBlank)
{
    EXPECT_FALSE(LXStringUtils::spaceTrimmedNotEmpy(QString()));
    EXPECT_FALSE(LXStringUtils::spaceTrimmedNotEmpy(u"   "_s));
    EXPECT_TRUE(LXStringUtils::spaceTrimmedNotEmpy(u" \t "_s));
}

TEST(StringUtils, PaddingTrimmingAndFitting)
{
    const struct { const char *name; QString actual; QString expected; } rows[] = {
        {"pads", LXStringUtils::addLeading0(u"123"_s, 5), u"00123"_s},
        {"never truncates", LXStringUtils::addLeading0(u"123"_s, 2), u"123"_s},
        {"negative width", LXStringUtils::addLeading0(u"123"_s, -4), u"123"_s},
        {"pads empty", LXStringUtils::addLeading0(u""_s, 2), u"00"_s},
        {"keeps accepted in order", LXStringUtils::trimString(u"a1-b2"_s, u"0123456789"_s), u"12"_s},
        {"nothing accepted", LXStringUtils::trimString(u"a1-b2"_s, u""_s), u""_s},
        {"fits", LXStringUtils::trimStringToFit(u"abcd"_s, 40, monospaced), u"abcd"_s},
        {"longest start that fits", LXStringUtils::trimStringToFit(u"abcdef"_s, 50, monospaced), u"abc.."_s},
        {"one character when nothing fits", LXStringUtils::trimStringToFit(u"abcdef"_s, 5, monospaced), u"a.."_s},
        // "ab" and the first half of the emoji would fit.
        {"surrogate pair not split", LXStringUtils::trimStringToFit(u"ab\U0001F600cd"_s, 50, monospaced), u"ab.."_s},
        {"surrogate pair kept whole",
         LXStringUtils::trimStringToFit(u"\U0001F600\U0001F600"_s, 0, monospaced), u"\U0001F600.."_s},
    };
    for (const auto &row : rows)
        EXPECT_EQ(row.actual, row.expected) << row.name;
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
