#include "app/transformers/ValueTransformer.h"

namespace quillcast {

Value ValueTransformer::reverseTransformedValue(const Value &) const
{
    return Value();
}

qint16 ValueTransformer::signed16(const Value &value)
{
    // Conversion to a narrower signed type is modular (C++20).
    return static_cast<qint16>(static_cast<quint16>(static_cast<quint64>(value.toInt64()) & 0xFFFFu));
}

} // namespace quillcast
