#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

namespace quillcast {

class Value;

// A mutable dictionary from strings to Values with reference semantics: copies
// of a Dict are handles on one object, and identity (sameObject) is what makes
// a record shared between the database and the send list.
//
// Thread safety: the entries are an immutable snapshot, replaced as a whole on
// every write. A reader (the send run's worker, say) takes the current
// snapshot and then reads it without any lock, so it always sees one complete
// version of the record, never a half-written one. Only the exchange of the
// snapshot pointer is guarded, by a tiny per-record spin lock held for a
// couple of instructions: a record costs one byte more rather than a mutex.
// Writers on several threads do not lose each other's updates.
class Dict
{
public:
    using Entry = std::pair<QString, Value>;
    using Entries = std::vector<Entry>; // sorted by key, keys unique

    // A consistent view of a dictionary at one moment; cheap to take.
    class Snapshot
    {
    public:
        const Value &value(const QString &key) const; // the null Value when missing
        bool contains(const QString &key) const;
        qsizetype size() const;
        const Entries &entries() const;

        bool boolValue(const QString &key) const;
        qint64 intValue(const QString &key) const;
        QString stringValue(const QString &key) const;

    private:
        friend class Dict;
        explicit Snapshot(std::shared_ptr<const Entries> e) : m_entries(std::move(e)) {}
        std::shared_ptr<const Entries> m_entries;
    };

    Dict(); // a new, empty dictionary
    explicit Dict(Entries entries); // a new dictionary with these entries (any order; later duplicates win)
    Dict(std::initializer_list<Entry> entries);

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
    void set(const QString &key, const Value &value);
    void remove(const QString &key);
    void clear();
    void replaceEntries(Entries entries);

    // A new dictionary with the same entries; nested lists and dictionaries are copied too.
    Dict deepCopy() const;

    static bool sameObject(const Dict &a, const Dict &b) { return a.m_d == b.m_d; }
    const void *identity() const { return m_d.get(); }

private:
    struct Data
    {
        mutable std::atomic_flag busy = ATOMIC_FLAG_INIT;
        std::shared_ptr<const Entries> entries;

        std::shared_ptr<const Entries> load() const;
        void store(std::shared_ptr<const Entries> next);
    };
    template<typename Edit>
    void edit(Edit &&change);

    std::shared_ptr<Data> m_d;
};

} // namespace quillcast

// Value completes the types above; including either header is enough.
#include "util/Value.h"
