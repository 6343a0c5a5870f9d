#pragma once

#include "merge/TagMatcher.h"
#include "util/Value.h"

#include <QString>

#include <vector>

namespace quillcast {

struct DateTagValues;

// The merge tags of one DB key list, compiled once so that every record merged
// with those keys looks its tags up in the same table.
//
// The date and time tags, the field tags of the keys from the fourth on and
// the fixed record tags "_#_", "_sel_", "_email_" are replaced in one scan of
// the text, the longest tag winning where several start (see TagMatcher). Of
// tags spelled alike, a date tag wins over a field tag (a key named "yy" shows
// the date), a field tag over a fixed tag (the field of a key named "email"
// wins over the address), and the earlier of two keys over the later.
class MergeTags
{
public:
    // Which tags a merge replaces: the date and time tags alone (the time
    // pass), the field and fixed record tags alone (the record pass), or all.
    enum class Kinds { Date, Record, All };

    explicit MergeTags(const List &keyArray);

    // Whether keyArray still names the same keys, with the same inner keys, in
    // the same order as when these tags were compiled.
    bool isCompiledFrom(const List &keyArray) const;

    // The value of every tag, in the table's own order: the date values when
    // `dates` is given, the record's values when `record` is.
    std::vector<QString> values(const Dict::Snapshot *record, const DateTagValues *dates) const;

    // `text` with the tags of `kinds` replaced by `values`; null for null.
    QString merge(const QString &text, Kinds kinds, const std::vector<QString> &values) const;

private:
    struct Key
    {
        bool isDict = false;
        QString publicKey;
        QString innerKey;
    };
    std::vector<Key> m_keys; // the keys from the fourth on
    TagMatcher m_record;
    TagMatcher m_all;
};

} // namespace quillcast
