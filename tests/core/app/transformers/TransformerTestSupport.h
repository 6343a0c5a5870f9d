#pragma once

#include "util/Value.h"

#include <QString>

#include <string>

namespace quillcast::testing {

// A value with its kind spelled out, so that a comparison tells number 1 from
// true and 0 from none, which Value's own equality does not always do.
inline std::string describe(const Value &v)
{
    QString text;
    switch (v.type()) {
    case Value::Type::Null:
        text = QStringLiteral("none");
        break;
    case Value::Type::List:
        text = QStringLiteral("list of %1").arg(v.toList().size());
        break;
    case Value::Type::Bool:
        text = v.toBool() ? QStringLiteral("bool true") : QStringLiteral("bool false");
        break;
    default:
        text = Value::typeName(v.type()) + QStringLiteral(" ") + v.toString();
        break;
    }
    return text.toStdString();
}

} // namespace quillcast::testing
