#include "TestPrinters.h"
#include "merge/MergeTagCache.h"
#include "merge/RecordMerge.h"
#include "merge/LXDateTagElaborated.h"
#include "merge/TagSubstitution.h"
#include "platform/FixedClock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

Dict key(const QString &inner, const QString &name)
{
    return Dict{{u"innerKey"_s, inner}, {u"publicKey"_s, name}};
}

// The fixed keys followed by user keys named as given (inner keys "4", "5", ...).
List keysNamed(std::initializer_list<QString> userNames)
{
    List keys({Value(key(u"1"_s, u"#"_s)), Value(key(u"2"_s, u"sel"_s)), Value(key(u"3"_s, u"email"_s))});
    int inner = 4;
    for (const QString &name : userNames)
        keys.append(key(QString::number(inner++), name));
    return keys;
}

QDateTime utc(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc());
}

// Date, time and record tags in one scan, as a message and its preview are merged.
QString merge(const QString &text, const List &keys, const Dict &record, const Clock &clock)
{
    return TagSubstitution::merge(text, keys, record, clock);
}

struct MergeRow
{
    const char *name;
    std::vector<QString> userKeys;
    std::vector<std::pair<QString, Value>> record;
    QString text;
    QString expected;
};

const QString e = u"\u00e9"_s;          // é precomposed
const QString eDecomposed = u"e\u0301"_s; // e + combining acute

