#pragma once

#include <QtGlobal>


#include <functional>
#include <memory>
#include <shared_mutex>
#include <vector>

namespace quillcast {

class Value;

// A mutable ordered list of Values with reference semantics (copies are
// handles on one list). Every access is guarded by a reader-writer lock, so a
// worker may walk a list while the main thread works on the document; read()
// lends the items to a function without copying them (the function must not
// change the same list).
//
// snapshot() keeps the items as they are now without copying them: the list
// copies its items the first time it is changed while a snapshot is held, so
// a save can walk a million records while the user goes on editing.
class List
{
public:
    using Items = std::vector<Value>;

    List(); // a new, empty list
    explicit List(Items items);

    qsizetype size() const;
    bool isEmpty() const { return size() == 0; }
    Value at(qsizetype i) const; // the null Value outside the list
    Items items() const; // a copy of the items (the elements themselves stay shared)

    // The items at one moment, unchanged by later edits of the list.
    class Snapshot
    {
    public:
        Snapshot() = default;
        Snapshot(Snapshot &&other) noexcept = default;
        Snapshot &operator=(Snapshot &&other) noexcept;
        ~Snapshot();
        const Items &items() const;

    private:
        friend class List;
        struct Block;
        explicit Snapshot(std::shared_ptr<Block> block);
        std::shared_ptr<Block> m_block;
    };
    Snapshot snapshot() const;

    void append(const Value &v);
    void append(Items more);
    void insert(qsizetype i, const Value &v);
    void set(qsizetype i, const Value &v);
    void removeAt(qsizetype i);
    void clear();
    void setItems(Items items);
    // Removes every element that is the same object as, or equal to, v; returns how many.
    qsizetype removeAll(const Value &v);
    // Index of the element that is this very dictionary, or -1.
    qsizetype indexOfObject(const void *identity) const;

    void read(const std::function<void(const Items &)> &reader) const;
    void write(const std::function<void(Items &)> &writer);

    List deepCopy() const;

    static bool sameObject(const List &a, const List &b) { return a.m_d == b.m_d; }
    const void *identity() const { return m_d.get(); }

private:
    struct Data
    {
        mutable std::shared_mutex lock;
        // Null while the list is empty and was never changed.
        std::shared_ptr<Snapshot::Block> block;
        const Items &items() const;
        // The items to change, copied first when a snapshot holds them; the
        // lock must be held for writing.
        Items &own();
    };
    std::shared_ptr<Data> m_d;
};

} // namespace quillcast

// Value completes the types above; including either header is enough.
#include "util/Value.h"
