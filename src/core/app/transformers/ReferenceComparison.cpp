#include "app/transformers/ReferenceComparison.h"

namespace quillcast {

Value ReferenceComparison::transformedValue(const Value &value) const
{
    if (value.isNull())
        return Value();
    return Value(qint64(holds(signed16(value), m_reference) ? 1 : 0));
}

} // namespace quillcast