TEST(MergeTable, MergesLikeTheTagLanguageSays)
{
    const MergeRow rows[] = {
        {"noTags", {u"City"_s}, {{u"4"_s, u"Paris"_s}}, u"Hello, world_ _x"_s, u"Hello, world_ _x"_s},
        {"fieldTag", {u"City"_s}, {{u"4"_s, u"Paris"_s}}, u"in _City_!"_s, u"in Paris!"_s},
        {"tagInsideWordAndAdjacent", {u"a"_s}, {{u"4"_s, u"X"_s}}, u"w_a__a_w"_s, u"wXXw"_s},
        {"occurrencesDoNotOverlap", {u"a"_s}, {{u"4"_s, u"X"_s}}, u"_a_a_"_s, u"Xa_"_s},
        {"missingFieldIsEmpty", {u"City"_s}, {}, u"[_City_]"_s, u"[]"_s},
        {"fixedTags", {}, {{u"1"_s, 12}, {u"2"_s, true}, {u"3"_s, u"a@b.org"_s}}, u"_#_ _sel_ _email_"_s,
         u"12 YES a@b.org"_s},
        {"uncheckedAndMissing", {}, {}, u"_#_ _sel_ [_email_]"_s, u"0 NO []"_s},
        {"numberLeadingZeros", {}, {{u"1"_s, u"007"_s}}, u"_#_"_s, u"7"_s},
        {"numberTrailingLetters", {}, {{u"1"_s, u"12abc"_s}}, u"_#_"_s, u"12"_s},
        {"numberEmptyText", {}, {{u"1"_s, u""_s}}, u"_#_"_s, u"0"_s},
        {"numberNegative", {}, {{u"1"_s, -5}}, u"_#_"_s, u"-5"_s},
        {"numberClampedTo32Bits", {}, {{u"1"_s, u"99999999999"_s}}, u"_#_"_s, u"2147483647"_s},
        {"caseMatters", {}, {{u"3"_s, u"a@b.org"_s}}, u"_Email_ _EMAIL_ _YY_"_s, u"_Email_ _EMAIL_ _YY_"_s},
        {"dateTagInValueStaysLiteral", {u"Note"_s}, {{u"4"_s, u"_yy_"_s}}, u"_Note_ _yy_"_s, u"_yy_ 07"_s},
        {"fixedTagInValueStaysLiteral", {u"Note"_s}, {{u"4"_s, u"_email_/_#_"_s}, {u"1"_s, 3}, {u"3"_s, u"x@y.org"_s}},
         u"_Note_"_s, u"_email_/_#_"_s},
        {"laterKeyTagInValueStaysLiteral", {u"A"_s, u"B"_s}, {{u"4"_s, u"_B_"_s}, {u"5"_s, u"b"_s}}, u"_A_"_s,
         u"_B_"_s},
        {"fieldTagInsideValueStaysLiteral", {u"Login"_s, u"id"_s}, {{u"4"_s, u"jean_id_2024"_s}, {u"5"_s, u"77"_s}},
         u"_Login_ (_id_)"_s, u"jean_id_2024 (77)"_s},
        {"earlierKeyTagInValueStays", {u"A"_s, u"B"_s}, {{u"4"_s, u"a"_s}, {u"5"_s, u"_A_"_s}}, u"_B_"_s,
         u"_A_"_s},
        {"longerTagWinsOverShorterKeyEarlier", {u"name"_s, u"first_name"_s}, {{u"4"_s, u"N"_s}, {u"5"_s, u"F"_s}},
         u"_first_name_ _name_"_s, u"F N"_s},
        {"longestTagAtOnePlaceWins", {u"a"_s, u"a_b"_s}, {{u"4"_s, u"A"_s}, {u"5"_s, u"AB"_s}}, u"_a_b_ _a_"_s,
         u"AB A"_s},
        {"leftmostTagWins", {u"y_z"_s, u"x"_s}, {{u"4"_s, u"YZ"_s}, {u"5"_s, u"X"_s}}, u"_x_y_z_"_s, u"Xy_z_"_s},
        {"fieldTagHoldingADateTagWins", {u"a_yy"_s, u"yy_b"_s}, {{u"4"_s, u"A"_s}, {u"5"_s, u"B"_s}},
         u"_a_yy_ _yy_b_ _yy_"_s, u"A B 07"_s},
        {"insertedDateIsNotReadAsATag", {u"Room07"_s}, {{u"4"_s, u"R"_s}}, u"_Room_yy__"_s, u"_Room07_"_s},
        {"longerNameFirstWins", {u"first_name"_s, u"name"_s}, {{u"4"_s, u"F"_s}, {u"5"_s, u"N"_s}},
         u"_first_name_"_s, u"F"_s},
        {"keyNamedLikeADateTagShowsTheDate", {u"yy"_s}, {{u"4"_s, u"field"_s}}, u"_yy_"_s, u"07"_s},
        {"userKeyNamedEmailWinsOverFixedTag", {u"email"_s}, {{u"4"_s, u"user"_s}, {u"3"_s, u"a@b.org"_s}},
         u"_email_"_s, u"user"_s},
        {"htmlIsNotEscaped", {u"Name"_s}, {{u"4"_s, u"<b>Tom & Jerry</b>"_s}}, u"<p>_Name_</p>"_s,
         u"<p><b>Tom & Jerry</b></p>"_s},
        {"emptyKeyNameTag", {u""_s}, {{u"4"_s, u"E"_s}}, u"a__b"_s, u"aEb"_s},
        {"composedKeyMatchesDecomposedTag", {u"Caf"_s + e}, {{u"4"_s, u"ok"_s}},
         u"_Caf"_s + eDecomposed + u"_"_s, u"ok"_s},
        {"decomposedKeyMatchesComposedTag", {u"Caf"_s + eDecomposed}, {{u"4"_s, u"ok"_s}},
         u"_Caf"_s + e + u"_"_s, u"ok"_s},
        {"textOutsideTagsIsNotNormalised", {u"Caf"_s + e}, {{u"4"_s, u"ok"_s}},
         eDecomposed + u" _Caf"_s + e + u"_ "_s + e, eDecomposed + u" ok "_s + e},
        {"tagDoesNotSplitAccentFromLetter", {u"Cafe"_s}, {{u"4"_s, u"no"_s}}, u"_Caf"_s + e + u"_"_s,
         u"_Caf"_s + e + u"_"_s},
        {"combiningMarkOnClosingUnderscore", {u"City"_s}, {{u"4"_s, u"no"_s}}, u"_City_\u0301"_s,
         u"_City_\u0301"_s},
        {"caseIsNotFolded", {u"caf"_s + e}, {{u"4"_s, u"no"_s}}, u"_CAF\u00c9_"_s, u"_CAF\u00c9_"_s},
        {"noTagFormedAcrossInsertedValue", {u"x"_s, u"City"_s}, {{u"4"_s, u"ty"_s}, {u"5"_s, u"Rome"_s}},
         u"<_Ci_x__>"_s, u"<_City_>"_s},
        {"combiningMarkInsertedAfterTag", {u"m"_s, u"City"_s}, {{u"4"_s, u"\u0301"_s}, {u"5"_s, u"no"_s}},
         u"_City__m_"_s, u"no\u0301"_s},
        {"accentCompletedByInsertedValue", {u"m"_s, u"Caf\u00e9"_s}, {{u"4"_s, u"\u0301_"_s}, {u"5"_s, u"no"_s}},
         u"_Cafe_m_"_s, u"_Cafe\u0301_"_s},
        {"equivalentSpellingsOfTwoKeysFirstWins", {u"Caf"_s + e, u"Caf"_s + eDecomposed},
         {{u"4"_s, u"1"_s}, {u"5"_s, u"2"_s}}, u"_Caf"_s + eDecomposed + u"_"_s, u"1"_s},
        {"hangulSyllableMatchesItsJamo", {u"\uD55C"_s}, {{u"4"_s, u"ok"_s}}, u"_\u1112\u1161\u11AB_"_s, u"ok"_s},
        {"jamoMatchSyllable", {u"\u1112\u1161\u11AB"_s}, {{u"4"_s, u"ok"_s}}, u"_\uD55C_ \uD55C"_s,
         u"ok \uD55C"_s},
        {"surrogatePairsPassThrough", {u"\U0001F600"_s}, {{u"4"_s, u"smile"_s}}, u"\U0001F600_\U0001F600_"_s,
         u"\U0001F600smile"_s},
    };
    for (const MergeRow &row : rows) {
        SCOPED_TRACE(row.name);
        List keys = keysNamed({});
        int inner = 4;
        for (const QString &name : row.userKeys)
            keys.append(key(QString::number(inner++), name));
        Dict record(Dict::Entries(row.record.begin(), row.record.end()));
        const FixedClock clock(utc(2007, 3, 4, 9, 5, 3));

        EXPECT_EQ(merge(row.text, keys, record, clock), row.expected);
    }
}

