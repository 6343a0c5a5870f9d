#pragma once

#include "util/Dict.h"
#include "util/Result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillcast {

class LXCommonCrypto;
class SecretStore;
class SecureRandomSource;

// How the password of a stored connection is kept: in the desktop's keyring
// when there is one, the settings entry holding only a reference to it;
// otherwise in the entry itself, encrypted under the device password with a
// salt and an IV of the entry's own. Reads the form that earlier releases
// wrote as well (the "cryptopw" encrypted under the salt and IV shared by the
// whole list), but never writes it.
class PasswordVault
{
public:
    // Keys of a stored connection that carry its password.
    static constexpr char16_t KeyringReferenceKey[] = u"keyringPasswordRef";
    static constexpr char16_t SealedPasswordKey[] = u"cryptopwData";
    static constexpr char16_t SealedSaltKey[] = u"cryptopwSalt";
    static constexpr char16_t SealedIVKey[] = u"cryptopwIV";
    static constexpr char16_t SharedPairPasswordKey[] = u"cryptopw";
    static QStringList passwordKeys();

    // keyring: none when the desktop has no keyring. sharedPair: the cipher
    // with the device password and the list's shared salt and IV, for the
    // earlier form.
    PasswordVault(SecretStore *keyring, SecureRandomSource &random, QString devicePassword,
                  LXCommonCrypto &sharedPair);

    bool usesKeyring() const { return m_keyring != nullptr; }

    // The entries to put into a stored connection for the password: none for
    // the empty password. The keyring item is labelled with the description.
    // When the keyring refuses, the password is kept in the entry.
    Result<Dict> keep(const QString &description, const QString &password);

    enum class Form {
        None, // the entry holds no password
        Current, // in a form that saves write as it is
        Unreadable, // not readable here and now (no keyring, another machine); kept as it is
        Outdated, // in the earlier form; written anew at the next save
    };
    struct Recovered
    {
        std::optional<QString> password;
        Form form = Form::None;
    };
    Recovered recover(const Dict &storedConnection);

    // Removes the keyring item the password entries refer to, if any.
    void forget(const Dict &passwordEntries);
    static QString keyringReference(const Dict &passwordEntries);

    // Overwrites bytes that held a password in clear before they are freed.
    static void wipe(QByteArray &bytes);

    // A keyed digest of a password, to tell later whether it has changed
    // without keeping a second clear copy of it.
    QByteArray fingerprint(const QString &password) const;

private:
    std::optional<QString> decryptSealed(const Dict &entries);
    std::optional<QString> decryptSharedPair(const Dict &entries);

    SecretStore *m_keyring;
    SecureRandomSource &m_random;
    QString m_devicePassword;
    LXCommonCrypto &m_sharedPair;
    QByteArray m_fingerprintKey;
};

} // namespace quillcast
