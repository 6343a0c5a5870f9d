#pragma once

#include "util/Result.h"

#include <QString>

#include <optional>

namespace quillcast {

// A store of secrets outside the settings file, such as the desktop's
// keyring: each password is kept under a reference that the settings file
// holds in its place.
class SecretStore
{
public:
    virtual ~SecretStore() = default;

    // Keeps the password under the reference, replacing what was kept there.
    // The label is what the desktop's keyring manager shows for it.
    virtual Status storePassword(const QString &reference, const QString &label, const QString &password) = 0;
    // The password kept under the reference; none when nothing is kept there;
    // a failure when the store could not be asked.
    virtual Result<std::optional<QString>> lookupPassword(const QString &reference) = 0;
    // Forgets the password kept under the reference; nothing kept there is no failure.
    virtual Status removePassword(const QString &reference) = 0;
};

} // namespace quillcast
