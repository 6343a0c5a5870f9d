#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// The value times a fixed factor, computed in single precision as the
// interface's geometry always was, given as a real number; none stays none.
// Both operands use Value's number reading (a text gives its number); a
// product beyond single precision gives none.
class LXValueMultipliedBy : public ValueTransformer
{
public:
    explicit LXValueMultipliedBy(const Value &factor);

    Value transformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return false; }

private:
    float m_factor;
};

} // namespace quillcast
