#pragma once

#include "util/Dict.h"
#include "util/List.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <concepts>
#include <cstring>
#include <new>

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
//
// A mailing holds millions of these, so a Value is three words, the size of
// the QString it mostly carries. A string is stored as the QString itself;
// every other kind stores an odd tag word first, which a QString's first word
// (its data header pointer, null or at least 8-byte aligned) never is, and its
// payload in the two words after. Values move by relocation (a byte copy),
// which every payload type allows.
class Value
{
public:
    enum class Type { Null, Bool, Int, UInt, Real, String, Date, Bytes, List, Dict };

    Value() noexcept { setTag(Type::Null); }
    Value(bool b) noexcept
    {
        setTag(Type::Bool);
        m_tagged.b = b;
    }
    template<std::signed_integral T>
        requires(!std::same_as<T, bool>)
    Value(T i) noexcept
    {
        setTag(Type::Int);
        m_tagged.i = static_cast<qint64>(i);
    }
    template<std::unsigned_integral T>
        requires(!std::same_as<T, bool>)
    Value(T u) noexcept
    {
        setTag(Type::UInt);
        m_tagged.u = static_cast<quint64>(u);
    }
    Value(double r) noexcept
    {
        setTag(Type::Real);
        m_tagged.r = r;
    }
    Value(const QString &s) noexcept : m_string(s) {}
    Value(QString &&s) noexcept : m_string(std::move(s)) {}
    Value(QStringView s) : m_string(s.toString()) {}
    Value(const QDateTime &d);
    Value(const QByteArray &b);
    Value(const quillcast::List &l);
    Value(const quillcast::Dict &d) noexcept;
    // Guards against a string literal silently becoming a bool.
    Value(const char *) = delete;

    Value(const Value &other)
    {
        // Strings and plain scalars, the bulk of any mailing, without a call.
        const quintptr w = other.firstWord();
        if ((w & 1) == 0)
            new (&m_string) QString(other.m_string);
        else if (w <= kLastScalarTag)
            relocateFrom(other);
        else
            copyHeld(other);
    }
    Value(Value &&other) noexcept
    {
        relocateFrom(other);
        other.setTag(Type::Null);
    }
    Value &operator=(const Value &other)
    {
        Value copy(other);
        swap(copy);
        return *this;
    }
    Value &operator=(Value &&other) noexcept
    {
        Value taken(std::move(other));
        swap(taken);
        return *this;
    }
    ~Value()
    {
        const quintptr w = firstWord();
        if ((w & 1) == 0)
            m_string.~QString();
        else if (w > kLastScalarTag)
            destroyHeld();
    }

    void swap(Value &other) noexcept;

    Type type() const noexcept
    {
        const quintptr w = firstWord();
        return (w & 1) != 0 ? static_cast<Type>(w >> 1) : Type::String;
    }
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

    // The string or dictionary held, without taking a copy; null for any
    // other kind. Valid while this Value is neither changed nor destroyed.
    const QString *asString() const noexcept { return isString() ? &m_string : nullptr; }
    const quillcast::Dict *asDict() const noexcept { return isDict() ? &m_tagged.dict : nullptr; }

    // Deep comparison: scalars by value (numbers numerically, a bool only equals
    // a bool), lists and dictionaries element by element.
    friend bool operator==(const Value &a, const Value &b);

    static QString typeName(Type t);

private:
    struct Tagged
    {
        Tagged() noexcept {}
        ~Tagged() {}
        quintptr tag;
        union {
            bool b;
            qint64 i;
            quint64 u;
            double r;
            QDateTime date;
            QByteArray *bytes; // rare in records: kept out of line to keep the value small
            quillcast::List list;
            quillcast::Dict dict;
        };
    };

    // The kinds from Null to Real are plain bits, and their tags the smallest.
    static constexpr quintptr kLastScalarTag = (quintptr(Type::Real) << 1) | 1;

    quintptr firstWord() const noexcept;
    void setTag(Type t) noexcept;
    void copyHeld(const Value &other); // a date, bytes, a list or a dictionary
    void destroyHeld();
    void relocateFrom(const Value &other) noexcept;

    union {
        QString m_string;
        Tagged m_tagged;
    };
};

inline quintptr Value::firstWord() const noexcept
{
    quintptr w;
    std::memcpy(&w, static_cast<const void *>(this), sizeof w);
    return w;
}

inline void Value::setTag(Type t) noexcept
{
    new (&m_tagged) Tagged;
    m_tagged.tag = (quintptr(t) << 1) | 1;
    m_tagged.u = 0;
}

inline void Value::relocateFrom(const Value &other) noexcept
{
    std::memcpy(static_cast<void *>(this), static_cast<const void *>(&other), sizeof(Value));
}

inline void Value::swap(Value &other) noexcept
{
    if (this == &other)
        return;
    alignas(Value) unsigned char held[sizeof(Value)];
    std::memcpy(held, static_cast<const void *>(this), sizeof(Value));
    relocateFrom(other);
    std::memcpy(static_cast<void *>(&other), held, sizeof(Value));
}

inline void swap(Value &a, Value &b) noexcept
{
    a.swap(b);
}

// Dict's entry access, here where Value is complete.
inline Dict::EntryView Dict::EntryRange::const_iterator::operator*() const
{
    return {m_keys[m_i], m_values[m_i]};
}

inline Dict::EntryView Dict::EntryRange::const_iterator::operator[](difference_type n) const
{
    return {m_keys[m_i + n], m_values[m_i + n]};
}

inline Dict::EntryView Dict::EntryRange::operator[](qsizetype i) const
{
    return {m_keys[i], m_values[i]};
}

// Leading decimal integer of a text, the way a typed number is read: leading
// white space skipped, optional sign, digits up to the first other character,
// 0 without digits, saturated to the 64-bit range.
qint64 leadingInteger(QStringView text);

} // namespace quillcast
