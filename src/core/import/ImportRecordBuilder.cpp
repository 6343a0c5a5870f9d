#include "import/ImportRecordBuilder.h"

#include "util/ColumnValuePool.h"

#include <QStringList>

#include <algorithm>
#include <atomic>
#include <limits>
#include <thread>

namespace quillcast {

namespace {

// How often a pass looks up from its rows.
constexpr qsizetype kStride = 4096;
// How many rows' memory the last reader gives back at a time: some
// megabytes of a usual file's text.
constexpr qsizetype kGiveBackRows = 16 * kStride;

} // namespace

ImportRecordBuilder::ImportRecordBuilder(Template start, ColumnKeys finalKeys, ColumnKeys listedKeys)
    : m_firstSerial(start.firstSerial)
{
    QStringList all;
    for (const Dict::Entry &e : start.entries)
        all.append(e.first);
    for (const ColumnKeys *keys : {&finalKeys, &listedKeys}) {
        for (const std::optional<QString> &key : *keys) {
            if (key)
                all.append(*key);
        }
    }
    m_keys = Dict::KeySet(all);
    m_start.resize(size_t(m_keys.size()));
    // As a dictionary of the entries would hold them: the last of a repeated key wins.
    for (Dict::Entry &e : start.entries)
        m_start[size_t(m_keys.indexOf(e.first))] = std::move(e.second);
    if (!start.serialKey.isEmpty()) {
        m_serialAt = m_keys.indexOf(start.serialKey);
        if (m_serialAt >= 0 && m_start[size_t(m_serialAt)].isNull())
            m_serialAt = -1; // the template has no such entry: nothing is numbered
    }
    const auto positions = [this](const ColumnKeys &keys) {
        std::vector<qsizetype> at;
        at.reserve(keys.size());
        for (const std::optional<QString> &key : keys)
            at.push_back(key ? m_keys.indexOf(*key) : -1);
        return at;
    };
    m_finalAt = positions(finalKeys);
    m_listedAt = positions(listedKeys);
}

ImportRecordBuilder::Shape ImportRecordBuilder::shapeOf(const std::vector<qsizetype> &at, qsizetype reach) const
{
    std::vector<bool> present(m_start.size());
    for (size_t k = 0; k < m_start.size(); ++k)
        present[k] = !m_start[k].isNull();
    for (qsizetype j = 0; j < reach; ++j) {
        if (at[size_t(j)] >= 0)
            present[size_t(at[size_t(j)])] = true;
    }
    Shape shape;
    shape.slot.assign(m_start.size(), -1);
    QStringList keys;
    for (size_t k = 0; k < m_start.size(); ++k) {
        if (!present[k])
            continue;
        shape.slot[k] = keys.size();
        keys.append(m_keys.at(qsizetype(k)));
        shape.start.push_back(m_start[k]);
    }
    // The full keys are sorted and unique, so these keep their order.
    shape.keys = Dict::KeySet(keys);
    return shape;
}

std::optional<ImportRecordBuilder::Built> ImportRecordBuilder::build(const ImportRows &rows, qsizetype first,
                                                                     qsizetype last, bool holdFirst,
                                                                     const std::function<bool(qsizetype)> &keepGoing) const
{
    return buildRange(rows, nullptr, first, last, holdFirst, keepGoing);
}

std::optional<ImportRecordBuilder::Built> ImportRecordBuilder::buildRange(const ImportRows &rows, ImportRows *usedUp,
                                                                          qsizetype first, qsizetype last,
                                                                          bool holdFirst,
                                                                          const std::function<bool(qsizetype)> &keepGoing) const
{
    Built built;
    built.records.reserve(size_t(std::max<qsizetype>(last - first, 0)));
    std::vector<ColumnValuePool> pools(std::max(m_finalAt.size(), m_listedAt.size()));
    std::vector<Value> values(m_start.size());
    // A row's record holds the template's keys and those its fields reach:
    // one key set per key list and reach, made when first needed, so that
    // every record is made over the keys it has, with no look-up.
    std::vector<std::optional<Shape>> finalShapes(m_finalAt.size() + 1);
    std::vector<std::optional<Shape>> listedShapes(m_listedAt.size() + 1);
    constexpr qint64 kLargest = std::numeric_limits<qint64>::max();
    qsizetype kept = first; // the first row whose memory is still held
    for (qsizetype r = first; r < last; ++r) {
        if ((r - first) % kStride == 0) {
            if (keepGoing && !keepGoing(r - first))
                return std::nullopt;
            // In steps of some megabytes, so that large pages are split
            // seldom.
            if (usedUp && r - kept >= kGiveBackRows) {
                usedUp->giveBackRows(kept, r);
                kept = r;
            }
        }
        const qsizetype n = rows.fieldCount(r);
        const bool final = qsizetype(m_finalAt.size()) >= n;
        const std::vector<qsizetype> &at = final ? m_finalAt : m_listedAt;
        // Columns past both key lists are not imported.
        const qsizetype reach = std::min(n, qsizetype(at.size()));
        std::optional<Shape> &known = (final ? finalShapes : listedShapes)[size_t(reach)];
        if (!known)
            known = shapeOf(at, reach);
        const Shape &shape = *known;
        std::copy(shape.start.begin(), shape.start.end(), values.begin());
        if (m_serialAt >= 0)
            values[size_t(shape.slot[size_t(m_serialAt)])] =
                Value(m_firstSerial > kLargest - r ? kLargest : m_firstSerial + r);
        for (qsizetype j = 0; j < reach; ++j) {
            const qsizetype k = at[size_t(j)];
            if (k >= 0)
                values[size_t(shape.slot[size_t(k)])] = Value(pools[size_t(j)].take(rows.fieldView(r, j)));
        }
        Dict record(shape.keys, std::span<Value>(values.data(), shape.start.size()));
        if (r == 0 && holdFirst)
            built.firstRow = std::move(record);
        else if (n >= 1)
            built.records.emplace_back(std::move(record));
    }
    return built;
}

std::optional<ImportRecordBuilder::Built> ImportRecordBuilder::buildAll(const ImportRows &rows, bool holdFirst,
                                                                        int threads,
                                                                        const std::function<bool(qsizetype)> &keepGoing) const
{
    return buildParts(rows, nullptr, holdFirst, threads, keepGoing);
}

std::optional<ImportRecordBuilder::Built>
ImportRecordBuilder::buildAllUsingUp(ImportRows &rows, bool holdFirst, int threads,
                                     const std::function<bool(qsizetype)> &keepGoing) const
{
    return buildParts(rows, &rows, holdFirst, threads, keepGoing);
}

std::optional<ImportRecordBuilder::Built> ImportRecordBuilder::buildParts(const ImportRows &rows, ImportRows *usedUp,
                                                                          bool holdFirst, int threads,
                                                                          const std::function<bool(qsizetype)> &keepGoing) const
{
    const qsizetype count = rows.rowCount();
    // Below a few strides a second thread costs more than it saves.
    const qsizetype parts = count < 4 * kStride ? 1 : std::clamp<qsizetype>(threads, 1, 8);
    if (parts == 1)
        return buildRange(rows, usedUp, 0, count, holdFirst, keepGoing);

    std::vector<std::optional<Built>> built(static_cast<size_t>(parts));
    std::vector<std::atomic<qsizetype>> done(static_cast<size_t>(parts));
    std::atomic<bool> stop{false};
    const auto bound = [&](qsizetype part) { return count * part / parts; };
    std::vector<std::jthread> others;
    for (qsizetype p = 1; p < parts; ++p) {
        others.emplace_back([&, p] {
            built[size_t(p)] = buildRange(rows, usedUp, bound(p), bound(p + 1), holdFirst, [&, p](qsizetype n) {
                done[size_t(p)].store(n, std::memory_order_relaxed);
                return !stop.load(std::memory_order_relaxed);
            });
        });
    }
    built[0] = buildRange(rows, usedUp, 0, bound(1), holdFirst, [&](qsizetype n) {
        if (!keepGoing)
            return true;
        qsizetype all = n;
        for (qsizetype p = 1; p < parts; ++p)
            all += done[size_t(p)].load(std::memory_order_relaxed);
        const bool going = keepGoing(all);
        if (!going)
            stop.store(true, std::memory_order_relaxed);
        return going;
    });
    if (!built[0])
        stop.store(true, std::memory_order_relaxed);
    others.clear(); // joins
    if (std::any_of(built.begin(), built.end(), [](const std::optional<Built> &b) { return !b.has_value(); }))
        return std::nullopt;

    Built all = std::move(*built[0]);
    size_t total = all.records.size();
    for (qsizetype p = 1; p < parts; ++p)
        total += built[size_t(p)]->records.size();
    all.records.reserve(total);
    for (qsizetype p = 1; p < parts; ++p) {
        List::Items &more = built[size_t(p)]->records;
        all.records.insert(all.records.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    }
    return all;
}

} // namespace quillcast
