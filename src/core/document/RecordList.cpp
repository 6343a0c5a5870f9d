#include "document/RecordList.h"

#include <algorithm>
#include <utility>

namespace quillcast {

namespace {

ArrangedView::Predicate searchedBy(const SearchPredicate &search)
{
    if (search.matchesEverything())
        return {};
    return [search](const Dict &record) { return search.matches(record.snapshot()); };
}

ArrangedView::Predicate checkedBy(const QString &entry)
{
    // One flag: read alone, with no snapshot of the record.
    return [entry](const Dict &record) { return record.boolValue(entry); };
}

} // namespace

RecordList::RecordList(Keys keys, SearchFactory search, QObject *parent)
    : QObject(parent), m_keys(std::move(keys)), m_searchFactory(std::move(search))
{
}

List RecordList::items() const
{
    std::lock_guard lock(m_lock);
    return m_items;
}

bool RecordList::replaceItems(const List &items)
{
    List replaced = items;
    {
        std::lock_guard lock(m_lock);
        if (List::sameObject(m_items, items))
            return false;
        std::swap(m_items, replaced);
        m_index.clear();
    }
    ++m_generation;
    m_shownFollows = false;
    m_checkedFollows = false;
    // The old list is released here, outside the lock.
    return true;
}

void RecordList::rowsChangedInBulk()
{
    ++m_generation;
    {
        std::lock_guard lock(m_lock);
        m_index.clear();
    }
    m_shownFollows = false;
    m_checkedFollows = false;
    Q_EMIT rearranged(Part::Items);
}

void RecordList::valuesChangedInBulk()
{
    Q_EMIT rearranged(Part::Items);
    Q_EMIT rearranged(Part::Shown);
}

QString RecordList::searchText() const
{
    std::lock_guard lock(m_lock);
    return m_searchText;
}

bool RecordList::replaceSearchText(const QString &text)
{
    QString replaced = text;
    std::lock_guard lock(m_lock);
    if (m_searchText == text && m_searchText.isNull() == text.isNull())
        return false;
    m_searchText.swap(replaced);
    return true;
}

bool RecordList::computeAnyChecked() const
{
    if (m_keys.flagScope == FlagScope::AllRecords)
        return !m_checked.isEmpty();
    const ArrangedView::Records shown = m_shown.records();
    return std::any_of(shown->begin(), shown->end(),
                       [&](const Dict &record) { return record.boolValue(m_keys.checked); });
}

bool RecordList::computeAnyCheckedAfterEdit(const Dict &record) const
{
    const bool covered = m_keys.flagScope == FlagScope::AllRecords || m_shown.contains(record);
    if (covered && record.boolValue(m_keys.checked))
        return true;
    if (m_keys.flagScope == FlagScope::ShownRecords)
        return computeAnyChecked();
    // The checked view holds the records ticked when it was last evaluated,
    // all of them still in the list while it follows the list: one of them
    // still ticked answers without walking a million records. Only when none
    // is (the last tick taken away, or the view is stale) is the list walked,
    // for records ticked since.
    if (m_checkedFollows) {
        const ArrangedView::Records checked = m_checked.records();
        if (std::any_of(checked->begin(), checked->end(),
                        [&](const Dict &r) { return r.boolValue(m_keys.checked); }))
            return true;
    }
    bool any = false;
    items().read([&](const List::Items &items) {
        any = std::any_of(items.begin(), items.end(), [&](const Value &item) {
            const Dict *d = item.asDict();
            return d && d->boolValue(m_keys.checked);
        });
    });
    return any;
}

// --- Views ---------------------------------------------------------------------

void RecordList::filterShown()
{
    ++m_generation;
    m_shownSearch = search();
    m_shown.rearrange(items(), searchedBy(m_shownSearch));
    m_shownFollows = true;
    Q_EMIT rearranged(Part::Shown);
}

void RecordList::rearrangeChecked()
{
    m_checked.rearrange(items(), checkedBy(m_keys.checked));
    m_checkedFollows = true;
    Q_EMIT rearranged(Part::Checked);
}

void RecordList::filterShownAndChecked()
{
    ++m_generation;
    m_shownSearch = search();
    ArrangedView::rearrangeTogether(items(), m_shown, searchedBy(m_shownSearch), m_checked,
                                    checkedBy(m_keys.checked));
    m_shownFollows = true;
    m_checkedFollows = true;
    Q_EMIT rearranged(Part::Shown);
    Q_EMIT rearranged(Part::Checked);
}

RecordList::ShownPass RecordList::shownPass() const
{
    ShownPass pass;
    {
        std::lock_guard lock(m_lock);
        pass.m_text = m_searchText;
        pass.m_items = m_items;
    }
    pass.m_generation = m_generation;
    pass.m_search = m_searchFactory(pass.m_text);
    return pass;
}

bool RecordList::ShownPass::run(const std::atomic<bool> *cancelled)
{
    m_arranged = ArrangedView::arrange(m_items, searchedBy(m_search), cancelled);
    return m_arranged.has_value();
}

bool RecordList::installShownPass(ShownPass &&pass)
{
    if (!pass.isDone() || pass.m_generation != m_generation || !List::sameObject(pass.m_items, items()))
        return false;
    const QString current = searchText();
    if (current != pass.m_text || current.isNull() != pass.m_text.isNull())
        return false;
    ++m_generation;
    m_shownSearch = pass.m_search;
    m_shown.install(std::move(*pass.m_arranged));
    pass.m_arranged.reset();
    m_shownFollows = true;
    Q_EMIT rearranged(Part::Shown);
    return true;
}

bool RecordList::filterShownIfStale()
{
    if (m_shownFollows)
        return false;
    filterShown();
    return true;
}

bool RecordList::rearrangeCheckedIfStale()
{
    if (m_checkedFollows)
        return false;
    rearrangeChecked();
    return true;
}

// --- One record ------------------------------------------------------------------

qsizetype RecordList::rowOf(const Dict &record) const
{
    std::lock_guard lock(m_lock);
    qsizetype row = -1;
    m_items.read([&](const List::Items &items) {
        row = m_index.find(record.identity(), qsizetype(items.size()), [&](qsizetype i) -> const void * {
            const Dict *d = items[size_t(i)].asDict();
            return d ? d->identity() : nullptr;
        });
    });
    return row;
}

qsizetype RecordList::checkedPositionFor(qsizetype listRow) const
{
    const ArrangedView::Records checked = m_checked.records();
    const auto at = std::partition_point(checked->begin(), checked->end(),
                                         [&](const Dict &record) { return rowOf(record) < listRow; });
    return qsizetype(at - checked->begin());
}

void RecordList::append(const Dict &record)
{
    ++m_generation;
    qsizetype row = 0;
    {
        std::lock_guard lock(m_lock);
        m_items.write([&](List::Items &items) {
            items.push_back(Value(record));
            row = qsizetype(items.size()) - 1;
        });
        m_index.appended(record.identity(), row);
    }
    Q_EMIT rowsInserted(Part::Items, row, row);

    const Dict::Snapshot values = record.snapshot();
    if (m_shownFollows && m_shownSearch.matches(values)) {
        m_shown.append(record);
        const qsizetype shownRow = m_shown.size() - 1;
        Q_EMIT rowsInserted(Part::Shown, shownRow, shownRow);
    }
    if (m_checkedFollows && values.boolValue(m_keys.checked)) {
        m_checked.append(record);
        const qsizetype checkedRow = m_checked.size() - 1;
        Q_EMIT rowsInserted(Part::Checked, checkedRow, checkedRow);
    }
}

void RecordList::insert(qsizetype index, const Dict &record)
{
    ++m_generation;
    qsizetype row = 0;
    {
        std::lock_guard lock(m_lock);
        m_items.write([&](List::Items &items) {
            row = std::clamp<qsizetype>(index, 0, qsizetype(items.size()));
            items.insert(items.begin() + row, Value(record));
        });
        m_index.invalidateFrom(row);
    }
    Q_EMIT rowsInserted(Part::Items, row, row);

    const Dict::Snapshot values = record.snapshot();
    // In a view, the record goes before the first record that follows it in the list.
    const auto placeIn = [&](const ArrangedView &view) {
        const ArrangedView::Records records = view.records();
        const auto at = std::partition_point(records->begin(), records->end(),
                                             [&](const Dict &r) { return rowOf(r) < row; });
        return qsizetype(at - records->begin());
    };
    if (m_shownFollows && m_shownSearch.matches(values)) {
        const qsizetype at = placeIn(m_shown);
        m_shown.insert(at, record);
        Q_EMIT rowsInserted(Part::Shown, at, at);
    }
    if (m_checkedFollows && values.boolValue(m_keys.checked)) {
        const qsizetype at = checkedPositionFor(row);
        m_checked.insert(at, record);
        Q_EMIT rowsInserted(Part::Checked, at, at);
    }
}

bool RecordList::remove(const Dict &record)
{
    const qsizetype row = rowOf(record);
    if (row < 0)
        return false;
    ++m_generation;
    {
        std::lock_guard lock(m_lock);
        m_items.write([&](List::Items &items) {
            if (row < qsizetype(items.size()))
                items.erase(items.begin() + row);
        });
        m_index.removed(record.identity(), row);
    }
    Q_EMIT rowsRemoved(Part::Items, row, row);

    const qsizetype shownRow = m_shown.indexOf(record);
    if (shownRow >= 0 && m_shown.removeAt(shownRow))
        Q_EMIT rowsRemoved(Part::Shown, shownRow, shownRow);
    const qsizetype checkedRow = m_checked.indexOf(record);
    if (checkedRow >= 0 && m_checked.removeAt(checkedRow))
        Q_EMIT rowsRemoved(Part::Checked, checkedRow, checkedRow);
    return true;
}

bool RecordList::noteValueChanged(const Dict &record, const QString &key)
{
    const qsizetype row = rowOf(record);
    if (row < 0)
        return false;
    Q_EMIT rowChanged(Part::Items, row, key);
    // The views keep their records until re-evaluated (the user sees the row
    // change in place, not leave the table); their rows are announced.
    const qsizetype shownRow = m_shown.indexOf(record);
    if (shownRow >= 0)
        Q_EMIT rowChanged(Part::Shown, shownRow, key);
    const qsizetype checkedRow = m_checked.indexOf(record);
    if (checkedRow >= 0)
        Q_EMIT rowChanged(Part::Checked, checkedRow, key);
    return true;
}

} // namespace quillcast
