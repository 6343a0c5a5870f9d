#pragma once

#include "connections/SecretStore.h"

#include <QMap>

namespace quillcast::testing {

// A keyring in memory: what it holds, and a switch to make it refuse.
class MemorySecretStore final : public quillcast::SecretStore
{
public:
    Status storePassword(const QString &reference, const QString &label, const QString &password) override
    {
        if (refusing)
            return Status::failure(QStringLiteral("the keyring is locked"));
        items.insert(reference, password);
        labels.insert(reference, label);
        return success();
    }
    Result<std::optional<QString>> lookupPassword(const QString &reference) override
    {
        ++lookups;
        if (refusing)
            return Result<std::optional<QString>>::failure(QStringLiteral("the keyring is locked"));
        if (!items.contains(reference))
            return std::optional<QString>();
        return std::optional<QString>(items.value(reference));
    }
    Status removePassword(const QString &reference) override
    {
        if (refusing)
            return Status::failure(QStringLiteral("the keyring is locked"));
        items.remove(reference);
        labels.remove(reference);
        return success();
    }

    QMap<QString, QString> items; // reference -> password
    QMap<QString, QString> labels;
    bool refusing = false;
    int lookups = 0;
};

} // namespace quillcast::testing
