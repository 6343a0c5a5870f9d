#pragma once

#include "document/ArrangedView.h"
#include "document/RowIndex.h"
#include "document/SearchPredicate.h"
#include "util/Dict.h"
#include "util/List.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace quillcast {

// One list of records of a mailing (the database, the exception list or the
// send list) with what the window shows of it: the stored list, the records
// its search text lets through (shown), the checked records (checked), the
// search text and whether any record counts as checked.
//
// The lists differ only in their keys (where the checked flag, the address
// and the number are stored), in what their search reads and in which
// records the any-checked flag covers.
//
// Row signals: appending, inserting or removing one record, and one record's
// value changing, are announced row by row for the list and for each view
// holding the record, so a table over a million rows never has to reset for
// them; rearranged() is kept for a new search text and for bulk commands.
//
// Threads: the list handle, the search text and the flag are read and written
// whole from any thread; the views are readable from any thread; everything
// else, and every signal, stays on the owner's thread.
class RecordList : public QObject
{
    Q_OBJECT

public:
    // The parts a row signal concerns.
    enum class Part { Items, Shown, Checked };
    Q_ENUM(Part)

    // The records the any-checked flag covers.
    enum class FlagScope { AllRecords, ShownRecords };

    struct Keys
    {
        QString checked;
        QString address;
        QString number;
        FlagScope flagScope = FlagScope::AllRecords;
    };
    // What the search reads, for a search text.
    using SearchFactory = std::function<SearchPredicate(const QString &text)>;

    RecordList(Keys keys, SearchFactory search, QObject *parent = nullptr);

    const Keys &keys() const { return m_keys; }

    // --- What is stored --------------------------------------------------------

    List items() const;
    // Puts another list in place; false when it is the same list. The views
    // stay until re-evaluated.
    bool replaceItems(const List &items);
    // Records were added to or removed from the list in place in bulk (an
    // import, a compaction): the list is announced as rearranged, and its
    // views follow its rows again once re-evaluated.
    void rowsChangedInBulk();
    // Many records' values changed at once (a check command, renumbering):
    // the list and the shown view are announced as rearranged.
    void valuesChangedInBulk();

    // --- Search text and flag ----------------------------------------------------

    QString searchText() const;
    // False when the text is the same, "no text" and "" being different.
    bool replaceSearchText(const QString &text);
    SearchPredicate search() const { return m_searchFactory(searchText()); }

    bool anyChecked() const { return m_anyChecked.load(); }
    // Returns the previous value.
    bool exchangeAnyChecked(bool value) { return m_anyChecked.exchange(value); }
    // Whether a record the flag covers is checked: over the checked view as
    // last re-evaluated, or over the shown view, as the flag's scope says.
    bool computeAnyChecked() const;
    // The same after record's flag was set or cleared alone, when the checked
    // view has not followed: no walk when the record is checked now.
    bool computeAnyCheckedAfterEdit(const Dict &record) const;

    // --- Views ---------------------------------------------------------------------

    const ArrangedView &shown() const { return m_shown; }
    const ArrangedView &checked() const { return m_checked; }

    // Whole re-evaluations, each announced as rearranged. The shown view
    // keeps the search it was last filtered with for the records added later.
    void filterShown();
    void rearrangeChecked();
    // Both in one walk of the list.
    void filterShownAndChecked();
    // Re-evaluates a view that does not follow the list in place (never
    // evaluated, or evaluated over a list since replaced); false when it did.
    bool filterShownIfStale();
    bool rearrangeCheckedIfStale();

    // A re-evaluation of the shown view done aside, so that a long list is
    // walked off the owner's thread while the user goes on typing: taken on
    // the owner's thread with the current search text, run on any thread (it
    // holds the list and the search, not this object, so it may outlive it),
    // put in place on the owner's thread.
    class ShownPass
    {
    public:
        const QString &text() const { return m_text; }
        // Walks the list; false when cancelled on the way.
        bool run(const std::atomic<bool> *cancelled = nullptr);
        bool isDone() const { return m_arranged.has_value(); }

    private:
        friend class RecordList;
        QString m_text;
        quint64 m_generation = 0;
        List m_items;
        SearchPredicate m_search = SearchPredicate::all();
        std::optional<std::vector<Dict>> m_arranged;
    };
    ShownPass shownPass() const;
    // Installs a finished pass as the shown view, announced as rearranged,
    // unless it is out of date: the search text changed, or the list's
    // records or the shown view changed since the pass was taken. False then,
    // and the view stays as it is.
    bool installShownPass(ShownPass &&pass);

    // --- One record ----------------------------------------------------------------

    // Adds record at the end of the list; the shown view takes it when the
    // search lets it through, the checked view when it is checked.
    void append(const Dict &record);
    // Adds record at index of the list; the views take it at its place.
    void insert(qsizetype index, const Dict &record);
    // Takes this very record out of the list and the views; false when the
    // list does not hold it.
    bool remove(const Dict &record);
    // The value of record under key changed: announced for every part holding
    // the record. False when the list does not hold it.
    bool noteValueChanged(const Dict &record, const QString &key);

    // The row of this very record in the list, or -1; a hash look-up.
    qsizetype rowOf(const Dict &record) const;
    bool contains(const Dict &record) const { return rowOf(record) >= 0; }

Q_SIGNALS:
    void rowsInserted(quillcast::RecordList::Part part, qsizetype first, qsizetype last);
    void rowsRemoved(quillcast::RecordList::Part part, qsizetype first, qsizetype last);
    void rowChanged(quillcast::RecordList::Part part, qsizetype row, const QString &key);
    void rearranged(quillcast::RecordList::Part part);

private:
    // Where record goes in the checked view: after the checked records that
    // come before it in the list.
    qsizetype checkedPositionFor(qsizetype listRow) const;

    const Keys m_keys;
    const SearchFactory m_searchFactory;

    mutable std::mutex m_lock; // guards m_items, m_searchText and m_index
    List m_items;
    QString m_searchText;
    mutable RowIndex m_index;
    std::atomic<bool> m_anyChecked{false};
    // Counts the changes of the records held and the re-evaluations of the
    // shown view, which make a pass taken before them out of date. Owner's thread.
    quint64 m_generation = 0;

    ArrangedView m_shown;
    SearchPredicate m_shownSearch = SearchPredicate::all(); // owner's thread
    // Whether each view was evaluated over the list in place: a view of a
    // list since replaced does not follow the new list's rows.
    bool m_shownFollows = false;
    bool m_checkedFollows = false;
    ArrangedView m_checked;
};

} // namespace quillcast
