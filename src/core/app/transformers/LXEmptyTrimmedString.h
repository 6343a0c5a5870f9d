#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// A boolean: true for none, or when the text without the spaces (U+0020) at
// both ends is empty. Tabs and line breaks are content: "\t" is not empty.
// A value that is not a text is judged by its text reading (a number is never
// empty).
class LXEmptyTrimmedString : public ValueTransformer
{
public:
    Value transformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return false; }
};

} // namespace quillcast
