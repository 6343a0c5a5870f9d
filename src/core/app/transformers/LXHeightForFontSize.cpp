#include "app/transformers/LXHeightForFontSize.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillcast {

Value LXHeightForFontSize::transformedValue(const Value &value) const
{
    if (value.isNull())
        return Value();
    const double size = value.toDouble();
    if (!std::isfinite(size) || std::abs(size) > double(std::numeric_limits<float>::max()))
        return Value();
    // The product is rounded to float before the addition: volatile keeps
    // compilers that fuse a multiply and an add (the default on some
    // processors) from skipping that rounding.
    const volatile float scaled = float(size) * 1.4f;
    const float height = scaled + 2.0f;
    if (!std::isfinite(height))
        return Value();
    // Truncation toward zero; sizes no font has are held to the integer range
    // rather than overflowing the conversion.
    constexpr float limit = 9.2e18f; // just below 2^63
    return Value(qint64(std::trunc(std::clamp(height, -limit, limit))));
}

} // namespace quillcast
