#include "app/transformers/LXValueIsEqualToRef.h"

namespace quillcast {

Value LXValueIsEqualToRef::transformedValue(const Value &value) const
{
    if (value.isNull())
        return Value();
    return Value(qint64(signed16(value) == m_reference ? 1 : 0));
}

Value LXValueIsEqualToRef::reverseTransformedValue(const Value &value) const
{
    return value.toBool() ? Value(qint64(m_reference)) : Value();
}

} // namespace quillcast
