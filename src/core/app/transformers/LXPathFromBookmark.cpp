#include "app/transformers/LXPathFromBookmark.h"

#include "platform/LXBookmark.h"

namespace quillcast {

Value LXPathFromBookmark::transformedValue(const Value &value) const
{
    if (value.isNull())
        return Value(QString());
    if (value.type() != Value::Type::Bytes)
        return Value();
    const std::optional<LXBookmark::Location> location = LXBookmark::urlForBookmark(value.toBytes(), nullptr);
    if (!location)
        return Value();
    return Value(location->path);
}

} // namespace quillcast
