#include "app/transformers/LXValueIsGreaterOfRef.h"

namespace quillcast {

Value LXValueIsGreaterOfRef::transformedValue(const Value &value) const
{
    if (value.isNull())
        return Value();
    return Value(qint64(signed16(value) > m_reference ? 1 : 0));
}

} // namespace quillcast
