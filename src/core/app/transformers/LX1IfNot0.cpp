#include "app/transformers/LX1IfNot0.h"

namespace quillcast {

Value LX1IfNot0::transformedValue(const Value &value) const
{
    return Value(qint64(value.toInt64() != 0 ? 1 : 0));
}

} // namespace quillcast
