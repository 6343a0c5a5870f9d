#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// The file name (with its extension) of the file a stored bookmark refers
// to; "" for none, none when the bookmark no longer resolves or the value is
// no bookmark at all.
class LXNameFromBookmark : public ValueTransformer
{
public:
    Value transformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::String; }
    bool allowsReverseTransformation() const override { return false; }
};

} // namespace quillcast
