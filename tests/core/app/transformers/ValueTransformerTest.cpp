#include "TransformerTestSupport.h"
#include "app/transformers/ConversionTransformers.h"
#include "app/transformers/LXReturnInitStr.h"
#include "app/transformers/LXValueIs1.h"
#include "app/transformers/LXValueIsEqualToRef.h"
#include "app/transformers/LXValueIsEqualToStr.h"
#include "app/transformers/LXValueIsInSet.h"
#include "app/transformers/LXValueMultipliedBy.h"

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

struct ConversionRow { const char *name; Maker transformer; Value input; Value expected; };

const ConversionRow forwardRows[] = {
    // Mode numbers compared as signed 16-bit integers. The comparisons share
    // one handling of none, checked once.
    {"valueIs0_65536ReadsAsZero", make<LXValueIsEqualToRef>(0), number(65536), number(1)},
    {"valueIs0_noneStaysNone", make<LXValueIsEqualToRef>(0), Value(), Value()},
    {"valueIs3_otherModeIsZero", make<LXValueIsEqualToRef>(3), number(2), number(0)},
    {"valueIs3_realTruncated", make<LXValueIsEqualToRef>(3), Value(3.9), number(1)},
    {"valueIs3_negativeRealTowardZero", make<LXValueIsEqualToRef>(-2), Value(-2.7), number(1)},
    {"valueIs3_textReadAsItsNumber", make<LXValueIsEqualToRef>(3), Value(u"3"_s), number(1)},
    {"valueIs3_wordReadsAsZero", make<LXValueIsEqualToRef>(0), Value(u"three"_s), number(1)},
    {"equalTo_32768WrapsToMinimum", make<LXValueIsEqualToRef>(-32768), number(32768), number(1)},
    {"equalTo_minusOneStays", make<LXValueIsEqualToRef>(-1), number(-1), number(1)},
    {"equalTo_65535IsMinusOne", make<LXValueIsEqualToRef>(-1), Value(quint64(65535)), number(1)},
    {"equalTo_referenceOutside16Bits", make<LXValueIsEqualToRef>(65536), number(65536), number(0)},
    {"valueIs1Class_65537ReadsAsOne", make<LXValueIs1>(), number(65537), number(1)},
    {"valueNot0_65536ReadsAsZero", make<LXValueNotEqualToRef>(0), number(65536), number(0)},
    {"valueNot1_minusOne", make<LXValueNotEqualToRef>(1), number(-1), number(1)},
    {"oneIfEqual_match", make<LX1IfEqualToRef>(2), number(2 + 65536), number(1)},
    {"greater_32768IsNegative", make<LXValueIsGreaterOfRef>(0), number(32768), number(0)},
    {"greater_above", make<LXValueIsGreaterOfRef>(2), number(3), number(1)},
    {"greater_equalIsNot", make<LXValueIsGreaterOfRef>(3), number(3), number(0)},
    {"smaller_32768IsNegative", make<LXValueIsSmallerOfRef>(0), number(32768), number(1)},
    {"smaller_equalIsNot", make<LXValueIsSmallerOfRef>(3), number(3), number(0)},
    // Classes made with a parameter.
    {"multiplied_singlePrecision", make<LXValueMultipliedBy>(Value(0.1)), number(3), Value(double(3.0f * 0.1f))},
    {"multiplied_textFactor", make<LXValueMultipliedBy>(Value(u"2.5"_s)), Value(4.0), Value(10.0)},
    {"multiplied_beyondFloat", make<LXValueMultipliedBy>(Value(1e30)), Value(1e30), Value()},
    {"multiplied_noneStaysNone", make<LXValueMultipliedBy>(Value(2.0)), Value(), Value()},
    {"equalToStr_same", make<LXValueIsEqualToStr>(u"Yes"_s), Value(u"Yes"_s), Value(true)},
    {"equalToStr_caseCounts", make<LXValueIsEqualToStr>(u"Yes"_s), Value(u"yes"_s), Value(false)},
    {"equalToStr_numberIsNoText", make<LXValueIsEqualToStr>(u"3"_s), number(3), Value(false)},
    {"equalToStr_noneStaysNone", make<LXValueIsEqualToStr>(u""_s), Value(), Value()},
    {"initStr_forNone", make<LXReturnInitStr>(u"Recipients"_s), Value(), Value(u"Recipients"_s)},
    {"initStr_forText", make<LXReturnInitStr>(u"Recipients"_s), Value(u"x"_s), Value(u"Recipients"_s)},
    {"inSet_numberNumerically", make<LXValueIsInSet>(List({number(1), Value(u"a"_s)})), Value(1.0), Value(true)},
    {"inSet_missing", make<LXValueIsInSet>(List({number(1), Value(u"a"_s)})), Value(u"A"_s), Value(false)},
    {"inSet_boolIsNoNumber", make<LXValueIsInSet>(List({number(1)})), Value(true), Value(false)},
    {"inSet_noneStaysNone", make<LXValueIsInSet>(List({Value()})), Value(), Value()},
    {"inArray_present", make<LXValueIsInArray>(List({Value(u"csv"_s), Value(u"tab"_s)})), Value(u"tab"_s), Value(true)},
    {"inArray_emptyList", make<LXValueIsInArray>(List()), number(0), Value(false)},
    {"inArray_noneStaysNone", make<LXValueIsInArray>(List()), Value(), Value()},
    // Classes without a parameter.
    {"ret1IfNot0_noneIsZero", make<LX1IfNot0>(), Value(), number(0)},
    {"ret1IfNot0_wholeIntegerCounts", make<LX1IfNot0>(), number(65536), number(1)},
    {"ret1IfNot0_fractionIsZero", make<LX1IfNot0>(), Value(0.5), number(0)},
    {"intToBool_two", make<LXIntToBool>(), number(2), Value(true)},
    {"intToBool_none", make<LXIntToBool>(), Value(), Value(false)},
    {"negateIntToBool_zero", make<LXNegateIntToBool>(), number(0), Value(true)},
    {"negateIntToBool_seven", make<LXNegateIntToBool>(), number(7), Value(false)},
    {"negateIntToBool_none", make<LXNegateIntToBool>(), Value(), Value(true)},
    {"boolToNum_true", make<LXNumberBoolToNumberNum>(), Value(true), number(1)},
    {"boolToNum_false", make<LXNumberBoolToNumberNum>(), Value(false), number(0)},
    {"boolToNum_none", make<LXNumberBoolToNumberNum>(), Value(), number(0)},
    {"oneInArray_oneElement", make<LXOneIfOneInArray>(), listOf({number(1)}), number(0)},
    {"oneInArray_twoElements", make<LXOneIfOneInArray>(), listOf({number(1), number(2)}), number(1)},
    {"oneInArray_none", make<LXOneIfOneInArray>(), Value(), number(0)},
    {"oneInArray_textIsNoList", make<LXOneIfOneInArray>(), Value(u"ab"_s), number(0)},
    {"emptyTrimmed_spaces", make<LXEmptyTrimmedString>(), Value(u"  "_s), Value(true)},
    {"emptyTrimmed_tabIsContent", make<LXEmptyTrimmedString>(), Value(u"\t"_s), Value(false)},
    {"emptyTrimmed_none", make<LXEmptyTrimmedString>(), Value(), Value(true)},
    {"emptyTrimmed_word", make<LXEmptyTrimmedString>(), Value(u" a "_s), Value(false)},
    {"emptyTrimmed_numberZero", make<LXEmptyTrimmedString>(), number(0), Value(false)},
    {"filledTrimmed_spaces", make<LXFilledTrimmedString>(), Value(u"  "_s), Value(false)},
    {"filledTrimmed_tabIsContent", make<LXFilledTrimmedString>(), Value(u"\t"_s), Value(true)},
    {"filledTrimmed_none", make<LXFilledTrimmedString>(), Value(), Value(false)},
    {"fontHeight_12", make<LXHeightForFontSize>(), number(12), number(18)},
    {"fontHeight_13", make<LXHeightForFontSize>(), number(13), number(20)},
    {"fontHeight_10", make<LXHeightForFontSize>(), number(10), number(16)},
    {"fontHeight_85NeedsSinglePrecision", make<LXHeightForFontSize>(), number(85), number(121)},
    {"fontHeight_fractionalSize", make<LXHeightForFontSize>(), Value(12.5), number(19)},
    {"fontHeight_none", make<LXHeightForFontSize>(), Value(), Value()},
    {"fontHeight_beyondFloat", make<LXHeightForFontSize>(), Value(1e300), Value()},
};

