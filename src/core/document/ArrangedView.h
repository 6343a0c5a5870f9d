#pragma once

#include "document/RowIndex.h"
#include "util/Dict.h"
#include "util/List.h"

#include <QtGlobal>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace quillcast {

// The records of one list that a predicate lets through, in list order, as
// they were when the view was last re-evaluated. rearrange() re-evaluates the
// whole view; append(), insert() and removeAt() follow one record added to or
// removed from the list, so that a table over a million rows hears of one row
// and not of a new list. An edit of a record's values leaves the view as it
// is, which is what the user sees in the table.
//
// The view holds handles on the list's own records (never copies), so a change
// made through the view is a change of the record in every list holding it.
//
// Thread safety: records() hands out the arrangement as an immutable
// snapshot, so a worker may read a view while the main thread changes it. A
// change made while such a snapshot is held goes to a fresh copy; otherwise
// the arrangement is changed in place, so one append costs O(1) amortised.
class ArrangedView
{
public:
    using Records = std::shared_ptr<const std::vector<Dict>>;
    // A test of one record. It reads what it needs: a snapshot for several
    // values, or one value alone (a flag) without taking a snapshot.
    using Predicate = std::function<bool(const Dict &)>;

    ArrangedView();
    ArrangedView(const ArrangedView &) = delete;
    ArrangedView &operator=(const ArrangedView &) = delete;

    // Re-evaluates the view: every dictionary of source for which predicate
    // holds, in list order. Elements that are not dictionaries are skipped.
    // The predicate must not change source. On a long list it is called
    // from two threads at once, each walking half of the list.
    // An empty predicate takes every record of the list.
    void rearrange(const List &source, const Predicate &predicate);
    // Re-evaluates two views of one list in one walk; the same as rearranging
    // each in turn.
    static void rearrangeTogether(const List &source, ArrangedView &first, const Predicate &firstPredicate,
                                  ArrangedView &second, const Predicate &secondPredicate);
    void clear();
    // The arrangement rearrange() would install, computed without touching any
    // view, so that a long list can be walked on a worker: callable from any
    // thread. Gives up (nothing) once cancelled reads true; it is read every
    // few thousand records.
    static std::optional<std::vector<Dict>> arrange(const List &source, const Predicate &predicate,
                                                    const std::atomic<bool> *cancelled = nullptr);
    // Puts an arrangement computed by arrange() in place.
    void install(std::vector<Dict> &&arranged);

    // One record more at the end of the arrangement.
    void append(const Dict &record);
    // One record more at position i (clamped to the arrangement).
    void insert(qsizetype i, const Dict &record);
    // Takes the record at position i out; false outside the arrangement.
    bool removeAt(qsizetype i);

    // The arrangement as of the last re-evaluation; never null.
    Records records() const;
    qsizetype size() const;
    bool isEmpty() const { return size() == 0; }
    // The record at position i of the arrangement; nothing outside it.
    std::optional<Dict> at(qsizetype i) const;
    // Position of this very record (identity, not equal contents), or -1;
    // a hash look-up, not a walk of the view.
    qsizetype indexOf(const Dict &record) const;
    bool contains(const Dict &record) const { return indexOf(record) >= 0; }

private:
    using Arrangement = std::shared_ptr<std::vector<Dict>>;

    // The arrangement to change, copied first when a reader holds it. Under m_lock.
    std::vector<Dict> &writable();

    mutable std::mutex m_lock;
    Arrangement m_records;
    mutable RowIndex m_index; // under m_lock
};

} // namespace quillcast
