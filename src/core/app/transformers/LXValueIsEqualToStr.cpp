#include "app/transformers/LXValueIsEqualToStr.h"

namespace quillcast {

Value LXValueIsEqualToStr::transformedValue(const Value &value) const
{
    if (value.isNull())
        return Value();
    const QString *text = value.asString();
    return Value(text != nullptr && *text == m_text);
}

} // namespace quillcast
