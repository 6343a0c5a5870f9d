#include "app/transformers/LXNegateIntToBool.h"

namespace quillcast {

Value LXNegateIntToBool::transformedValue(const Value &value) const
{
    return Value(value.toInt64() == 0);
}

Value LXNegateIntToBool::reverseTransformedValue(const Value &value) const
{
    return Value(qint64(value.toBool() ? 0 : 1));
}

} // namespace quillcast
