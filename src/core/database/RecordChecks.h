#pragma once

#include "util/Dict.h"
#include "util/List.h"

#include <QString>

#include <vector>

namespace quillcast {

// The check commands shared by the database, the exception list and the send
// list: each walks the records of a view, in view order, and sets the checked
// flag stored under `checked` (the address field is under `address`).
//
// A record is written only when its flag really changes, and each write
// replaces the record's small snapshot as a whole, so a worker reading the
// record meanwhile sees it before or after, never half-changed. Every function
// returns how many records changed, so that the caller notifies once.
class RecordChecks
{
public:
    using Records = std::vector<Dict>;

    // Check all (true) or uncheck all (false).
    static qsizetype setAll(const Records &records, const QString &checked, bool value);
    // A missing flag counts as false and becomes true.
    static qsizetype invert(const Records &records, const QString &checked);
    // Each record checked exactly when its address field passes (wantValid) or
    // fails the multiple-address test; an empty field passes.
    static qsizetype checkValid(const Records &records, const QString &checked, const QString &address,
                                bool wantValid);
    // Compares the whole address field, lower-cased, untrimmed; records
    // without the field are left unchecked. With `duplicates`, every
    // occurrence after the first of a text is checked; otherwise exactly the
    // first of each text is.
    static qsizetype checkRepeated(const Records &records, const QString &checked, const QString &address,
                                   bool duplicates);

    static qsizetype countChecked(const Records &records, const QString &checked);
    static qsizetype countChecked(const List &list, const QString &checked);
    static bool anyChecked(const Records &records, const QString &checked);
    static bool anyChecked(const List &list, const QString &checked);
    // The checked records among these, in order.
    static Records checkedAmong(const Records &records, const QString &checked);

    // Removes these very records (by identity) from the list in one pass;
    // returns how many were removed.
    static qsizetype removeRecords(List &list, const Records &records);
    // The largest integer under `number` among the records that have one; 0 when none.
    static qint64 maxNumber(const Records &records, const QString &number);

private:
    static bool assign(const Dict &record, const QString &checked, bool value);
};

} // namespace quillcast
