#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// A boolean: false for none; true when the text without the spaces (U+0020)
// at both ends is not empty. Exactly the opposite of LXEmptyTrimmedString.
class LXFilledTrimmedString : public ValueTransformer
{
public:
    Value transformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return false; }
};

} // namespace quillcast
