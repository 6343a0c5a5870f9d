#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// Number 1 when the value, read as a signed 16-bit number, is smaller than
// the reference, else 0; none stays none.
class LXValueIsSmallerOfRef : public ValueTransformer
{
public:
    explicit LXValueIsSmallerOfRef(qint32 reference) : m_reference(reference) {}

    Value transformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return false; }

private:
    qint32 m_reference;
};

} // namespace quillcast
