#include "merge/TagSubstitution.h"

#include "merge/DateTagValues.h"
#include "merge/MergeTags.h"
#include "merge/RecordMerge.h"
#include "platform/Clock.h"

namespace quillcast {

QString TagSubstitution::tagFromKey(const QString &name)
{
    return u'_' + name + u'_';
}

QString TagSubstitution::performTextSubstitutionNoDB(const QString &text, const Clock &clock)
{
    if (text.isNull())
        return QString();
    static const MergeTags noKeys{List()};
    const DateTagValues dates = DateTagValues::fromReading(clock.read());
    return noKeys.merge(text, MergeTags::Kinds::Date, noKeys.values(nullptr, &dates));
}

QString TagSubstitution::performTextSubstitution(const QString &text, const List &keyArray, const Dict &record)
{
    if (text.isNull())
        return QString();
    // One consistent view of the record for the whole pass, even if the main
    // thread edits it meanwhile.
    const Dict::Snapshot values = record.snapshot();
    const MergeTags tags(keyArray);
    return tags.merge(text, MergeTags::Kinds::Record, tags.values(&values, nullptr));
}

QString TagSubstitution::merge(const QString &text, const List &keyArray, const Dict &record, const Clock &clock)
{
    if (text.isNull())
        return QString();
    return RecordMerge(std::make_shared<const MergeTags>(keyArray), record, clock).merge(text);
}

} // namespace quillcast
