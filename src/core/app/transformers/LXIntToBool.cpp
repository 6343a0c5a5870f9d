#include "app/transformers/LXIntToBool.h"

namespace quillcast {

Value LXIntToBool::transformedValue(const Value &value) const
{
    return Value(value.toInt64() != 0);
}

Value LXIntToBool::reverseTransformedValue(const Value &value) const
{
    return Value(qint64(value.toBool() ? 1 : 0));
}

} // namespace quillcast
