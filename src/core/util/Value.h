#pragma once

#include "util/Dict.h"
#include "util/List.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <concepts>
#include <variant>

namespace quillcast {

// One value of the mailing's data: records, DB keys, exception records,
// attachment entries, connections and the document file all carry these.
//
// Scalars (bool, integers, reals, strings, dates, bytes) have value semantics.
// Lists and dictionaries are references: copying a Value that holds a Dict
// yields a second handle on the same dictionary, so a record that stands in
// two lists is one object.
//
// The accessors follow the rule the whole application relies on: a missing
// value reads as false, 0 or "".
class Value
{
public:
    enum class Type { Null, Bool, Int, UInt, Real, String, Date, Bytes, List, Dict };

    Value() = default;
    Value(bool b) : m_v(b) {}
    template<std::signed_integral T>
        requires(!std::same_as<T, bool>)
    Value(T i) : m_v(static_cast<qint64>(i)) {}
    template<std::unsigned_integral T>
        requires(!std::same_as<T, bool>)
    Value(T u) : m_v(static_cast<quint64>(u)) {}
    Value(double r) : m_v(r) {}
    Value(const QString &s) : m_v(s) {}
    Value(QString &&s) : m_v(std::move(s)) {}
    Value(QStringView s) : m_v(s.toString()) {}
    Value(const QDateTime &d) : m_v(d) {}
    Value(const QByteArray &b) : m_v(b) {}
    Value(const quillcast::List &l) : m_v(l) {}
    Value(const quillcast::Dict &d) : m_v(d) {}
    // Guards against a string literal silently becoming a bool.
    Value(const char *) = delete;

    Type type() const { return static_cast<Type>(m_v.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isNumber() const;
    bool isString() const { return type() == Type::String; }
    bool isList() const { return type() == Type::List; }
    bool isDict() const { return type() == Type::Dict; }

    // Boolean reading: numbers are true when not zero; a text reads like a
    // typed answer ("YES", "true", "1"... after leading white space).
    bool toBool() const;
    // Integer reading: reals are truncated, texts give their leading decimal
    // integer (0 when there is none), saturating at the type's range.
    qint64 toInt64() const;
    qint32 toInt32() const;
    quint64 toUInt64() const;
    double toDouble() const;
    // Text reading: a string as it is; numbers in decimal; booleans as "1"/"0";
    // everything else (no value included) as "".
    QString toString() const;
    QDateTime toDateTime() const;
    QByteArray toBytes() const;
    // The list or dictionary held; a fresh empty one when the value is another kind.
    quillcast::List toList() const;
    quillcast::Dict toDict() const;

    // Deep comparison: scalars by value (numbers numerically, a bool only equals
    // a bool), lists and dictionaries element by element.
    friend bool operator==(const Value &a, const Value &b);

    static QString typeName(Type t);

private:
    std::variant<std::monostate, bool, qint64, quint64, double, QString, QDateTime, QByteArray,
                 quillcast::List, quillcast::Dict>
        m_v;
};

// Leading decimal integer of a text, the way a typed number is read: leading
// white space skipped, optional sign, digits up to the first other character,
// 0 without digits, saturated to the 64-bit range.
qint64 leadingInteger(QStringView text);

} // namespace quillcast
