#include "database/RecordChecks.h"

#include "util/LXNetValidator.h"
#include "util/TextSet.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <thread>

namespace quillcast {

namespace {

// Runs `change` over every record, on several threads for big lists (record
// writes are thread-safe and the records are distinct objects), and returns
// how many records it changed.
template<typename Change>
qsizetype changeAll(const RecordChecks::Records &records, Change change)
{
    const auto run = [&](size_t from, size_t to) {
        qsizetype changed = 0;
        for (size_t i = from; i < to; ++i)
            changed += change(records[i]) ? 1 : 0;
        return changed;
    };
    constexpr size_t minimumPerThread = 100000;
    const size_t threads =
        std::clamp<size_t>(records.size() / minimumPerThread, 1, std::max(1u, std::thread::hardware_concurrency()));
    if (threads == 1)
        return run(0, records.size());
    std::vector<qsizetype> counts(threads, 0);
    std::vector<std::thread> workers;
    const size_t chunk = (records.size() + threads - 1) / threads;
    for (size_t t = 1; t < threads; ++t)
        workers.emplace_back([&, t] { counts[t] = run(t * chunk, std::min(records.size(), (t + 1) * chunk)); });
    counts[0] = run(0, std::min(records.size(), chunk));
    for (std::thread &w : workers)
        w.join();
    qsizetype total = 0;
    for (qsizetype c : counts)
        total += c;
    return total;
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
    return changeAll(records, [&](const Dict &record) { return assign(record, checked, value); });
}

qsizetype RecordChecks::invert(const Records &records, const QString &checked)
{
    return changeAll(records, [&](const Dict &record) {
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
    // One set of the texts seen so far: the same answers as comparing each
    // lower-cased text with every earlier record's, in one pass over the view.
    TextSet seen(Qt::CaseInsensitive, qsizetype(records.size()));
    qsizetype changed = 0;
    for (const Dict &record : records) {
        std::optional<QString> text;
        {
            const Dict::Snapshot current = record.snapshot();
            const Value &field = current.value(address);
            // A stored value is never the null Value: null means no field.
            if (!field.isNull())
                text = field.toString();
        }
        bool check = false;
        if (text) {
            const bool firstOfItsText = seen.insert(std::move(*text));
            check = duplicates ? !firstOfItsText : firstOfItsText;
        }
        changed += assign(record, checked, check) ? 1 : 0;
    }
    return changed;
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
