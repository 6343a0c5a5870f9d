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

static_assert(sizeof(Value) == sizeof(QString), "a Value is as small as the string it mostly holds");
static_assert(Value::Type::Null < Value::Type::Bool && Value::Type::Bool < Value::Type::Int
                  && Value::Type::Int < Value::Type::UInt && Value::Type::UInt < Value::Type::Real
                  && Value::Type::Real < Value::Type::String && Value::Type::String < Value::Type::Date,
              "the plain kinds come first: copies and destruction test them by tag");

Value::Value(const QDateTime &d)
{
    setTag(Type::Date);
    new (&m_tagged.date) QDateTime(d);
}

Value::Value(const QByteArray &b)
{
    setTag(Type::Bytes);
    m_tagged.bytes = new QByteArray(b);
}

Value::Value(const List &l)
{
    setTag(Type::List);
    new (&m_tagged.list) List(l);
}

Value::Value(const Dict &d) noexcept
{
    setTag(Type::Dict);
    new (&m_tagged.dict) Dict(d);
}

void Value::copyHeld(const Value &other)
{
    switch (other.type()) {
    case Type::Date:
        setTag(Type::Date);
        new (&m_tagged.date) QDateTime(other.m_tagged.date);
        return;
    case Type::Bytes:
        setTag(Type::Bytes);
        m_tagged.bytes = new QByteArray(*other.m_tagged.bytes);
        return;
    case Type::List:
        setTag(Type::List);
        new (&m_tagged.list) List(other.m_tagged.list);
        return;
    case Type::Dict:
        setTag(Type::Dict);
        new (&m_tagged.dict) Dict(other.m_tagged.dict);
        return;
    default:
        Q_UNREACHABLE();
    }
}

void Value::destroyHeld()
{
    switch (type()) {
    case Type::Date:
        m_tagged.date.~QDateTime();
        break;
    case Type::Bytes:
        delete m_tagged.bytes;
        break;
    case Type::List:
        m_tagged.list.~List();
        break;
    case Type::Dict:
        m_tagged.dict.~Dict();
        break;
    default:
        break;
    }
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
        return m_tagged.b;
    case Type::Int:
        return m_tagged.i != 0;
    case Type::UInt:
        return m_tagged.u != 0;
    case Type::Real:
        return m_tagged.r != 0.0;
    case Type::String: {
        // A typed answer: after white space and an optional sign or leading
        // zeros, Y/y/T/t or a digit 1-9 means yes.
        const QString &s = m_string;
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
        return m_tagged.b ? 1 : 0;
    case Type::Int:
        return m_tagged.i;
    case Type::UInt: {
        const quint64 u = m_tagged.u;
        return u > quint64(std::numeric_limits<qint64>::max()) ? std::numeric_limits<qint64>::max()
                                                                : qint64(u);
    }
    case Type::Real:
        return saturate<qint64>(m_tagged.r);
    case Type::String:
        return leadingInteger(m_string);
    default:
        return 0;
    }
}

qint32 Value::toInt32() const
{
    if (type() == Type::Real)
        return saturate<qint32>(m_tagged.r);
    return static_cast<qint32>(std::clamp<qint64>(toInt64(), std::numeric_limits<qint32>::min(),
                                                  std::numeric_limits<qint32>::max()));
}

quint64 Value::toUInt64() const
{
    switch (type()) {
    case Type::UInt:
        return m_tagged.u;
    case Type::Real:
        return saturate<quint64>(m_tagged.r);
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
        return m_tagged.b ? 1.0 : 0.0;
    case Type::Int:
        return double(m_tagged.i);
    case Type::UInt:
        return double(m_tagged.u);
    case Type::Real:
        return m_tagged.r;
    case Type::String: {
        bool ok = false;
        const double r = m_string.trimmed().toDouble(&ok);
        return ok ? r : double(leadingInteger(m_string));
    }
    default:
        return 0.0;
    }
}

QString Value::toString() const
{
    switch (type()) {
    case Type::String:
        return m_string;
    case Type::Bool:
        return m_tagged.b ? QStringLiteral("1") : QStringLiteral("0");
    case Type::Int:
        return QString::number(m_tagged.i);
    case Type::UInt:
        return QString::number(m_tagged.u);
    case Type::Real:
        return QString::number(m_tagged.r, 'g', 17);
    case Type::Date:
        return m_tagged.date.toUTC().toString(Qt::ISODate);
    default:
        return QStringLiteral("");
    }
}

QDateTime Value::toDateTime() const
{
    return type() == Type::Date ? m_tagged.date : QDateTime();
}

QByteArray Value::toBytes() const
{
    return type() == Type::Bytes ? *m_tagged.bytes : QByteArray();
}

List Value::toList() const
{
    return type() == Type::List ? m_tagged.list : List();
}

Dict Value::toDict() const
{
    return type() == Type::Dict ? m_tagged.dict : Dict();
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
            return a.m_tagged.i == b.m_tagged.i;
        if (ta == T::UInt && tb == T::UInt)
            return a.m_tagged.u == b.m_tagged.u;
        const qint64 s = ta == T::Int ? a.m_tagged.i : b.m_tagged.i;
        const quint64 u = ta == T::UInt ? a.m_tagged.u : b.m_tagged.u;
        return s >= 0 && quint64(s) == u;
    }
    if (ta != tb)
        return false;
    switch (ta) {
    case T::Null:
        return true;
    case T::Bool:
        return a.m_tagged.b == b.m_tagged.b;
    case T::String:
        return a.m_string == b.m_string;
    case T::Date:
        return a.m_tagged.date == b.m_tagged.date;
    case T::Bytes:
        return *a.m_tagged.bytes == *b.m_tagged.bytes;
    case T::List: {
        const List &la = a.m_tagged.list;
        const List &lb = b.m_tagged.list;
        if (List::sameObject(la, lb))
            return true;
        return la.items() == lb.items();
    }
    case T::Dict: {
        const Dict &da = a.m_tagged.dict;
        const Dict &db = b.m_tagged.dict;
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
