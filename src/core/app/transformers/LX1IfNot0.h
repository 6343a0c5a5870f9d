#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// Number 1 when the value's integer reading is not 0, else 0. None reads as
// 0. The whole 64-bit reading counts here (65536 gives 1), unlike the
// reference comparisons, which wrap to 16 bits.
class LX1IfNot0 : public ValueTransformer
{
public:
    Value transformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return false; }
};

} // namespace quillcast
