#include "database/RecordChecks.h"

#include "util/LXNetValidator.h"
#include "util/ParallelRanges.h"
#include "util/TextSet.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <optional>

namespace quillcast {

namespace {

// Runs change(record, index) over every record, on several threads for big
// lists (record writes are thread-safe and the records are distinct objects),
// and returns how many records it changed.
template<typename Change>
qsizetype changeAll(const RecordChecks::Records &records, Change change)
{
    std::atomic<qsizetype> changed = 0;
    forEachRange(records.size(), 100000, [&](size_t from, size_t to, size_t) {
        qsizetype n = 0;
        for (size_t i = from; i < to; ++i)
            n += change(records[i], i) ? 1 : 0;
        changed.fetch_add(n, std::memory_order_relaxed);
    });
    return changed.load(std::memory_order_relaxed);
}

} // namespace

bool RecordChecks::assign(const Dict &record, const QString &checked, bool value)
{
    // Nothing is written when the same boolean is stored already; a flag
    // stored as another kind of value (a text from an old file) is rewritten
    // as a proper boolean even when it reads the same. No snapshot is held
    // here, so that the write can replace the flag in place.
    Dict target = record;
    return target.set(checked, Value(value));
}

qsizetype RecordChecks::setAll(const Records &records, const QString &checked, bool value)
{
    return changeAll(records, [&](const Dict &record, size_t) { return assign(record, checked, value); });
}

qsizetype RecordChecks::invert(const Records &records, const QString &checked)
{
    return changeAll(records, [&](const Dict &record, size_t) {
        const bool was = record.boolValue(checked);
        return assign(record, checked, !was);
    });
}

qsizetype RecordChecks::checkValid(const Records &records, const QString &checked, const QString &address,
                                   bool wantValid)
{
    qsizetype changed = 0;
    for (const Dict &record : records) {
        const bool valid = LXNetValidator::isValidEmailAlsoMultiple(record.stringValue(address));
        changed += assign(record, checked, valid == wantValid) ? 1 : 0;
    }
    return changed;
}

qsizetype RecordChecks::checkRepeated(const Records &records, const QString &checked, const QString &address,
                                      bool duplicates)
{
    // The same answers as comparing each lower-cased text with every earlier
    // record's, in one pass over the view.
    const std::vector<TextSet::Mark> marks =
        TextSet::marks(records.size(), Qt::CaseInsensitive, [&](size_t i) -> std::optional<QString> {
            const Dict::Snapshot current = records[i].snapshot();
            const Value &field = current.value(address);
            // A stored value is never the null Value: null means no field.
            if (field.isNull())
                return std::nullopt;
            return field.toString();
        });
    const TextSet::Mark wanted = duplicates ? TextSet::Mark::Repeat : TextSet::Mark::First;
    return changeAll(records,
                     [&](const Dict &record, size_t i) { return assign(record, checked, marks[i] == wanted); });
}

qsizetype RecordChecks::countChecked(const Records &records, const QString &checked)
{
    return qsizetype(std::count_if(records.begin(), records.end(),
                                   [&](const Dict &r) { return r.snapshot().boolValue(checked); }));
}

qsizetype RecordChecks::countChecked(const List &list, const QString &checked)
{
    qsizetype n = 0;
    list.read([&](const List::Items &items) {
        for (const Value &item : items) {
            if (item.isDict() && item.toDict().snapshot().boolValue(checked))
                ++n;
        }
    });
    return n;
}

bool RecordChecks::anyChecked(const Records &records, const QString &checked)
{
    return std::any_of(records.begin(), records.end(), [&](const Dict &r) { return r.snapshot().boolValue(checked); });
}

bool RecordChecks::anyChecked(const List &list, const QString &checked)
{
    bool any = false;
    list.read([&](const List::Items &items) {
        any = std::any_of(items.begin(), items.end(),
                          [&](const Value &v) { return v.isDict() && v.toDict().snapshot().boolValue(checked); });
    });
    return any;
}

RecordChecks::Records RecordChecks::checkedAmong(const Records &records, const QString &checked)
{
    Records out;
    std::copy_if(records.begin(), records.end(), std::back_inserter(out),
                 [&](const Dict &r) { return r.snapshot().boolValue(checked); });
    return out;
}

qsizetype RecordChecks::removeRecords(List &list, const Records &records)
{
    if (records.empty())
        return 0;
    // Removing one by one would shift the rest of the list every time; a set
    // of identities and one compaction pass cost the same for any number.
    // The set is an open-addressed table of the identities themselves (0 for
    // a free slot), at most half full: no allocation per record.
    const size_t slotCount = std::bit_ceil(records.size() * 2);
    const int shift = 64 - std::countr_zero(slotCount);
    std::vector<quintptr> doomed(slotCount, 0);
    const auto slotOf = [shift](quintptr id) { return size_t((quint64(id) * 0x9E3779B97F4A7C15ULL) >> shift); };
    const auto findSlot = [&](quintptr id) {
        size_t i = slotOf(id);
        while (doomed[i] != 0 && doomed[i] != id)
            i = (i + 1) & (slotCount - 1);
        return i;
    };
    for (const Dict &r : records) {
        const quintptr id = quintptr(r.identity());
        doomed[findSlot(id)] = id;
    }
    qsizetype removed = 0;
    list.write([&](List::Items &items) {
        const auto before = items.size();
        std::erase_if(items, [&](const Value &v) {
            const Dict *record = v.asDict();
            return record && doomed[findSlot(quintptr(record->identity()))] != 0;
        });
        removed = qsizetype(before - items.size());
    });
    return removed;
}

qint64 RecordChecks::maxNumber(const Records &records, const QString &number)
{
    qint64 max = 0;
    bool any = false;
    for (const Dict &record : records) {
        const Dict::Snapshot current = record.snapshot();
        if (!current.contains(number))
            continue;
        const qint64 n = current.intValue(number);
        max = any ? std::max(max, n) : n;
        any = true;
    }
    return any ? max : 0;
}

} // namespace quillcast
