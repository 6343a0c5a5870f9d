#pragma once

#include "util/Dict.h"
#include "util/List.h"

#include <QtGlobal>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace quillcast {

// The records of one list that a predicate lets through, in list order, as
// they were when the view was last re-evaluated. A view changes only when
// rearrange() is called: edits of the list or of the search text in between
// leave it as it is, which is what the user sees in the table.
//
// The view holds handles on the list's own records (never copies), so a change
// made through the view is a change of the record in every list holding it.
//
// Thread safety: rearrange() swaps in a whole new arrangement, and records()
// hands out that arrangement as an immutable snapshot, so a worker may read a
// view while the main thread re-evaluates it.
class ArrangedView
{
public:
    using Records = std::shared_ptr<const std::vector<Dict>>;
    using Predicate = std::function<bool(const Dict::Snapshot &)>;

    ArrangedView();
    ArrangedView(const ArrangedView &) = delete;
    ArrangedView &operator=(const ArrangedView &) = delete;

    // Re-evaluates the view: every dictionary of source for which predicate
    // holds, in list order. Elements that are not dictionaries are skipped.
    // The predicate sees one snapshot per record and must not change source.
    // An empty predicate takes every record of the list.
    void rearrange(const List &source, const Predicate &predicate);
    // Re-evaluates two views of one list in one walk, with one snapshot per
    // record for both predicates; the same as rearranging each in turn.
    static void rearrangeTogether(const List &source, ArrangedView &first, const Predicate &firstPredicate,
                                  ArrangedView &second, const Predicate &secondPredicate);
    void clear();

    // The arrangement as of the last re-evaluation; never null.
    Records records() const;
    qsizetype size() const;
    bool isEmpty() const { return size() == 0; }
    // The record at position i of the arrangement; nothing outside it.
    std::optional<Dict> at(qsizetype i) const;
    // Position of this very record (identity, not equal contents), or -1.
    qsizetype indexOf(const Dict &record) const;
    bool contains(const Dict &record) const { return indexOf(record) >= 0; }

private:
    void install(std::vector<Dict> &&arranged);

    mutable std::mutex m_lock;
    Records m_records;
};

} // namespace quillcast
