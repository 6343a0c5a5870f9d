#pragma once

#include "util/Value.h"

#include <QString>

namespace quillcast {

class Clock;

// The merge-tag language. A text of the mail form is merged with the date and
// time tags and with the record's tags: field tags of the DB keys from the
// fourth on, and "_#_", "_sel_", "_email_". merge() does both in one scan;
// the time pass and the record pass do one kind each.
//
// A null QString stands for "no text": every operation gives null for null.
// Tags match wherever their characters occur, canonically equivalent Unicode
// sequences included, but case always matters; the longest tag wins where
// several start at one place; a value once inserted is never read as a tag
// again; text outside a matched tag is left exactly as it was (see MergeTags).
class TagSubstitution
{
public:
    // "_" + name + "_"
    static QString tagFromKey(const QString &name);

    // Replaces "_yy_", "_yyyy_", "_mm_", "_dd_", "_hh_", "_ii_", "_ss_" using one reading of the clock.
    static QString performTextSubstitutionNoDB(const QString &text, const Clock &clock);

    // Replaces the field tags of keyArray (a list of DB key dictionaries, in
    // order) and the three fixed record tags with the values of record.
    static QString performTextSubstitution(const QString &text, const List &keyArray, const Dict &record);

    // The date and time tags and the record's tags in one scan: what a
    // message or its preview shows. Chaining the two passes instead would let
    // the record pass read an inserted date as part of a tag.
    static QString merge(const QString &text, const List &keyArray, const Dict &record, const Clock &clock);
};

} // namespace quillcast
