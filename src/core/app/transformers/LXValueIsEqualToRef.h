#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// Number 1 when the value, read as a signed 16-bit number, equals the
// reference, else 0; none stays none, so an absent setting is not mistaken
// for a mode. The reverse gives the reference for a true input and none
// otherwise: ticking the control writes the mode, unticking leaves no value.
class LXValueIsEqualToRef : public ValueTransformer
{
public:
    explicit LXValueIsEqualToRef(qint32 reference) : m_reference(reference) {}

    Value transformedValue(const Value &value) const override;
    Value reverseTransformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return true; }

private:
    qint32 m_reference;
};

} // namespace quillcast
