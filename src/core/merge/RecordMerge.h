#pragma once

#include "merge/MergeTags.h"

#include <QString>

#include <memory>
#include <vector>

namespace quillcast {

class Clock;

// The merge of one record at one reading of the clock, for all the texts of a
// message: the date and time tags and the record's tags are replaced in one
// scan of each text, so that no inserted value, date or field, is ever read
// as a tag again. The record and the clock are read once, when it is made.
class RecordMerge
{
public:
    RecordMerge(std::shared_ptr<const MergeTags> tags, const Dict &record, const Clock &clock);

    // The merged text; null for null.
    QString merge(const QString &text) const;

private:
    std::shared_ptr<const MergeTags> m_tags;
    std::vector<QString> m_values;
};

} // namespace quillcast
