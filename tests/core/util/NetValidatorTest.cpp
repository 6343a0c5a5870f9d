#include "TestPrinters.h"
#include "util/LXEmailValidator.h"
#include "util/LXNetValidator.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

using Check = bool (*)(const QString &);

struct CheckRow
{
    const char *name;
    Check check;
    QString text;
    bool expected;
};

void PrintTo(const CheckRow &row, std::ostream *os)
{
    *os << row.name;
}

class AddressCheck : public ::testing::TestWithParam<CheckRow>
{
};

TEST_P(AddressCheck, AcceptsOrRefuses)
{
    const CheckRow &row = GetParam();
    EXPECT_EQ(row.check(row.text), row.expected) << row.text.toStdString();
}

const QString letters63 = QString(63, u'a');
const QString letters64 = QString(64, u'a');

constexpr Check email = &LXNetValidator::isValidEmail;
constexpr Check multiple = &LXNetValidator::isValidEmailAlsoMultiple;
constexpr Check domain = &LXNetValidator::isValidDomain;
constexpr Check numeric = &LXNetValidator::isNumericDomain;
constexpr Check oldEmail = &LXEmailValidator::isValidEmail;
constexpr Check oldDomain = &LXEmailValidator::isValidDomain;

INSTANTIATE_TEST_SUITE_P(
    NetValidator, AddressCheck,
    ::testing::Values(
        CheckRow{"plainAddress", email, u"jane.doe+news@mail.example.org"_s, true},
        CheckRow{"spacesAroundAreTrimmed", email, u"  jane@example.org  "_s, true},
        CheckRow{"tabBeforeIsNotTrimmed", email, u"\tjane@example.org"_s, false},
        CheckRow{"lineBreakAfterIsNotTrimmed", email, u"jane@example.org\n"_s, false},
        CheckRow{"spaceInside", email, u"jane doe@example.org"_s, false},
        CheckRow{"nonAsciiLocalPart", email, u"j\u00f6rg@example.org"_s, false},
        CheckRow{"apostropheInLocalPart", email, u"o'brien@example.org"_s, true},
        CheckRow{"everyAtomCharacterInLocalPart", email, u"!#$%&'*+-/=?^_`{|}~@example.org"_s, true},
        CheckRow{"slashAndBraces", email, u"sales/eu{1}@example.org"_s, true},
        CheckRow{"dotsStillAnywhere", email, u".a..b.@example.org"_s, true},
        CheckRow{"quoteInLocalPart", email, u"o\"brien@example.org"_s, false},
        CheckRow{"commaInLocalPart", email, u"a,b@example.org"_s, false},
        CheckRow{"angleBracketInLocalPart", email, u"a<b@example.org"_s, false},
        CheckRow{"parenthesisInLocalPart", email, u"a(b)@example.org"_s, false},
        CheckRow{"colonInLocalPart", email, u"a:b@example.org"_s, false},
        CheckRow{"semicolonInLocalPart", email, u"a;b@example.org"_s, false},
        CheckRow{"backslashInLocalPart", email, u"a\\b@example.org"_s, false},
        CheckRow{"bracketInLocalPart", email, u"a[b]@example.org"_s, false},
        CheckRow{"apostropheInDomain", email, u"ann@o'brien.org"_s, false},
        CheckRow{"twoAtSigns", email, u"a@b@example.org"_s, false},
        CheckRow{"displayNameForm", email, u"Jane <jane@example.org>"_s, false},
        CheckRow{"addressInsideLongerText", email, u"mail jane@example.org now"_s, false},
        CheckRow{"empty", email, u""_s, false},
        CheckRow{"null", email, QString(), false},
        CheckRow{"lastLabelOneLetter", email, u"x@example.c"_s, false},
        CheckRow{"lastLabelTwoLetters", email, u"x@example.de"_s, true},
        CheckRow{"lastLabelSixLetters", email, u"x@example.museum"_s, true},
        CheckRow{"lastLabelSevenLetters", email, u"x@example.company"_s, true},
        CheckRow{"lastLabelElevenLetters", email, u"x@example.photography"_s, true},
        CheckRow{"lastLabel63Letters", email, u"x@example."_s + letters63, true},
        CheckRow{"lastLabel64Letters", email, u"x@example."_s + letters64, false},
        CheckRow{"noDotInDomain", email, u"x@localhost"_s, false},

        CheckRow{"multipleTwoByComma", multiple, u"a@example.org,b@example.net"_s, true},
        CheckRow{"multipleBySemicolon", multiple, u"a@example.org;b@example.net"_s, false},
        CheckRow{"multipleSecondInvalid", multiple, u"a@example.org,b@example"_s, false},
        CheckRow{"multipleEmpty", multiple, u""_s, true},
        CheckRow{"multipleNull", multiple, QString(), true},
        CheckRow{"multipleOnlyComma", multiple, u","_s, true},
        CheckRow{"multipleTrailingComma", multiple, u"a@example.org,"_s, true},
        CheckRow{"multipleTrailingCommaSpace", multiple, u"a@example.org, "_s, false},
        CheckRow{"multipleWithApostrophes", multiple, u"o'brien@example.ie,d'arcy@example.fr"_s, true},
        CheckRow{"multipleLongTopLevelDomain", multiple, u"a@example.services,b@example.de"_s, true},

        CheckRow{"domainPlain", domain, u"mail.example.org"_s, true},
        CheckRow{"domainTrimmed", domain, u" example.org "_s, true},
        CheckRow{"domainHyphenInside", domain, u"my--host.example.org"_s, true},
        CheckRow{"domainLeadingHyphen", domain, u"-host.example.org"_s, false},
        CheckRow{"domainSingleLabel", domain, u"localhost"_s, false},
        CheckRow{"domainTrailingLineBreak", domain, u"example.org\n"_s, false},
        CheckRow{"domainLongTopLevel", domain, u"example.photography"_s, true},
        CheckRow{"domainTopLevel64Letters", domain, u"example."_s + letters64, false},
        CheckRow{"domainTopLevelOneLetter", domain, u"example.c"_s, false},

        CheckRow{"numericTwoDigitGroups", numeric, u"10.20.30.40"_s, true},
        CheckRow{"numericThreeDigitGroups", numeric, u" 192.168.100.254 "_s, true},
        CheckRow{"numericOneDigitGroup", numeric, u"192.168.1.10"_s, false},
        CheckRow{"numericLetters", numeric, u"10.20.30.4a"_s, false},

        CheckRow{"oldEmailFourLetters", oldEmail, u"x@example.info"_s, true},
        CheckRow{"oldEmailFiveLetters", oldEmail, u"x@example.email"_s, false},
        CheckRow{"oldEmailNotTrimmed", oldEmail, u" x@example.org"_s, false},
        CheckRow{"oldDomainFiveLetters", oldDomain, u"example.email"_s, false}),
    [](const auto &row) { return std::string(row.param.name); });

} // namespace
