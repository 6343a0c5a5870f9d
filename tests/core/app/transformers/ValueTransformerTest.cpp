#include "TestPrinters.h"
#include "TransformerTestSupport.h"
#include "app/transformers/LX1IfEqualToRef.h"
#include "app/transformers/LX1IfNot0.h"
#include "app/transformers/LXEmptyTrimmedString.h"
#include "app/transformers/LXFilledTrimmedString.h"
#include "app/transformers/LXHeightForFontSize.h"
#include "app/transformers/LXIntToBool.h"
#include "app/transformers/LXNegateIntToBool.h"
#include "app/transformers/LXNumberBoolToNumberNum.h"
#include "app/transformers/LXOneIfOneInArray.h"
#include "app/transformers/LXReturnInitStr.h"
#include "app/transformers/LXValueIs1.h"
#include "app/transformers/LXValueIsEqualToRef.h"
#include "app/transformers/LXValueIsEqualToStr.h"
#include "app/transformers/LXValueIsGreaterOfRef.h"
#include "app/transformers/LXValueIsInArray.h"
#include "app/transformers/LXValueIsInSet.h"
#include "app/transformers/LXValueIsSmallerOfRef.h"
#include "app/transformers/LXValueMultipliedBy.h"
#include "app/transformers/LXValueNotEqualToRef.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace quillcast;
using namespace quillcast::testing;
using namespace Qt::StringLiterals;

