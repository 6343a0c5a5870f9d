#include "connections/PasswordVault.h"

#include "connections/LXCommonCrypto.h"
#include "connections/SecretStore.h"
#include "connections/SecureRandomSource.h"

#include <QUuid>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

QString key(const char16_t *name)
{
    return QString::fromUtf16(name);
}

// The text of decrypted bytes, which are wiped; none unless they are UTF-8.
std::optional<QString> textOf(std::optional<QByteArray> clear)
{
    if (!clear)
        return std::nullopt;
    std::optional<QString> text;
    const QString decoded = QString::fromUtf8(*clear);
    QByteArray again = decoded.toUtf8();
    if (again == *clear)
        text = decoded;
    PasswordVault::wipe(again);
    PasswordVault::wipe(*clear);
    return text;
}

} // namespace

void PasswordVault::wipe(QByteArray &bytes)
{
    if (!bytes.isEmpty())
        OPENSSL_cleanse(bytes.data(), size_t(bytes.size()));
}

QStringList PasswordVault::passwordKeys()
{
    return {key(KeyringReferenceKey), key(SealedPasswordKey), key(SealedSaltKey), key(SealedIVKey),
            key(SharedPairPasswordKey)};
}

PasswordVault::PasswordVault(SecretStore *keyring, SecureRandomSource &random, QString devicePassword,
                             LXCommonCrypto &sharedPair)
    : m_keyring(keyring),
      m_random(random),
      m_devicePassword(std::move(devicePassword)),
      m_sharedPair(sharedPair),
      m_fingerprintKey(32, '\0')
{
    // Lives as long as the process: fingerprints are never stored.
    if (RAND_bytes(reinterpret_cast<unsigned char *>(m_fingerprintKey.data()), int(m_fingerprintKey.size())) != 1)
        m_fingerprintKey = QUuid::createUuid().toRfc4122();
}

Result<Dict> PasswordVault::keep(const QString &description, const QString &password)
{
    if (password.isEmpty())
        return Dict();
    if (m_keyring) {
        // A reference of its own for every password kept, so that an entry
        // never points at another entry's password.
        const QString reference = QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (m_keyring->storePassword(reference, u"Quillcast: %1"_s.arg(description), password))
            return Dict{{key(KeyringReferenceKey), Value(reference)}};
    }
    const std::optional<QByteArray> salt = LXCommonCrypto::randomDataOfLength(LXCommonCrypto::SaltLength, m_random);
    const std::optional<QByteArray> iv = LXCommonCrypto::randomDataOfLength(LXCommonCrypto::IVLength, m_random);
    if (!salt || !iv)
        return Result<Dict>::failure(u"no random salt and IV for the connection password"_s);
    QByteArray aesKey = LXCommonCrypto::AESKeyForPassword(m_devicePassword, *salt);
    QByteArray clear = password.toUtf8();
    const std::optional<QByteArray> sealed =
        LXCommonCrypto::cipher(LXCommonCrypto::Encrypt, aesKey, *iv, clear, LXCommonCrypto::PKCS7Padding);
    wipe(clear);
    wipe(aesKey);
    if (!sealed)
        return Result<Dict>::failure(u"the connection password could not be encrypted"_s);
    return Dict{{key(SealedPasswordKey), Value(*sealed)}, {key(SealedSaltKey), Value(*salt)},
                {key(SealedIVKey), Value(*iv)}};
}

PasswordVault::Recovered PasswordVault::recover(const Dict &stored)
{
    const QString reference = keyringReference(stored);
    const bool sealed = stored.contains(key(SealedPasswordKey));
    const bool sharedPair = stored.contains(key(SharedPairPasswordKey));

    // This release never writes the earlier form beside a newer one: both
    // there means that an earlier release rewrote the entry since, and its
    // password, when it has one, is the later word.
    if (sharedPair && (sealed || !reference.isEmpty())) {
        if (std::optional<QString> later = decryptSharedPair(stored); later && !later->isEmpty())
            return {later, Form::Outdated};
    }
    if (!reference.isEmpty()) {
        if (!m_keyring)
            return {std::nullopt, Form::Unreadable};
        Result<std::optional<QString>> found = m_keyring->lookupPassword(reference);
        if (!found || !found.value())
            return {std::nullopt, Form::Unreadable};
        return {std::move(found.value()), Form::Current};
    }
    if (sealed) {
        std::optional<QString> password = decryptSealed(stored);
        if (!password)
            return {std::nullopt, Form::Unreadable};
        // Moved into the keyring at the next save once there is one.
        return {std::move(password), m_keyring ? Form::Outdated : Form::Current};
    }
    if (sharedPair) {
        std::optional<QString> password = decryptSharedPair(stored);
        if (!password)
            return {std::nullopt, Form::Unreadable};
        return {std::move(password), Form::Outdated};
    }
    return {std::nullopt, Form::None};
}

void PasswordVault::forget(const Dict &entries)
{
    const QString reference = keyringReference(entries);
    if (!reference.isEmpty() && m_keyring)
        m_keyring->removePassword(reference);
}

QString PasswordVault::keyringReference(const Dict &entries)
{
    return entries.stringValue(key(KeyringReferenceKey));
}

QByteArray PasswordVault::fingerprint(const QString &password) const
{
    QByteArray clear = password.toUtf8();
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    HMAC(EVP_sha256(), m_fingerprintKey.constData(), int(m_fingerprintKey.size()),
         reinterpret_cast<const unsigned char *>(clear.constData()), size_t(clear.size()),
         reinterpret_cast<unsigned char *>(digest.data()), &length);
    wipe(clear);
    digest.truncate(int(length));
    return digest;
}

std::optional<QString> PasswordVault::decryptSealed(const Dict &entries)
{
    const QByteArray salt = entries.value(key(SealedSaltKey)).toBytes();
    const QByteArray iv = entries.value(key(SealedIVKey)).toBytes();
    if (salt.isEmpty() || iv.size() != LXCommonCrypto::IVLength)
        return std::nullopt;
    QByteArray aesKey = LXCommonCrypto::AESKeyForPassword(m_devicePassword, salt);
    std::optional<QByteArray> clear = LXCommonCrypto::cipher(
        LXCommonCrypto::Decrypt, aesKey, iv, entries.value(key(SealedPasswordKey)).toBytes(),
        LXCommonCrypto::PKCS7Padding);
    wipe(aesKey);
    return textOf(std::move(clear));
}

std::optional<QString> PasswordVault::decryptSharedPair(const Dict &entries)
{
    return textOf(m_sharedPair.decrypt(entries.value(key(SharedPairPasswordKey)).toBytes()));
}

} // namespace quillcast
