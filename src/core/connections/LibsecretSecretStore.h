#pragma once

#include "connections/SecretStore.h"

#include <chrono>
#include <memory>

namespace quillcast {

// The desktop's keyring (the Secret Service on the session bus, as GNOME
// Keyring and KWallet provide it), reached through libsecret. Passwords go
// into its default collection, the one the desktop's mail clients use, as
// items of the schema "org.quillcast.Connection" with the reference as their
// one attribute.
class LibsecretSecretStore final : public SecretStore
{
public:
    static constexpr char SchemaName[] = "org.quillcast.Connection";
    static constexpr char ReferenceAttribute[] = "reference";

    // The keyring when a Secret Service answers on the session bus within
    // the time given; none otherwise. Never starts a bus or a keyring daemon
    // of its own, so that a machine without a desktop session is not held up.
    static std::unique_ptr<LibsecretSecretStore> open(std::chrono::milliseconds answerWithin = std::chrono::seconds(2));

    Status storePassword(const QString &reference, const QString &label, const QString &password) override;
    Result<std::optional<QString>> lookupPassword(const QString &reference) override;
    Status removePassword(const QString &reference) override;

private:
    LibsecretSecretStore() = default;
};

} // namespace quillcast
