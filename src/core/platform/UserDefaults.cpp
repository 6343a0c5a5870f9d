#include "platform/UserDefaults.h"

#include "platform/SettingsFileStore.h"

namespace quillcast {

UserDefaults::UserDefaults(SettingsFileStore &store)
    : m_store(store)
{
}

void UserDefaults::registerDefaults(const Dict &defaults)
{
    for (const auto &entry : defaults.snapshot().entries())
        m_registered.set(entry.first, entry.second);
}

Value UserDefaults::objectForKey(const QString &key) const
{
    Value stored = m_store.value(key);
    if (!stored.isNull())
        return stored;
    return m_registered.value(key);
}

bool UserDefaults::isStored(const QString &key) const
{
    return m_store.contains(key);
}

std::optional<QDateTime> UserDefaults::dateForKey(const QString &key) const
{
    const Value stored = m_store.value(key);
    if (stored.type() != Value::Type::Date || !stored.toDateTime().isValid())
        return std::nullopt;
    return stored.toDateTime();
}

Status UserDefaults::setObject(const QString &key, const Value &value)
{
    return m_store.write({{key, value}});
}

} // namespace quillcast