namespace {

using Maker = std::function<std::shared_ptr<ValueTransformer>()>;

template<typename T, typename... Args>
Maker make(Args... args)
{
    return [=] { return std::make_shared<T>(args...); };
}

Value number(qint64 i)
{
    return Value(i);
}

Value listOf(List::Items items)
{
    return Value(List(std::move(items)));
}

struct ConversionRow
{
    const char *name;
    Maker transformer;
    Value input;
    Value expected;
};

void PrintTo(const ConversionRow &row, std::ostream *os)
{
    *os << row.name;
}

std::string rowName(const ::testing::TestParamInfo<ConversionRow> &info)
{
    return info.param.name;
}

class Forward : public ::testing::TestWithParam<ConversionRow>
{
};

TEST_P(Forward, GivesExpectedValue)
{
    const ConversionRow &row = GetParam();
    EXPECT_EQ(describe(row.transformer()->transformedValue(row.input)), describe(row.expected));
}

// Mode numbers compared as signed 16-bit integers.
INSTANTIATE_TEST_SUITE_P(
    ReferenceComparisons, Forward,
    ::testing::Values(
        ConversionRow{"valueIs0_65536ReadsAsZero", make<LXValueIsEqualToRef>(0), number(65536), number(1)},
        ConversionRow{"valueIs0_noneStaysNone", make<LXValueIsEqualToRef>(0), Value(), Value()},
        ConversionRow{"valueIs0_zeroIsOne", make<LXValueIsEqualToRef>(0), number(0), number(1)},
        ConversionRow{"valueIs3_otherModeIsZero", make<LXValueIsEqualToRef>(3), number(2), number(0)},
        ConversionRow{"valueIs3_realTruncated", make<LXValueIsEqualToRef>(3), Value(3.9), number(1)},
        ConversionRow{"valueIs3_negativeRealTowardZero", make<LXValueIsEqualToRef>(-2), Value(-2.7), number(1)},
        ConversionRow{"valueIs3_textReadAsItsNumber", make<LXValueIsEqualToRef>(3), Value(u"3"_s), number(1)},
        ConversionRow{"valueIs3_wordReadsAsZero", make<LXValueIsEqualToRef>(0), Value(u"three"_s), number(1)},
        ConversionRow{"equalTo_32768WrapsToMinimum", make<LXValueIsEqualToRef>(-32768), number(32768), number(1)},
        ConversionRow{"equalTo_minusOneStays", make<LXValueIsEqualToRef>(-1), number(-1), number(1)},
        ConversionRow{"equalTo_65535IsMinusOne", make<LXValueIsEqualToRef>(-1), Value(quint64(65535)), number(1)},
        ConversionRow{"equalTo_referenceOutside16Bits", make<LXValueIsEqualToRef>(65536), number(65536), number(0)},
        ConversionRow{"valueIs1Class_65537ReadsAsOne", make<LXValueIs1>(), number(65537), number(1)},
        ConversionRow{"valueIs1Class_noneStaysNone", make<LXValueIs1>(), Value(), Value()},
        ConversionRow{"valueNot0_65536ReadsAsZero", make<LXValueNotEqualToRef>(0), number(65536), number(0)},
        ConversionRow{"valueNot1_minusOne", make<LXValueNotEqualToRef>(1), number(-1), number(1)},
        ConversionRow{"valueNot0_noneStaysNone", make<LXValueNotEqualToRef>(0), Value(), Value()},
        ConversionRow{"oneIfEqual_match", make<LX1IfEqualToRef>(2), number(2 + 65536), number(1)},
        ConversionRow{"oneIfEqual_noneStaysNone", make<LX1IfEqualToRef>(2), Value(), Value()},
        ConversionRow{"greater_32768IsNegative", make<LXValueIsGreaterOfRef>(0), number(32768), number(0)},
        ConversionRow{"greater_above", make<LXValueIsGreaterOfRef>(2), number(3), number(1)},
        ConversionRow{"greater_equalIsNot", make<LXValueIsGreaterOfRef>(3), number(3), number(0)},
        ConversionRow{"greater_noneStaysNone", make<LXValueIsGreaterOfRef>(0), Value(), Value()},
        ConversionRow{"smaller_32768IsNegative", make<LXValueIsSmallerOfRef>(0), number(32768), number(1)},
        ConversionRow{"smaller_equalIsNot", make<LXValueIsSmallerOfRef>(3), number(3), number(0)},
        ConversionRow{"smaller_noneStaysNone", make<LXValueIsSmallerOfRef>(0), Value(), Value()}),
    rowName);

INSTANTIATE_TEST_SUITE_P(
    ParameterClasses, Forward,
    ::testing::Values(
        ConversionRow{"multiplied_singlePrecision", make<LXValueMultipliedBy>(Value(0.1)), number(3),
                      Value(double(3.0f * 0.1f))},
        ConversionRow{"multiplied_textFactor", make<LXValueMultipliedBy>(Value(u"2.5"_s)), Value(4.0), Value(10.0)},
        ConversionRow{"multiplied_beyondFloat", make<LXValueMultipliedBy>(Value(1e30)), Value(1e30), Value()},
        ConversionRow{"multiplied_noneStaysNone", make<LXValueMultipliedBy>(Value(2.0)), Value(), Value()},
        ConversionRow{"equalToStr_same", make<LXValueIsEqualToStr>(u"Yes"_s), Value(u"Yes"_s), Value(true)},
        ConversionRow{"equalToStr_caseCounts", make<LXValueIsEqualToStr>(u"Yes"_s), Value(u"yes"_s), Value(false)},
        ConversionRow{"equalToStr_numberIsNoText", make<LXValueIsEqualToStr>(u"3"_s), number(3), Value(false)},
        ConversionRow{"equalToStr_noneStaysNone", make<LXValueIsEqualToStr>(u""_s), Value(), Value()},
        ConversionRow{"initStr_forNone", make<LXReturnInitStr>(u"Recipients"_s), Value(), Value(u"Recipients"_s)},
        ConversionRow{"initStr_forText", make<LXReturnInitStr>(u"Recipients"_s), Value(u"x"_s),
                      Value(u"Recipients"_s)},
        ConversionRow{"inSet_numberNumerically", make<LXValueIsInSet>(List({number(1), Value(u"a"_s)})), Value(1.0),
                      Value(true)},
        ConversionRow{"inSet_missing", make<LXValueIsInSet>(List({number(1), Value(u"a"_s)})), Value(u"A"_s),
                      Value(false)},
        ConversionRow{"inSet_boolIsNoNumber", make<LXValueIsInSet>(List({number(1)})), Value(true), Value(false)},
        ConversionRow{"inSet_noneStaysNone", make<LXValueIsInSet>(List({Value()})), Value(), Value()},
        ConversionRow{"inArray_present", make<LXValueIsInArray>(List({Value(u"csv"_s), Value(u"tab"_s)})),
                      Value(u"tab"_s), Value(true)},
        ConversionRow{"inArray_emptyList", make<LXValueIsInArray>(List()), number(0), Value(false)},
        ConversionRow{"inArray_noneStaysNone", make<LXValueIsInArray>(List()), Value(), Value()}),
    rowName);

INSTANTIATE_TEST_SUITE_P(
    PlainClasses, Forward,
    ::testing::Values(
        ConversionRow{"ret1IfNot0_noneIsZero", make<LX1IfNot0>(), Value(), number(0)},
        ConversionRow{"ret1IfNot0_wholeIntegerCounts", make<LX1IfNot0>(), number(65536), number(1)},
        ConversionRow{"ret1IfNot0_fractionIsZero", make<LX1IfNot0>(), Value(0.5), number(0)},
        ConversionRow{"intToBool_two", make<LXIntToBool>(), number(2), Value(true)},
        ConversionRow{"intToBool_none", make<LXIntToBool>(), Value(), Value(false)},
        ConversionRow{"negateIntToBool_zero", make<LXNegateIntToBool>(), number(0), Value(true)},
        ConversionRow{"negateIntToBool_seven", make<LXNegateIntToBool>(), number(7), Value(false)},
        ConversionRow{"negateIntToBool_none", make<LXNegateIntToBool>(), Value(), Value(true)},
        ConversionRow{"boolToNum_true", make<LXNumberBoolToNumberNum>(), Value(true), number(1)},
        ConversionRow{"boolToNum_false", make<LXNumberBoolToNumberNum>(), Value(false), number(0)},
        ConversionRow{"boolToNum_none", make<LXNumberBoolToNumberNum>(), Value(), number(0)},
        ConversionRow{"oneInArray_oneElement", make<LXOneIfOneInArray>(), listOf({number(1)}), number(0)},
        ConversionRow{"oneInArray_twoElements", make<LXOneIfOneInArray>(), listOf({number(1), number(2)}), number(1)},
        ConversionRow{"oneInArray_none", make<LXOneIfOneInArray>(), Value(), number(0)},
        ConversionRow{"oneInArray_textIsNoList", make<LXOneIfOneInArray>(), Value(u"ab"_s), number(0)},
        ConversionRow{"emptyTrimmed_spaces", make<LXEmptyTrimmedString>(), Value(u"  "_s), Value(true)},
        ConversionRow{"emptyTrimmed_tabIsContent", make<LXEmptyTrimmedString>(), Value(u"\t"_s), Value(false)},
        ConversionRow{"emptyTrimmed_none", make<LXEmptyTrimmedString>(), Value(), Value(true)},
        ConversionRow{"emptyTrimmed_word", make<LXEmptyTrimmedString>(), Value(u" a "_s), Value(false)},
        ConversionRow{"emptyTrimmed_numberZero", make<LXEmptyTrimmedString>(), number(0), Value(false)},
        ConversionRow{"filledTrimmed_spaces", make<LXFilledTrimmedString>(), Value(u"  "_s), Value(false)},
        ConversionRow{"filledTrimmed_tabIsContent", make<LXFilledTrimmedString>(), Value(u"\t"_s), Value(true)},
        ConversionRow{"filledTrimmed_none", make<LXFilledTrimmedString>(), Value(), Value(false)},
        ConversionRow{"fontHeight_12", make<LXHeightForFontSize>(), number(12), number(18)},
        ConversionRow{"fontHeight_13", make<LXHeightForFontSize>(), number(13), number(20)},
        ConversionRow{"fontHeight_10", make<LXHeightForFontSize>(), number(10), number(16)},
        ConversionRow{"fontHeight_85NeedsSinglePrecision", make<LXHeightForFontSize>(), number(85), number(121)},
        ConversionRow{"fontHeight_fractionalSize", make<LXHeightForFontSize>(), Value(12.5), number(19)},
        ConversionRow{"fontHeight_none", make<LXHeightForFontSize>(), Value(), Value()},
        ConversionRow{"fontHeight_beyondFloat", make<LXHeightForFontSize>(), Value(1e300), Value()}),
    rowName);

class Reverse : public ::testing::TestWithParam<ConversionRow>
{
};

TEST_P(Reverse, GivesExpectedModelValue)
{
    const ConversionRow &row = GetParam();
    EXPECT_EQ(describe(row.transformer()->reverseTransformedValue(row.input)), describe(row.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Reversible, Reverse,
    ::testing::Values(
        ConversionRow{"valueIs3_trueGivesReference", make<LXValueIsEqualToRef>(3), Value(true), number(3)},
        ConversionRow{"valueIs3_falseGivesNone", make<LXValueIsEqualToRef>(3), Value(false), Value()},
        ConversionRow{"valueIs3_numberOneIsTrue", make<LXValueIsEqualToRef>(3), number(1), number(3)},
        ConversionRow{"valueIs3_noneGivesNone", make<LXValueIsEqualToRef>(3), Value(), Value()},
        ConversionRow{"valueIs1Class_true", make<LXValueIs1>(), Value(true), number(1)},
        ConversionRow{"intToBool_true", make<LXIntToBool>(), Value(true), number(1)},
        ConversionRow{"intToBool_false", make<LXIntToBool>(), Value(false), number(0)},
        ConversionRow{"negateIntToBool_true", make<LXNegateIntToBool>(), Value(true), number(0)},
        ConversionRow{"negateIntToBool_false", make<LXNegateIntToBool>(), Value(false), number(1)},
        ConversionRow{"boolToNum_five", make<LXNumberBoolToNumberNum>(), number(5), Value(true)},
        ConversionRow{"boolToNum_zero", make<LXNumberBoolToNumberNum>(), number(0), Value(false)},
        ConversionRow{"oneInArray_alwaysEmptyList", make<LXOneIfOneInArray>(), number(1), listOf({})}),
    rowName);

TEST(LXOneIfOneInArray, ReverseGivesANewListEachTime)
{
    // Bindings write the result into the model; two writes must not share one
    // list that a later edit of either would change.
    const LXOneIfOneInArray transformer;
    const Value first = transformer.reverseTransformedValue(Value());
    first.toList().append(number(1));
    EXPECT_EQ(transformer.reverseTransformedValue(Value()).toList().size(), 0);
}

TEST(LXValueIsInArray, KeepsTheElementsItWasMadeWith)
{
    List elements({Value(u"a"_s)});
    const LXValueIsInArray transformer(elements);
    elements.append(Value(u"b"_s));
    EXPECT_EQ(describe(transformer.transformedValue(Value(u"b"_s))), describe(Value(false)));
}

} // namespace
