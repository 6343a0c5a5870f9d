#include "app/transformers/LXValueMultipliedBy.h"

#include <cmath>
#include <limits>

namespace quillcast {

namespace {

// A number as a float; NaN for one no float can hold (converting it would be
// undefined).
float singlePrecision(double d)
{
    if (std::isnan(d) || std::abs(d) > double(std::numeric_limits<float>::max()))
        return std::numeric_limits<float>::quiet_NaN();
    return float(d);
}

} // namespace

LXValueMultipliedBy::LXValueMultipliedBy(const Value &factor) : m_factor(singlePrecision(factor.toDouble()))
{
}

Value LXValueMultipliedBy::transformedValue(const Value &value) const
{
    if (value.isNull())
        return Value();
    const float product = singlePrecision(value.toDouble()) * m_factor;
    // Nothing to show for a product no float can hold.
    if (!std::isfinite(product))
        return Value();
    return Value(double(product));
}

} // namespace quillcast
