#include "document/SearchPredicate.h"

#include <utility>

namespace quillcast {

SearchPredicate::SearchPredicate(Mode mode, QString text, QStringList entries)
    : m_mode(mode), m_text(std::move(text)), m_entries(std::move(entries))
{
}

SearchPredicate SearchPredicate::all()
{
    return SearchPredicate(Mode::All, QString(), QStringList());
}

SearchPredicate SearchPredicate::none()
{
    return SearchPredicate(Mode::None, QString(), QStringList());
}

SearchPredicate SearchPredicate::containsInEntries(const QString &text, QStringList entries)
{
    if (text.isEmpty())
        return all();
    return SearchPredicate(Mode::Search, text, std::move(entries));
}

bool SearchPredicate::matches(const Dict::Snapshot &record) const
{
    switch (m_mode) {
    case Mode::All:
        return true;
    case Mode::None:
        return false;
    case Mode::Search:
        break;
    }
    for (const QString &entry : m_entries) {
        const Value &value = record.value(entry);
        if (value.isNull())
            continue;
        // Strings are the rule; a number that found its way into a user column
        // is searched in the decimal form the table shows.
        const QString text = value.toString();
        if (QStringView(text).contains(QStringView(m_text), Qt::CaseSensitive))
            return true;
    }
    return false;
}

} // namespace quillcast
