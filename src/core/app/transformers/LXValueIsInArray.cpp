#include "app/transformers/LXValueIsInArray.h"

#include <algorithm>

namespace quillcast {

Value LXValueIsInArray::transformedValue(const Value &value) const
{
    if (value.isNull())
        return Value();
    return Value(std::find(m_elements.begin(), m_elements.end(), value) != m_elements.end());
}

} // namespace quillcast
