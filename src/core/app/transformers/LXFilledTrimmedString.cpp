#include "app/transformers/LXFilledTrimmedString.h"

#include "util/LXStringUtils.h"

namespace quillcast {

Value LXFilledTrimmedString::transformedValue(const Value &value) const
{
    if (value.isNull())
        return Value(false);
    return Value(!LXStringUtils::trimLateralSpace(value.toString()).isEmpty());
}

} // namespace quillcast
