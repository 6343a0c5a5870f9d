#pragma once

#include "app/transformers/ValueTransformer.h"

namespace quillcast {

// The row height for a font size: the integer part of size x 1.4 + 2,
// computed in single precision (12 gives 18, 13 gives 20, 10 gives 16). The
// precision matters: in double precision 85 x 1.4 falls just short of 119
// and would give 120 instead of 121.
// None stays none; a size that is not a finite number gives none too.
class LXHeightForFontSize : public ValueTransformer
{
public:
    Value transformedValue(const Value &value) const override;
    ValueClass transformedValueClass() const override { return ValueClass::Number; }
    bool allowsReverseTransformation() const override { return false; }
};

} // namespace quillcast
