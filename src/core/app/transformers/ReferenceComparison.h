#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// The comparisons of a mode number with a fixed reference: number 1 when the
// value, read as a signed 16-bit number, stands in the subclass's relation to
// the reference, else 0. None stays none, so an absent setting is not
// mistaken for a mode.
class ReferenceComparison : public ValueTransformer
{
public:
    Value transformedValue(const Value &value) const final;
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return false; }

protected:
    explicit ReferenceComparison(qint32 reference) : m_reference(reference) {}
    virtual bool holds(qint16 value, qint32 reference) const = 0;
    qint32 reference() const { return m_reference; }

private:
    qint32 m_reference;
};

} // namespace quillcast
