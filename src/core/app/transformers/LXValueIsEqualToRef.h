#pragma once

#include "app/transformers/ReferenceComparison.h"

namespace quillcast {

// 1 when the mode equals the reference. The reverse gives the reference for a
// true input and none otherwise: ticking the control writes the mode,
// unticking leaves no value.
class LXValueIsEqualToRef : public ReferenceComparison<std::equal_to<>>
{
public:
    explicit LXValueIsEqualToRef(qint32 reference) : ReferenceComparison(reference) {}

    Value reverseTransformedValue(const Value &value) const override
    {
        return value.toBool() ? Value(qint64(reference())) : Value();
    }
    bool allowsReverseTransformation() const override { return true; }
};

} // namespace quillcast
