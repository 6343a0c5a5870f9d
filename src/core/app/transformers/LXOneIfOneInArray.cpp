#include "app/transformers/LXOneIfOneInArray.h"

namespace quillcast {

Value LXOneIfOneInArray::transformedValue(const Value &value) const
{
    return Value(qint64(value.isList() && value.toList().size() > 1 ? 1 : 0));
}

Value LXOneIfOneInArray::reverseTransformedValue(const Value &) const
{
    return Value(List());
}

} // namespace quillcast
