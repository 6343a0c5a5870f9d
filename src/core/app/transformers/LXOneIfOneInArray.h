#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// Number 1 when the value is a list of more than one element, else 0 (none
// and anything that is not a list give 0): enables the controls that need a
// choice between several entries. The reverse is always a new empty list.
class LXOneIfOneInArray : public ValueTransformer
{
public:
    Value transformedValue(const Value &value) const override;
    Value reverseTransformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return true; }
};

} // namespace quillcast