TEST(ValueTransformers, GiveTheExpectedValue)
{
    for (const ConversionRow &row : forwardRows)
        EXPECT_EQ(describe(row.transformer()->transformedValue(row.input)), describe(row.expected)) << row.name;
}

const ConversionRow reverseRows[] = {
    {"valueIs3_trueGivesReference", make<LXValueIsEqualToRef>(3), Value(true), number(3)},
    {"valueIs3_falseGivesNone", make<LXValueIsEqualToRef>(3), Value(false), Value()},
    {"valueIs3_numberOneIsTrue", make<LXValueIsEqualToRef>(3), number(1), number(3)},
    {"valueIs3_noneGivesNone", make<LXValueIsEqualToRef>(3), Value(), Value()},
    {"valueIs1Class_true", make<LXValueIs1>(), Value(true), number(1)},
    {"intToBool_true", make<LXIntToBool>(), Value(true), number(1)},
    {"intToBool_false", make<LXIntToBool>(), Value(false), number(0)},
    {"negateIntToBool_true", make<LXNegateIntToBool>(), Value(true), number(0)},
    {"negateIntToBool_false", make<LXNegateIntToBool>(), Value(false), number(1)},
    {"boolToNum_five", make<LXNumberBoolToNumberNum>(), number(5), Value(true)},
    {"boolToNum_zero", make<LXNumberBoolToNumberNum>(), number(0), Value(false)},
    {"oneInArray_alwaysEmptyList", make<LXOneIfOneInArray>(), number(1), listOf({})},
};

