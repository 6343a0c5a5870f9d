#include "app/transformers/LXEmptyTrimmedString.h"

#include "util/LXStringUtils.h"

namespace quillcast {

Value LXEmptyTrimmedString::transformedValue(const Value &value) const
{
    if (value.isNull())
        return Value(true);
    return Value(LXStringUtils::trimLateralSpace(value.toString()).isEmpty());
}

} // namespace quillcast
