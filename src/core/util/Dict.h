#pragma once

#include <QString>
#include <QStringList>

#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <span>
#include <utility>
#include <vector>

namespace quillcast {

class Value;

namespace dict_detail {
struct Keys;
struct Version;
struct Data;
} // namespace dict_detail

// A mutable dictionary from strings to Values with reference semantics: copies
// of a Dict are handles on one object, and identity (sameObject) is what makes
// a record shared between the database and the send list.
//
// Thread safety: a reader (the send run's worker, say) takes a snapshot and
// then reads it without any lock, so it always sees one complete version of
// the record, never a half-written one. Only the exchange of the current
// version is guarded, by a tiny per-record spin lock held for a couple of
// instructions: a record costs one byte more rather than a mutex. Writers on
// several threads do not lose each other's updates.
//
// Memory: a mailing holds a million of these, so a version is one block: a
// small header and the values, in key order. The sorted keys live apart, in
// a block shared by every dictionary with the same keys (all the records of
// a mailing, typically). A write builds a new version, except when nobody
// else holds the current one (no snapshot, no other writer): then a value is
// replaced where it stands, under the lock, which is what checking a million
// records does.
class Dict
{
private:
    using Keys = dict_detail::Keys;
    using Version = dict_detail::Version;
    using Data = dict_detail::Data;

    // A counted reference on a version.
    class VersionRef
    {
    public:
        VersionRef() = default;
        explicit VersionRef(Version *adopted) noexcept : m_v(adopted) {}
        VersionRef(const VersionRef &other) noexcept : m_v(other.m_v) { retain(m_v); }
        VersionRef(VersionRef &&other) noexcept : m_v(std::exchange(other.m_v, nullptr)) {}
        VersionRef &operator=(VersionRef other) noexcept
        {
            std::swap(m_v, other.m_v);
            return *this;
        }
        ~VersionRef() { release(m_v); }
        Version *get() const noexcept { return m_v; }
        Version *operator->() const noexcept { return m_v; }

    private:
        Version *m_v = nullptr;
    };

public:
    using Entry = std::pair<QString, Value>;
    using Entries = std::vector<Entry>; // sorted by key, keys unique
    // An entry as read through a snapshot: the key and the value where they are stored.
    struct EntryView
    {
        const QString &first;
        const Value &second;
    };

    // The entries of one version, in key order. Keeps that version alive.
    class EntryRange
    {
    public:
        class const_iterator
        {
        public:
            using iterator_category = std::random_access_iterator_tag;
            using value_type = Entry;
            using difference_type = std::ptrdiff_t;
            using reference = EntryView;
            using pointer = void;

            const_iterator() = default;
            EntryView operator*() const;
            EntryView operator[](difference_type n) const;
            const_iterator &operator++()
            {
                ++m_i;
                return *this;
            }
            const_iterator operator++(int)
            {
                const_iterator was = *this;
                ++m_i;
                return was;
            }
            const_iterator &operator--()
            {
                --m_i;
                return *this;
            }
            const_iterator operator--(int)
            {
                const_iterator was = *this;
                --m_i;
                return was;
            }
            const_iterator &operator+=(difference_type n)
            {
                m_i += n;
                return *this;
            }
            const_iterator &operator-=(difference_type n)
            {
                m_i -= n;
                return *this;
            }
            friend const_iterator operator+(const_iterator it, difference_type n) { return it += n; }
            friend const_iterator operator+(difference_type n, const_iterator it) { return it += n; }
            friend const_iterator operator-(const_iterator it, difference_type n) { return it -= n; }
            friend difference_type operator-(const const_iterator &a, const const_iterator &b) { return a.m_i - b.m_i; }
            friend bool operator==(const const_iterator &a, const const_iterator &b) { return a.m_i == b.m_i; }
            friend auto operator<=>(const const_iterator &a, const const_iterator &b) { return a.m_i <=> b.m_i; }

        private:
            friend class EntryRange;
            const_iterator(const QString *keys, const Value *values, difference_type i)
                : m_keys(keys), m_values(values), m_i(i)
            {
            }
            const QString *m_keys = nullptr;
            const Value *m_values = nullptr;
            difference_type m_i = 0;
        };
        using iterator = const_iterator;

