#pragma once

#include "util/Dict.h"

#include <QString>
#include <QStringList>

namespace quillcast {

// What a list's search field asks of a record, decided once per re-evaluation
// so that walking a large list costs one snapshot and a few substring tests
// per record: no search text shows every record; otherwise a record is shown
// when the text occurs, literally and case-sensitively, in the text of at
// least one of the searched entries.
class SearchPredicate
{
public:
    // Shows every record.
    static SearchPredicate all();
    // Shows no record (a database without the address column has nothing to search).
    static SearchPredicate none();
    // all() when text is null or empty.
    static SearchPredicate containsInEntries(const QString &text, QStringList entries);

    bool matches(const Dict::Snapshot &record) const;
    bool matches(const Dict &record) const { return matches(record.snapshot()); }
    // True for all(): a view can then take every record without reading any.
    bool matchesEverything() const { return m_mode == Mode::All; }

private:
    enum class Mode { All, None, Search };
    SearchPredicate(Mode mode, QString text, QStringList entries);

    Mode m_mode;
    QString m_text;
    QStringList m_entries;
};

} // namespace quillcast
