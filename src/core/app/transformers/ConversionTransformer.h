#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// A transformer that is nothing but a conversion of one value, with no
// parameter: the shown value is Forward(value), and where a control writes
// back, the model value is Reverse(shown). Without a reverse (the pack
// holds at most one) the transformer is one way.
//
// Most of the interface's transformers are of this kind; each is one line of
// ConversionTransformers.h naming its functions.
template<ValueTransformer::ValueClass Shown, Value (*Forward)(const Value &), Value (*... Reverse)(const Value &)>
class ConversionTransformer final : public ValueTransformer
{
    static_assert(sizeof...(Reverse) <= 1, "one reverse conversion at most");

public:
    Value transformedValue(const Value &value) const override { return Forward(value); }
    Value reverseTransformedValue(const Value &value) const override
    {
        if constexpr (sizeof...(Reverse) == 1)
            return (Reverse(value), ...);
        else
            return Value();
    }
    ValueClass transformedValueClass() const override { return Shown; }
    bool allowsReverseTransformation() const override { return sizeof...(Reverse) == 1; }
};

} // namespace quillcast
