#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// Number 1 when the value, read as a signed 16-bit number, is greater than
// the reference, else 0; none stays none.
class LXValueIsGreaterOfRef : public ValueTransformer
{
public:
    explicit LXValueIsGreaterOfRef(qint32 reference) : m_reference(reference) {}

    Value transformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return false; }

private:
    qint32 m_reference;
};

} // namespace quillcast
