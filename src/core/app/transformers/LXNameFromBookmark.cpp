#include "app/transformers/LXNameFromBookmark.h"

#include "platform/LXBookmark.h"

#include <QFileInfo>

namespace quillcast {

Value LXNameFromBookmark::transformedValue(const Value &value) const
{
    if (value.isNull())
        return Value(QString());
    if (value.type() != Value::Type::Bytes)
        return Value();
    const std::optional<LXBookmark::Location> location = LXBookmark::urlForBookmark(value.toBytes(), nullptr);
    if (!location)
        return Value();
    return Value(QFileInfo(location->path).fileName());
}

} // namespace quillcast
