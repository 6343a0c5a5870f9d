#include "TestPrinters.h"
#include "TransformerTestSupport.h"
#include "app/transformers/LXValueIsEqualToRef.h"
#include "app/transformers/LXValueNotEqualToRef.h"
#include "app/transformers/ValueTransformerRegistry.h"

#include <gtest/gtest.h>

#include <memory>

using namespace quillcast;
using namespace quillcast::testing;
using namespace Qt::StringLiterals;

namespace {

// What the transformer found under a name makes of an input; "missing" when
// there is none.
std::string lookUp(const ValueTransformerRegistry &registry, const QString &name, const Value &input)
{
    const std::shared_ptr<ValueTransformer> transformer = registry.valueTransformerForName(name);
    return transformer ? describe(transformer->transformedValue(input)) : std::string("missing");
}

TEST(ValueTransformerRegistry, LaterRegistrationReplacesEarlier)
{
    ValueTransformerRegistry registry;
    registry.setValueTransformer(u"valueNot0"_s, std::make_shared<LXValueNotEqualToRef>(5));
    registry.setValueTransformer(u"valueNot0"_s, std::make_shared<LXValueNotEqualToRef>(0));
    EXPECT_EQ(lookUp(registry, u"valueNot0"_s, Value(qint64(5))), describe(Value(qint64(1))));
}

TEST(ValueTransformerRegistry, UnknownNameHasNoTransformer)
{
    const ValueTransformerRegistry registry;
    EXPECT_EQ(lookUp(registry, u"valueIs7"_s, Value()), "missing");
}

TEST(ValueTransformerRegistry, NamesAreCaseSensitive)
{
    ValueTransformerRegistry registry;
    registry.setValueTransformer(u"valueIs0"_s, std::make_shared<LXValueIsEqualToRef>(0));
    EXPECT_EQ(lookUp(registry, u"ValueIs0"_s, Value()), "missing");
}

TEST(ValueTransformerRegistry, NullTransformerRemovesTheName)
{
    ValueTransformerRegistry registry;
    registry.setValueTransformer(u"valueIs0"_s, std::make_shared<LXValueIsEqualToRef>(0));
    registry.setValueTransformer(u"valueIs0"_s, nullptr);
    EXPECT_EQ(lookUp(registry, u"valueIs0"_s, Value()), "missing");
}

struct ClassNameRow
{
    const char *className;
    Value input;
    Value expected;
};

void PrintTo(const ClassNameRow &row, std::ostream *os)
{
    *os << row.className;
}

class ClassNames : public ::testing::TestWithParam<ClassNameRow>
{
};

// Bindings may name a transformer class that takes no parameter.
TEST_P(ClassNames, NameAClassWithoutRegistration)
{
    const ClassNameRow &row = GetParam();
    const ValueTransformerRegistry registry;
    EXPECT_EQ(lookUp(registry, QString::fromLatin1(row.className), row.input), describe(row.expected));
}

INSTANTIATE_TEST_SUITE_P(
    ValueTransformerRegistry, ClassNames,
    ::testing::Values(ClassNameRow{"LXHeightForFontSize", Value(qint64(12)), Value(qint64(18))},
                      ClassNameRow{"LXValueIs1", Value(qint64(65537)), Value(qint64(1))},
                      ClassNameRow{"LXIntToBool", Value(qint64(2)), Value(true)},
                      ClassNameRow{"LXEmptyTrimmedString", Value(u"  "_s), Value(true)},
                      ClassNameRow{"LXNameFromBookmark", Value(), Value(QString())},
                      ClassNameRow{"LXUnarchivieFromDataToText", Value(), Value()}),
    [](const auto &row) { return std::string(row.param.className); });

TEST(ValueTransformerRegistry, RegisteredInstanceTakesPrecedenceOverClass)
{
    ValueTransformerRegistry registry;
    registry.setValueTransformer(u"LXValueIs1"_s, std::make_shared<LXValueIsEqualToRef>(2));
    EXPECT_EQ(lookUp(registry, u"LXValueIs1"_s, Value(qint64(1))), describe(Value(qint64(0))));
}

TEST(ValueTransformerRegistry, ParameterisedClassNeedsRegistration)
{
    const ValueTransformerRegistry registry;
    EXPECT_EQ(lookUp(registry, u"LXValueIsEqualToRef"_s, Value()), "missing");
}

} // namespace
