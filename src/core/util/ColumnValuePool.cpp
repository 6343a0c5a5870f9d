#include "util/ColumnValuePool.h"

namespace quillcast {

namespace {

// Pooling is judged after this many distinct values, and given up when more
// than half of the values seen so far were new.
constexpr qsizetype kTrialSize = 64;
// A bound on the pool of one column, whatever the proportion.
constexpr qsizetype kMaxPooled = qsizetype(1) << 16;

size_t mix(QStringView field)
{
    size_t h = size_t(field.size());
    h = h * 31 + field.front().unicode();
    h = h * 31 + field[field.size() / 2].unicode();
    h = h * 31 + field.back().unicode();
    return h ^ (h >> 6);
}

} // namespace

QString ColumnValuePool::take(QStringView field)
{
    if (!m_active || field.isEmpty())
        return field.toString();
    ++m_lookups;
    QString &recent = m_recent[mix(field) % kRecent];
    if (recent.size() == field.size() && QStringView(recent) == field)
        return recent;
    const auto found = m_seen.constFind(field);
    if (found != m_seen.constEnd()) {
        recent = *found;
        return *found;
    }
    QString value = field.toString();
    const qsizetype distinct = m_seen.size() + 1;
    if ((distinct > kTrialSize && distinct * 2 > m_lookups) || distinct > kMaxPooled) {
        m_active = false;
        m_seen = {};
        m_recent = {};
        return value;
    }
    m_seen.insert(QStringView(value), value);
    recent = value;
    return value;
}

} // namespace quillcast
