#include "TestPrinters.h"
#include "util/LXEmailValidator.h"
#include "util/LXNetValidator.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

using Check = bool (*)(const QString &);

struct CheckRow { const char *name; Check check; QString text; bool expected; };

const QString letters63 = QString(63, u'a');
const QString letters64 = QString(64, u'a');

constexpr Check email = &LXNetValidator::isValidEmail;
constexpr Check multiple = &LXNetValidator::isValidEmailAlsoMultiple;
constexpr Check domain = &LXNetValidator::isValidDomain;
constexpr Check numeric = &LXNetValidator::isNumericDomain;
constexpr Check oldEmail = &LXEmailValidator::isValidEmail;
constexpr Check oldDomain = &LXEmailValidator::isValidDomain;

TEST(NetValidator, AcceptsOrRefuses)
{
    const CheckRow rows[] = {
        {"plainAddress", email, u"jane.doe+news@mail.example.org"_s, true},
        {"spacesAroundAreTrimmed", email, u"  jane@example.org  "_s, true},
        {"tabBeforeIsNotTrimmed", email, u"\tjane@example.org"_s, false},
        {"lineBreakAfterIsNotTrimmed", email, u"jane@example.org\n"_s, false},
        {"spaceInside", email, u"jane doe@example.org"_s, false},
        {"nonAsciiLocalPart", email, u"j\u00f6rg@example.org"_s, false},
        {"apostropheInLocalPart", email, u"o'brien@example.org"_s, true},
        {"everyAtomCharacterInLocalPart", email, u"!#$%&'*+-/=?^_`{|}~@example.org"_s, true},
        {"slashAndBraces", email, u"sales/eu{1}@example.org"_s, true},
        {"dotsStillAnywhere", email, u".a..b.@example.org"_s, true},
        {"quoteInLocalPart", email, u"o\"brien@example.org"_s, false},
        {"commaInLocalPart", email, u"a,b@example.org"_s, false},
        {"angleBracketInLocalPart", email, u"a<b@example.org"_s, false},
        {"parenthesisInLocalPart", email, u"a(b)@example.org"_s, false},
        {"colonInLocalPart", email, u"a:b@example.org"_s, false},
        {"semicolonInLocalPart", email, u"a;b@example.org"_s, false},
        {"backslashInLocalPart", email, u"a\\b@example.org"_s, false},
        {"bracketInLocalPart", email, u"a[b]@example.org"_s, false},
        {"apostropheInDomain", email, u"ann@o'brien.org"_s, false},
        {"twoAtSigns", email, u"a@b@example.org"_s, false},
        {"displayNameForm", email, u"Jane <jane@example.org>"_s, false},
        {"addressInsideLongerText", email, u"mail jane@example.org now"_s, false},
        {"empty", email, u""_s, false},
        {"null", email, QString(), false},
        {"lastLabelOneLetter", email, u"x@example.c"_s, false},
        {"lastLabelTwoLetters", email, u"x@example.de"_s, true},
        {"lastLabelSixLetters", email, u"x@example.museum"_s, true},
        {"lastLabelSevenLetters", email, u"x@example.company"_s, true},
        {"lastLabelElevenLetters", email, u"x@example.photography"_s, true},
        {"lastLabel63Letters", email, u"x@example."_s + letters63, true},
        {"lastLabel64Letters", email, u"x@example."_s + letters64, false},
        {"noDotInDomain", email, u"x@localhost"_s, false},

        {"multipleTwoByComma", multiple, u"a@example.org,b@example.net"_s, true},
        {"multipleBySemicolon", multiple, u"a@example.org;b@example.net"_s, false},
        {"multipleSecondInvalid", multiple, u"a@example.org,b@example"_s, false},
        {"multipleEmpty", multiple, u""_s, true},
        {"multipleNull", multiple, QString(), true},
        {"multipleOnlyComma", multiple, u","_s, true},
        {"multipleTrailingComma", multiple, u"a@example.org,"_s, true},
        {"multipleTrailingCommaSpace", multiple, u"a@example.org, "_s, false},
        {"multipleWithApostrophes", multiple, u"o'brien@example.ie,d'arcy@example.fr"_s, true},
        {"multipleLongTopLevelDomain", multiple, u"a@example.services,b@example.de"_s, true},

        {"domainPlain", domain, u"mail.example.org"_s, true},
        {"domainTrimmed", domain, u" example.org "_s, true},
        {"domainHyphenInside", domain, u"my--host.example.org"_s, true},
        {"domainLeadingHyphen", domain, u"-host.example.org"_s, false},
        {"domainSingleLabel", domain, u"localhost"_s, false},
        {"domainTrailingLineBreak", domain, u"example.org\n"_s, false},
        {"domainLongTopLevel", domain, u"example.photography"_s, true},
        {"domainTopLevel64Letters", domain, u"example."_s + letters64, false},
        {"domainTopLevelOneLetter", domain, u"example.c"_s, false},

        {"numericTwoDigitGroups", numeric, u"10.20.30.40"_s, true},
        {"numericThreeDigitGroups", numeric, u" 192.168.100.254 "_s, true},
        {"numericOneDigitGroup", numeric, u"192.168.1.10"_s, false},
        {"numericLetters", numeric, u"10.20.30.4a"_s, false},

        {"oldEmailFourLetters", oldEmail, u"x@example.info"_s, true},
        {"oldEmailFiveLetters", oldEmail, u"x@example.email"_s, false},
        {"oldEmailNotTrimmed", oldEmail, u" x@example.org"_s, false},
        {"oldDomainFiveLetters", oldDomain, u"example.email"_s, false},
    };
    for (const CheckRow &row : rows)
        EXPECT_EQ(row.check(row.text), row.expected) << row.name << ": " << row.text.toStdString();
}

} // namespace
