#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// The full path of the file a stored bookmark (LXBookmark bytes) refers to;
// "" for none (nothing chosen yet), none when the bookmark no longer resolves
// (the file was deleted or moved away) or the value is no bookmark at all.
class LXPathFromBookmark : public ValueTransformer
{
public:
    Value transformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::String; }
    bool allowsReverseTransformation() const override { return false; }
};

} // namespace quillcast
