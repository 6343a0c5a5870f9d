#include "util/ValueVariant.h"

#include "util/Dict.h"
#include "util/List.h"

#include <QDateTime>

namespace quillcast {

QVariant ValueVariant::toVariant(const Value &value)
{
    switch (value.type()) {
    case Value::Type::Null:
        return QVariant();
    case Value::Type::Bool:
        return value.toBool();
    case Value::Type::Int:
        return QVariant::fromValue(value.toInt64());
    case Value::Type::UInt:
        return QVariant::fromValue(value.toUInt64());
    case Value::Type::Real:
        return value.toDouble();
    case Value::Type::String:
        return value.toString();
    case Value::Type::Date:
        return value.toDateTime();
    case Value::Type::Bytes:
        return value.toBytes();
    case Value::Type::List: {
        QVariantList list;
        for (const Value &item : value.toList().items())
            list.append(toVariant(item));
        return list;
    }
    case Value::Type::Dict: {
        QVariantMap map;
        for (const auto &entry : value.toDict().snapshot().entries())
            map.insert(entry.first, toVariant(entry.second));
        return map;
    }
    }
    return QVariant();
}

Value ValueVariant::fromVariant(const QVariant &variant)
{
    switch (variant.typeId()) {
    case QMetaType::UnknownType:
        return Value();
    case QMetaType::Bool:
        return Value(variant.toBool());
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return Value(variant.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
        return Value(variant.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return Value(variant.toDouble());
    case QMetaType::QDateTime:
        return Value(variant.toDateTime());
    case QMetaType::QByteArray:
        return Value(variant.toByteArray());
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        List list;
        for (const QVariant &item : variant.toList())
            list.append(fromVariant(item));
        return Value(list);
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        Dict dict;
        const QVariantMap map = variant.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            dict.set(it.key(), fromVariant(it.value()));
        return Value(dict);
    }
    default:
        return Value(variant.toString());
    }
}

} // namespace quillcast
