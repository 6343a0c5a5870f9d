#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// Number 1 for a true value, else 0: a stored boolean shown where a control
// expects a number. The reverse gives the boolean back: the input's integer
// reading is not 0.
class LXNumberBoolToNumberNum : public ValueTransformer
{
public:
    Value transformedValue(const Value &value) const override;
    Value reverseTransformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return true; }
};

} // namespace quillcast
