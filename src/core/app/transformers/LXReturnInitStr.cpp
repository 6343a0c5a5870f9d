#include "app/transformers/LXReturnInitStr.h"

namespace quillcast {

Value LXReturnInitStr::transformedValue(const Value &) const
{
    return Value(m_text);
}

} // namespace quillcast
