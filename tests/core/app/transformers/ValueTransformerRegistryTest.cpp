#include "TransformerTestSupport.h"
#include "app/transformers/LXValueIsEqualToRef.h"
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

TEST(ValueTransformerRegistry, NameHoldsTheLatestTransformer)
{
    ValueTransformerRegistry registry;
    registry.setValueTransformer(u"valueNot0"_s, std::make_shared<LXValueNotEqualToRef>(5));
    registry.setValueTransformer(u"valueNot0"_s, std::make_shared<LXValueNotEqualToRef>(0));
    EXPECT_EQ(lookUp(registry, u"valueNot0"_s, Value(qint64(5))), describe(Value(qint64(1))));
    EXPECT_EQ(lookUp(registry, u"ValueNot0"_s, Value()), "missing"); // names are case-sensitive
    registry.setValueTransformer(u"valueNot0"_s, nullptr);
    EXPECT_EQ(lookUp(registry, u"valueNot0"_s, Value()), "missing");
}

// Bindings may name a transformer class that takes no parameter; a
// registered instance comes first.
TEST(ValueTransformerRegistry, ClassNamesNeedNoRegistration)
{
    ValueTransformerRegistry registry;
    registry.setValueTransformer(u"LXValueIs1"_s, std::make_shared<LXValueIsEqualToRef>(2));
    const struct { const char *name; Value input; std::string expected; } rows[] = {
        {"LXHeightForFontSize", Value(qint64(12)), describe(Value(qint64(18)))},
        {"LXValueIs1", Value(qint64(1)), describe(Value(qint64(0)))}, // the registered instance
        {"LXIntToBool", Value(qint64(2)), describe(Value(true))},
        {"LXEmptyTrimmedString", Value(u"  "_s), describe(Value(true))},
        {"LXNameFromBookmark", Value(), describe(Value(QString()))},
        {"LXUnarchivieFromDataToText", Value(), describe(Value())},
        {"LXValueIsEqualToRef", Value(), "missing"}, // takes a parameter
        {"valueIs7", Value(), "missing"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(lookUp(registry, QString::fromLatin1(row.name), row.input), row.expected) << row.name;
}

} // namespace
