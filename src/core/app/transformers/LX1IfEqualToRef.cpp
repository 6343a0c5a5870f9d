#include "app/transformers/LX1IfEqualToRef.h"

namespace quillcast {

Value LX1IfEqualToRef::transformedValue(const Value &value) const
{
    if (value.isNull())
        return Value();
    return Value(qint64(signed16(value) == m_reference ? 1 : 0));
}

} // namespace quillcast
