#pragma once

#include <QHash>
#include <QString>
#include <QStringView>

#include <array>

namespace quillcast {

// Hands out the values of one column (of a file being imported, or of the
// records of a mailing being read) so that a value that repeats down the
// column (a town, a title, "yes") is one shared string rather than a copy in
// every record. A million-row file of members holds a
// few dozen towns; pooled, they cost a few dozen strings instead of a
// million.
//
// A column whose values turn out to be mostly distinct (addresses, member
// numbers) stops being pooled at once and forgets what it saw, so the pool
// never costs noticeably more than it saves. Strings are immutable once
// stored in a record, so sharing them is safe across threads.
class ColumnValuePool
{
public:
    QString take(QStringView field);

private:
    // Keys are views of the pooled strings' own characters, which stay put
    // while the string is held here.
    QHash<QStringView, QString> m_seen;
    // The values met last, by a cheap mix of their length and a few of their
    // characters: a column of a few dozen values is served from here without
    // hashing the whole text for every row.
    static constexpr size_t kRecent = 64;
    std::array<QString, kRecent> m_recent;
    qint64 m_lookups = 0;
    bool m_active = true;
};

} // namespace quillcast