TEST(TagSubstitution, NullTextGivesNullInBothPasses)
{
    const FixedClock clock(utc(2026, 1, 1, 0, 0, 0));
    EXPECT_TRUE(TagSubstitution::performTextSubstitutionNoDB(QString(), clock).isNull());
    EXPECT_TRUE(TagSubstitution::performTextSubstitution(QString(), keysNamed({}), Dict()).isNull());
    EXPECT_FALSE(TagSubstitution::performTextSubstitution(u""_s, keysNamed({}), Dict()).isNull());
    EXPECT_TRUE(TagSubstitution::merge(QString(), keysNamed({}), Dict(), clock).isNull());
    EXPECT_FALSE(TagSubstitution::merge(u""_s, keysNamed({}), Dict(), clock).isNull());
}

TEST(TagSubstitution, RecordPassAloneNeverReadsAValueAsATag)
{
    const List keys = keysNamed({u"Note"_s, u"id"_s});
    const Dict record{{u"3"_s, u"x@y.org"_s}, {u"4"_s, u"_email_ _id_ _yy_"_s}, {u"5"_s, u"77"_s}};
    EXPECT_EQ(TagSubstitution::performTextSubstitution(u"_Note_/_id_/_yy_"_s, keys, record),
              u"_email_ _id_ _yy_/77/_yy_"_s);
}

struct KeyEditRow { const char *name; std::function<void(List &)> edit; QString expected; };

TEST(MergeTagCache, CompilesAgainOnlyWhenTheKeysChange)
{
    const KeyEditRow rows[] = {
        {"renamed", [](List &keys) { keys.at(3).toDict().set(u"publicKey"_s, u"Town"_s); }, u"_City_ Paris"_s},
        {"innerKeyChanged", [](List &keys) { keys.at(3).toDict().set(u"innerKey"_s, u"5"_s); }, u"Lyon _Town_"_s},
        {"added", [](List &keys) { keys.append(key(u"5"_s, u"Town"_s)); }, u"Paris Lyon"_s},
        {"removed", [](List &keys) { keys.removeAt(3); }, u"_City_ _Town_"_s},
        {"replacedByNoKey", [](List &keys) { keys.set(3, Value(u"City"_s)); }, u"_City_ _Town_"_s},
        {"orderChanged",
         [](List &keys) {
             keys.append(key(u"5"_s, u"City"_s));
             keys.removeAt(3);
             keys.append(key(u"4"_s, u"City"_s));
         },
         u"Lyon _Town_"_s},
    };
    const FixedClock clock(utc(2026, 1, 1, 0, 0, 0));
    const Dict record{{u"4"_s, u"Paris"_s}, {u"5"_s, u"Lyon"_s}};
    const QString text = u"_City_ _Town_"_s;
    for (const KeyEditRow &row : rows) {
        SCOPED_TRACE(row.name);
        List keys = keysNamed({u"City"_s});
        const MergeTagCache cache;
        const auto first = cache.tagsFor(keys);
        EXPECT_EQ(RecordMerge(first, record, clock).merge(text), u"Paris _Town_"_s);
        EXPECT_EQ(cache.tagsFor(keys), first);

        row.edit(keys);
        EXPECT_EQ(RecordMerge(cache.tagsFor(keys), record, clock).merge(text), row.expected);
    }
}

