#include "util/Value.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quillcast {

namespace {

bool isSpace(QChar c)
{
    return c.isSpace();
}

template<typename T>
T saturate(double r)
{
    if (std::isnan(r))
        return 0;
    if (r >= static_cast<double>(std::numeric_limits<T>::max()))
        return std::numeric_limits<T>::max();
    if (r <= static_cast<double>(std::numeric_limits<T>::min()))
        return std::numeric_limits<T>::min();
    return static_cast<T>(r);
}

} // namespace

qint64 leadingInteger(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate as a negative number so that the minimum fits exactly.
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    qint64 acc = 0;
    bool overflow = false;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        const int digit = text[i].unicode() - u'0';
        if (overflow)
            continue;
        if (acc < (min + digit) / 10) {
            overflow = true;
            continue;
        }
        acc = acc * 10 - digit;
    }
    if (overflow)
        return negative ? min : std::numeric_limits<qint64>::max();
    if (negative)
        return acc;
    return acc == min ? std::numeric_limits<qint64>::max() : -acc;
}

bool Value::isNumber() const
{
    switch (type()) {
    case Type::Bool:
    case Type::Int:
    case Type::UInt:
    case Type::Real:
        return true;
    default:
        return false;
    }
}

bool Value::toBool() const
{
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_v);
    case Type::Int:
        return std::get<qint64>(m_v) != 0;
    case Type::UInt:
        return std::get<quint64>(m_v) != 0;
    case Type::Real:
        return std::get<double>(m_v) != 0.0;
    case Type::String: {
        // A typed answer: after white space and an optional sign or leading
        // zeros, Y/y/T/t or a digit 1-9 means yes.
        const QString &s = std::get<QString>(m_v);
        qsizetype i = 0;
        while (i < s.size() && isSpace(s[i]))
            ++i;
        if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
            ++i;
        while (i < s.size() && s[i] == u'0')
            ++i;
        if (i >= s.size())
            return false;
        const QChar c = s[i];
        return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
    }
    default:
        return false;
    }
}

qint64 Value::toInt64() const
{
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_v) ? 1 : 0;
    case Type::Int:
        return std::get<qint64>(m_v);
    case Type::UInt: {
        const quint64 u = std::get<quint64>(m_v);
        return u > quint64(std::numeric_limits<qint64>::max()) ? std::numeric_limits<qint64>::max()
                                                                : qint64(u);
    }
    case Type::Real:
        return saturate<qint64>(std::get<double>(m_v));
    case Type::String:
        return leadingInteger(std::get<QString>(m_v));
    default:
        return 0;
    }
}

qint32 Value::toInt32() const
{
    if (type() == Type::Real)
        return saturate<qint32>(std::get<double>(m_v));
    return static_cast<qint32>(std::clamp<qint64>(toInt64(), std::numeric_limits<qint32>::min(),
                                                  std::numeric_limits<qint32>::max()));
}

quint64 Value::toUInt64() const
{
    switch (type()) {
    case Type::UInt:
        return std::get<quint64>(m_v);
    case Type::Real:
        return saturate<quint64>(std::get<double>(m_v));
    default: {
        const qint64 i = toInt64();
        return i < 0 ? 0 : quint64(i);
    }
    }
}

double Value::toDouble() const
{
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(m_v) ? 1.0 : 0.0;
    case Type::Int:
        return double(std::get<qint64>(m_v));
    case Type::UInt:
        return double(std::get<quint64>(m_v));
    case Type::Real:
        return std::get<double>(m_v);
    case Type::String: {
        bool ok = false;
        const double r = std::get<QString>(m_v).trimmed().toDouble(&ok);
        return ok ? r : double(leadingInteger(std::get<QString>(m_v)));
    }
    default:
        return 0.0;
    }
}

QString Value::toString() const
{
    switch (type()) {
    case Type::String:
        return std::get<QString>(m_v);
    case Type::Bool:
        return std::get<bool>(m_v) ? QStringLiteral("1") : QStringLiteral("0");
    case Type::Int:
        return QString::number(std::get<qint64>(m_v));
    case Type::UInt:
        return QString::number(std::get<quint64>(m_v));
    case Type::Real:
        return QString::number(std::get<double>(m_v), 'g', 17);
    case Type::Date:
        return std::get<QDateTime>(m_v).toUTC().toString(Qt::ISODate);
    default:
        return QStringLiteral("");
    }
}

QDateTime Value::toDateTime() const
{
    return type() == Type::Date ? std::get<QDateTime>(m_v) : QDateTime();
}

QByteArray Value::toBytes() const
{
    return type() == Type::Bytes ? std::get<QByteArray>(m_v) : QByteArray();
}

List Value::toList() const
{
    return type() == Type::List ? std::get<List>(m_v) : List();
}

Dict Value::toDict() const
{
    return type() == Type::Dict ? std::get<Dict>(m_v) : Dict();
}

bool operator==(const Value &a, const Value &b)
{
    using T = Value::Type;
    const T ta = a.type();
    const T tb = b.type();
    const auto numeric = [](T t) { return t == T::Int || t == T::UInt || t == T::Real; };
    if (numeric(ta) && numeric(tb)) {
        if (ta == T::Real || tb == T::Real)
            return a.toDouble() == b.toDouble();
        if (ta == T::Int && tb == T::Int)
            return std::get<qint64>(a.m_v) == std::get<qint64>(b.m_v);
        if (ta == T::UInt && tb == T::UInt)
            return std::get<quint64>(a.m_v) == std::get<quint64>(b.m_v);
        const qint64 s = ta == T::Int ? std::get<qint64>(a.m_v) : std::get<qint64>(b.m_v);
        const quint64 u = ta == T::UInt ? std::get<quint64>(a.m_v) : std::get<quint64>(b.m_v);
        return s >= 0 && quint64(s) == u;
    }
    if (ta != tb)
        return false;
    switch (ta) {
    case T::Null:
        return true;
    case T::Bool:
        return std::get<bool>(a.m_v) == std::get<bool>(b.m_v);
    case T::String:
        return std::get<QString>(a.m_v) == std::get<QString>(b.m_v);
    case T::Date:
        return std::get<QDateTime>(a.m_v) == std::get<QDateTime>(b.m_v);
    case T::Bytes:
        return std::get<QByteArray>(a.m_v) == std::get<QByteArray>(b.m_v);
    case T::List: {
        const List &la = std::get<List>(a.m_v);
        const List &lb = std::get<List>(b.m_v);
        if (List::sameObject(la, lb))
            return true;
        return la.items() == lb.items();
    }
    case T::Dict: {
        const Dict &da = std::get<Dict>(a.m_v);
        const Dict &db = std::get<Dict>(b.m_v);
        if (Dict::sameObject(da, db))
            return true;
        return da.snapshot().entries() == db.snapshot().entries();
    }
    default:
        return false;
    }
}

QString Value::typeName(Type t)
{
    switch (t) {
    case Type::Null:
        return QStringLiteral("no value");
    case Type::Bool:
        return QStringLiteral("boolean");
    case Type::Int:
    case Type::UInt:
        return QStringLiteral("integer");
    case Type::Real:
        return QStringLiteral("real number");
    case Type::String:
        return QStringLiteral("string");
    case Type::Date:
        return QStringLiteral("date");
    case Type::Bytes:
        return QStringLiteral("data");
    case Type::List:
        return QStringLiteral("list");
    case Type::Dict:
        return QStringLiteral("dictionary");
    }
    return QString();
}

} // namespace quillcast