TEST(ValueTransformers, GiveTheExpectedModelValueInReverse)
{
    for (const ConversionRow &row : reverseRows)
        EXPECT_EQ(describe(row.transformer()->reverseTransformedValue(row.input)), describe(row.expected))
            << row.name;
}

// What the interface asks before binding: the kind of the shown value, and
// whether a control may write back through the transformer.
TEST(ValueTransformers, DeclareTheirResultClassAndWhetherTheyWriteBack)
{
    using enum ValueTransformer::ValueClass;
    const struct
    {
        const char *name;
        Maker transformer;
        ValueTransformer::ValueClass valueClass;
        bool reverse;
    } rows[] = {
        {"LXValueIsEqualToRef", make<LXValueIsEqualToRef>(3), Number, true},
        {"LXValueIs1", make<LXValueIs1>(), Number, true},
        {"LXValueNotEqualToRef", make<LXValueNotEqualToRef>(0), Number, false},
        {"LX1IfEqualToRef", make<LX1IfEqualToRef>(0), Number, false},
        {"LXValueIsGreaterOfRef", make<LXValueIsGreaterOfRef>(0), Number, false},
        {"LXValueIsSmallerOfRef", make<LXValueIsSmallerOfRef>(0), Number, false},
        {"LXValueMultipliedBy", make<LXValueMultipliedBy>(Value(2.0)), Number, false},
        {"LXValueIsEqualToStr", make<LXValueIsEqualToStr>(u"a"_s), String, false},
        {"LXReturnInitStr", make<LXReturnInitStr>(u"a"_s), String, false},
        {"LXValueIsInSet", make<LXValueIsInSet>(List()), Number, false},
        {"LXValueIsInArray", make<LXValueIsInArray>(List()), Number, false},
        {"LX1IfNot0", make<LX1IfNot0>(), Number, false},
        {"LXIntToBool", make<LXIntToBool>(), Number, true},
        {"LXNegateIntToBool", make<LXNegateIntToBool>(), Number, true},
        {"LXNumberBoolToNumberNum", make<LXNumberBoolToNumberNum>(), Number, true},
        {"LXOneIfOneInArray", make<LXOneIfOneInArray>(), Number, true},
        {"LXEmptyTrimmedString", make<LXEmptyTrimmedString>(), Number, false},
        {"LXFilledTrimmedString", make<LXFilledTrimmedString>(), Number, false},
        {"LXHeightForFontSize", make<LXHeightForFontSize>(), Number, false},
        {"LXPathFromBookmark", make<LXPathFromBookmark>(), String, false},
        {"LXNameFromBookmark", make<LXNameFromBookmark>(), String, false},
        {"LXUnarchivieFromDataToText", make<LXUnarchivieFromDataToText>(), String, false},
    };
    for (const auto &row : rows) {
        const std::shared_ptr<ValueTransformer> transformer = row.transformer();
        EXPECT_EQ(transformer->transformedValueClass(), row.valueClass) << row.name;
        EXPECT_EQ(transformer->allowsReverseTransformation(), row.reverse) << row.name;
        // A one-way transformer writes nothing back.
        if (!row.reverse) {
            EXPECT_EQ(describe(transformer->reverseTransformedValue(Value(true))), describe(Value())) << row.name;
        }
    }
}

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
