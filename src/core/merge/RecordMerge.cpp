#include "merge/RecordMerge.h"

#include "merge/DateTagValues.h"
#include "platform/Clock.h"

namespace quillcast {

RecordMerge::RecordMerge(std::shared_ptr<const MergeTags> tags, const Dict &record, const Clock &clock)
    : m_tags(std::move(tags))
{
    const Dict::Snapshot values = record.snapshot();
    const DateTagValues dates = DateTagValues::fromReading(clock.read());
    m_values = m_tags->values(&values, &dates);
}

QString RecordMerge::merge(const QString &text) const
{
    return m_tags->merge(text, MergeTags::Kinds::All, m_values);
}

} // namespace quillcast
