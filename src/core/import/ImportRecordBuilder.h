#pragma once

#include "import/ImportRows.h"
#include "util/Dict.h"
#include "util/List.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace quillcast {

// Makes the records of an import's rows, the way the run within the call
// does (each row's template filled with its fields, a later column with the
// same key winning, a row shorter than others keeping the template's values
// and only the keys it reaches), but in bulk: the keys are sorted once per
// run, every record of the usual shape is one allocation over the shared
// keys, and the rows can be split between threads with the same result as
// one pass.
class ImportRecordBuilder
{
public:
    // What every new record starts with; the entry under serialKey (when
    // given) holds firstSerial for the first row's record and counts on by
    // one per row, stopping at the largest 64-bit number.
    struct Template
    {
        Dict::Entries entries;
        QString serialKey;
        qint64 firstSerial = 0;
    };
    // The key of each file column; none: the column is not imported.
    using ColumnKeys = std::vector<std::optional<QString>>;

    // finalKeys serve a row with no more fields than they cover, listedKeys
    // any other row.
    ImportRecordBuilder(Template start, ColumnKeys finalKeys, ColumnKeys listedKeys);

    struct Built
    {
        List::Items records; // in row order; rows without fields give none
        std::optional<Dict> firstRow; // row 0's record when held back
    };
    // Records of rows [first, last). Row 0's record is held back as firstRow
    // when holdFirst is set. keepGoing(rows done so far) is asked every few
    // thousand rows; false stops the pass (nothing then).
    std::optional<Built> build(const ImportRows &rows, qsizetype first, qsizetype last, bool holdFirst,
                               const std::function<bool(qsizetype)> &keepGoing = {}) const;
    // All rows, split in `threads` consecutive parts made side by side; the
    // same records as one build() over all rows (the parts share no value
    // pool, so a repeated text is one string per part rather than one per
    // run). keepGoing is asked on the calling thread only, with the rows
    // done by every part.
    std::optional<Built> buildAll(const ImportRows &rows, bool holdFirst, int threads,
                                  const std::function<bool(qsizetype)> &keepGoing = {}) const;
    // The same for the rows' last reader: their memory is given back as they
    // become records, so a large file's text and its records are not held
    // whole at once. The rows cannot be read afterwards, even when the pass
    // stops early.
    std::optional<Built> buildAllUsingUp(ImportRows &rows, bool holdFirst, int threads,
                                         const std::function<bool(qsizetype)> &keepGoing = {}) const;

private:
    std::optional<Built> buildParts(const ImportRows &rows, ImportRows *usedUp, bool holdFirst, int threads,
                                    const std::function<bool(qsizetype)> &keepGoing) const;
    std::optional<Built> buildRange(const ImportRows &rows, ImportRows *usedUp, qsizetype first, qsizetype last,
                                    bool holdFirst, const std::function<bool(qsizetype)> &keepGoing) const;
    // The keys of the records of rows that reach so far under one key list,
    // and where each of the record keys stands among them.
    struct Shape
    {
        Dict::KeySet keys;
        std::vector<qsizetype> slot; // by position among m_keys; -1: not among these keys
        std::vector<Value> start; // the template's values among these keys
    };
    Shape shapeOf(const std::vector<qsizetype> &at, qsizetype reach) const;

    // The record keys, and for every file column the position of its key
    // among them (-1: not imported), under each of the two key lists.
    Dict::KeySet m_keys;
    std::vector<Value> m_start; // the template's values by key position; null where it has none
    qsizetype m_serialAt = -1;
    qint64 m_firstSerial = 0;
    std::vector<qsizetype> m_finalAt;
    std::vector<qsizetype> m_listedAt;
};

} // namespace quillcast