struct TimeRow { const char *name; QDateTime instant; QString text; QString expected; };

TEST(TimePass, FormatsOneReading)
{
    const TimeRow rows[] = {
        {"twoDigitYear", utc(2007, 3, 4, 9, 5, 3), u"_yy_|_yyyy_"_s, u"07|2007"_s},
        {"zeroPadded", utc(2007, 3, 4, 9, 5, 3), u"_dd_._mm_ _hh_:_ii_:_ss_"_s, u"04.03 09:05:03"_s},
        {"twentyFourHourClock", utc(2026, 12, 31, 15, 0, 0), u"_hh_"_s, u"15"_s},
        {"yearBeforeTen", utc(5, 1, 1, 0, 0, 0), u"_yyyy_ _yy_"_s, u"5 05"_s},
        {"yyyyIsNotEatenByYy", utc(2026, 1, 1, 0, 0, 0), u"_yyyy_"_s, u"2026"_s},
    };
    for (const TimeRow &row : rows) {
        SCOPED_TRACE(row.name);
        const FixedClock clock(row.instant);
        EXPECT_EQ(TagSubstitution::performTextSubstitutionNoDB(row.text, clock), row.expected);
    }
}

TEST(TimePass, UsesTheClocksTimeZoneAndCalendar)
{
    // 2026-03-21 01:30 UTC is still 20 March in New York; in the Persian
    // calendar 21 March 2026 is 1 Farvardin 1405.
    const QDateTime instant = utc(2026, 3, 21, 1, 30, 0);
    const FixedClock newYork(instant, QTimeZone("America/New_York"));
    EXPECT_EQ(TagSubstitution::performTextSubstitutionNoDB(u"_dd_ _hh_"_s, newYork), u"20 21"_s);

    const FixedClock tehran(instant, QTimeZone("Asia/Tehran"), QCalendar(QCalendar::System::Jalali));
    EXPECT_EQ(TagSubstitution::performTextSubstitutionNoDB(u"_yyyy_-_mm_-_dd_"_s, tehran), u"1405-01-01"_s);
}

// A clock that moves one second on every reading: a call must read it once.
class TickingClock : public Clock
{
public:
    QDateTime now() const override { return utc(2026, 1, 1, 23, 59, 59).addSecs(m_reads++); }
    QTimeZone timeZone() const override { return QTimeZone::utc(); }
    QCalendar calendar() const override { return QCalendar(); }
    mutable std::atomic<int> m_reads{0};
};

TEST(TimePass, ReadsTheClockOncePerCall)
{
    TickingClock clock;
    EXPECT_EQ(TagSubstitution::performTextSubstitutionNoDB(u"_yyyy_-_mm_-_dd_ _hh_:_ii_:_ss_"_s, clock),
              u"2026-01-01 23:59:59"_s);
    EXPECT_EQ(clock.m_reads.load(), 1);
}

TEST(RecordMerge, AllTextsOfAMessageShareOneReading)
{
    TickingClock clock;
    const RecordMerge merger(std::make_shared<const MergeTags>(keysNamed({})), Dict(), clock);
    EXPECT_EQ(merger.merge(u"_yyyy_-_mm_-_dd_ _hh_:_ii_:_ss_"_s), u"2026-01-01 23:59:59"_s);
    EXPECT_EQ(merger.merge(u"_ss_"_s), u"59"_s);
    EXPECT_EQ(clock.m_reads.load(), 1);
}

struct AngleRow { const char *name; QString text; QString expected; };

TEST(DateTagElaborated, ReplacesAngleBracketTagsLiterally)
{
    const AngleRow rows[] = {
        {"null", QString(), u""_s},
        {"years", u"<yy>/<YY>"_s, u"26/2026"_s},
        {"notTags", u"<yyyy> <Yy> _yy_"_s, u"<yyyy> <Yy> _yy_"_s},
        {"time", u"<hh>:<ii>:<ss> <dd>.<mm>"_s, u"21:05:09 07.06"_s},
        {"nested", u"<<yy>>"_s, u"<26>"_s},
        // ">" + U+0338 is canonically "≯": literal matching still sees "<yy>".
        {"literalNotCanonical", u"<yy>\u0338"_s, u"26\u0338"_s},
    };
    for (const AngleRow &row : rows) {
        SCOPED_TRACE(row.name);
        const FixedClock clock(utc(2026, 6, 7, 21, 5, 9));
        EXPECT_EQ(LXDateTagElaborated(clock).transformedValue(row.text), row.expected);
    }
}


} // namespace
