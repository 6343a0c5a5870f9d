#include "app/transformers/LXNumberBoolToNumberNum.h"

namespace quillcast {

Value LXNumberBoolToNumberNum::transformedValue(const Value &value) const
{
    return Value(qint64(value.toBool() ? 1 : 0));
}

Value LXNumberBoolToNumberNum::reverseTransformedValue(const Value &value) const
{
    return Value(value.toInt64() != 0);
}

} // namespace quillcast
