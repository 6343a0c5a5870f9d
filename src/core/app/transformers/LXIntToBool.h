#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// A boolean: the value's integer reading is not 0 (none reads as 0). The
// reverse writes number 1 for a true input, else 0.
class LXIntToBool : public ValueTransformer
{
public:
    Value transformedValue(const Value &value) const override;
    Value reverseTransformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return true; }
};

} // namespace quillcast