        const_iterator begin() const { return const_iterator(m_keys, m_values, 0); }
        const_iterator end() const { return const_iterator(m_keys, m_values, m_size); }
        qsizetype size() const { return m_size; }
        bool empty() const { return m_size == 0; }
        EntryView operator[](qsizetype i) const;

        // The entries as a vector of their own (keys and values shared, not deep-copied).
        Entries toEntries() const;
        operator Entries() const;

        friend bool operator==(const EntryRange &a, const EntryRange &b);

    private:
        friend class Dict;
        explicit EntryRange(VersionRef version);
        VersionRef m_version;
        const QString *m_keys = nullptr;
        const Value *m_values = nullptr;
        qsizetype m_size = 0;
    };

    // A consistent view of a dictionary at one moment; cheap to take.
    class Snapshot
    {
    public:
        const Value &value(const QString &key) const; // the null Value when missing
        bool contains(const QString &key) const;
        qsizetype size() const;
        EntryRange entries() const;

        bool boolValue(const QString &key) const;
        qint64 intValue(const QString &key) const;
        QString stringValue(const QString &key) const;

    private:
        friend class Dict;
        explicit Snapshot(VersionRef v) : m_version(std::move(v)) {}
        VersionRef m_version;
    };

    // Sorted, unique keys shared by many dictionaries made alike (the records
    // of an import): a dictionary made over a key set copies no key and looks
    // none up, so several threads can make them side by side without
    // touching anything shared but the set's count.
    class KeySet
    {
    public:
        KeySet(); // no keys
        explicit KeySet(const QStringList &keys); // any order; a repeated key counts once
        KeySet(const KeySet &other) noexcept;
        KeySet &operator=(const KeySet &other) noexcept;
        ~KeySet();

        qsizetype size() const;
        const QString &at(qsizetype i) const; // in key order
        qsizetype indexOf(const QString &key) const; // -1 when missing

    private:
        friend class Dict;
        Keys *m_keys;
    };

    Dict(); // a new, empty dictionary
    explicit Dict(Entries entries); // a new dictionary with these entries (any order; later duplicates win)
    Dict(std::initializer_list<Entry> entries);
    // A new dictionary holding values[i] under keys.at(i), for as many values
    // as there are keys; a null value leaves its key out. The values are
    // taken (left null), so a caller can refill the same span for the next one.
    Dict(const KeySet &keys, std::span<Value> values);
    Dict(const Dict &other) noexcept;
    Dict(Dict &&other) noexcept : m_d(std::exchange(other.m_d, nullptr)) {}
    Dict &operator=(const Dict &other) noexcept;
    Dict &operator=(Dict &&other) noexcept;
    ~Dict();

    Snapshot snapshot() const;

    Value value(const QString &key) const;
    bool contains(const QString &key) const;
    qsizetype size() const;
    bool isEmpty() const { return size() == 0; }
    QStringList keys() const;

    // Missing-reads-as accessors.
    bool boolValue(const QString &key) const;
    qint64 intValue(const QString &key) const;
    QString stringValue(const QString &key) const;

    // Setting the null Value removes the key, as storing "no value" does.
    // Both tell whether the dictionary changed: writing a value of the same
    // kind that compares equal to the stored one leaves it as it is.
    bool set(const QString &key, const Value &value);
    bool remove(const QString &key);
    void clear();
    void replaceEntries(Entries entries);

    // A new dictionary with the same entries; nested lists and dictionaries are copied too.
    Dict deepCopy() const;

    static bool sameObject(const Dict &a, const Dict &b) { return a.m_d == b.m_d; }
    const void *identity() const { return m_d; }

private:
    explicit Dict(Version *adopted);
    static void retain(Version *v) noexcept;
    static void release(Version *v) noexcept;
    VersionRef current() const;
    void store(Version *adopted);
    bool install(VersionRef &expected, Version *adopted);

    Data *m_d;
};

} // namespace quillcast

// Value completes the types above; including either header is enough.
#include "util/Value.h"
