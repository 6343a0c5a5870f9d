#pragma once

#include "util/Value.h"

#include <QString>

namespace quillcast {

class Clock;

// The merge-tag language. A text of the mail form goes through the time pass
// (date and time tags, no record needed) and then the record pass (field tags
// of the DB keys from the fourth on, then "_#_", "_sel_", "_email_").
//
// A null QString stands for "no text": both passes give null for null.
// Tags match wherever their characters occur, canonically equivalent Unicode
// sequences included, but case always matters; text outside a matched tag is
// left exactly as it was.
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
};

} // namespace quillcast
