#pragma once

#include "util/Dict.h"
#include "util/Result.h"
#include "util/Value.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <map>
#include <optional>

namespace quillcast {

class SettingsFileStore;

// The per-user defaults: what the user stored, over the fallback values the
// application registers at start-up. Registered values are never written to
// the file, so registering can never overwrite a stored choice, and a later
// release may change a fallback for users who never chose.
//
// Reads go to the file as it is now (a second process sees every write);
// writes reach the file at once.
class UserDefaults
{
public:
    explicit UserDefaults(SettingsFileStore &store);

    // Adds fallback values (a key registered again takes the new value).
    void registerDefaults(const Dict &defaults);
    // What a reset to defaults restores.
    Dict registeredDefaults() const { return m_registered; }

    // The stored value, else the registered one, else the null Value.
    Value objectForKey(const QString &key) const;
    bool isStored(const QString &key) const;
    bool boolForKey(const QString &key) const { return objectForKey(key).toBool(); }
    qint64 integerForKey(const QString &key) const { return objectForKey(key).toInt64(); }
    QString stringForKey(const QString &key) const { return objectForKey(key).toString(); }
    QByteArray dataForKey(const QString &key) const { return objectForKey(key).toBytes(); }
    // None when no date is stored under the key.
    std::optional<QDateTime> dateForKey(const QString &key) const;

    // Stores a value (the null Value removes the stored one, so the
    // registered fallback shows again).
    Status setObject(const QString &key, const Value &value);

    // Told the key after every value this process stored (the windows'
    // bindings follow the commands that change the defaults). Observers may
    // add or remove observers while being told.
    using Observer = std::function<void(const QString &key)>;
    int addObserver(Observer observer);
    void removeObserver(int id);

    SettingsFileStore &store() const { return m_store; }

private:
    SettingsFileStore &m_store;
    Dict m_registered;
    std::map<int, Observer> m_observers;
    int m_nextObserver = 1;
};

} // namespace quillcast
