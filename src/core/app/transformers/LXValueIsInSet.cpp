#include "app/transformers/LXValueIsInSet.h"

#include <algorithm>

namespace quillcast {

Value LXValueIsInSet::transformedValue(const Value &value) const
{
    if (value.isNull())
        return Value();
    return Value(std::find(m_members.begin(), m_members.end(), value) != m_members.end());
}

} // namespace quillcast
