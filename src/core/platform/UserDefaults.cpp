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
    Status written = m_store.write({{key, value}});
    if (!written)
        return written;
    // A copy: an observer may remove itself, or others, while being told.
    const std::map<int, Observer> observers = m_observers;
    for (const auto &[id, observer] : observers) {
        if (m_observers.contains(id))
            observer(key);
    }
    return written;
}

int UserDefaults::addObserver(Observer observer)
{
    const int id = m_nextObserver++;
    m_observers.emplace(id, std::move(observer));
    return id;
}

void UserDefaults::removeObserver(int id)
{
    m_observers.erase(id);
}

} // namespace quillcast
