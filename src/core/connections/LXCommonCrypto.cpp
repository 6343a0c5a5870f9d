#include "connections/LXCommonCrypto.h"

#include "connections/SecureRandomSource.h"
#include "platform/RandomIntInRange.h"

#include <openssl/evp.h>

#include <limits>
#include <memory>

namespace quillcast {

namespace {

struct CipherContextFree
{
    void operator()(EVP_CIPHER_CTX *ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

const unsigned char *bytesOf(const QByteArray &data)
{
    // OpenSSL wants a valid pointer even for no bytes.
    static const unsigned char none = 0;
    return data.isEmpty() ? &none : reinterpret_cast<const unsigned char *>(data.constData());
}

} // namespace

LXCommonCrypto::LXCommonCrypto(SecureRandomSource &random) : LXCommonCrypto(QString(), random) {}

LXCommonCrypto::LXCommonCrypto(const QString &password, SecureRandomSource &random)
    : m_random(random), m_password(password)
{
    refreshRandomParts();
}

void LXCommonCrypto::refreshRandomParts()
{
    // A failing source leaves no IV or salt: nothing can then be encrypted,
    // rather than something encrypted under a guessable pair.
    m_iv = randomDataOfLength(IVLength, m_random).value_or(QByteArray());
    m_salt = randomDataOfLength(SaltLength, m_random).value_or(QByteArray());
    m_aesKey = AESKeyForPassword(m_password, m_salt);
}

std::optional<QByteArray> LXCommonCrypto::encrypt(const QByteArray &data, int *status)
{
    int padding = PKCS7Padding;
    return doCipher(data, QByteArray(), Encrypt, padding, status);
}

std::optional<QByteArray> LXCommonCrypto::decrypt(const QByteArray &data, int *status)
{
    int padding = PKCS7Padding;
    return doCipher(data, QByteArray(), Decrypt, padding, status);
}

std::optional<QByteArray> LXCommonCrypto::encrypt(const QByteArray &data, const QByteArray &key, int padding)
{
    return doCipher(data, key, Encrypt, padding);
}

std::optional<QByteArray> LXCommonCrypto::decrypt(const QByteArray &data, const QByteArray &key, int padding)
{
    return doCipher(data, key, Decrypt, padding);
}

std::optional<QByteArray> LXCommonCrypto::doCipher(const QByteArray &data, const QByteArray & /*key*/,
                                                   int operation, int &padding, int *status)
{
    m_aesKey = AESKeyForPassword(m_password, m_salt);
    if (operation == Encrypt && !(padding & ECBMode))
        padding = PKCS7Padding;
    return cipher(operation, m_aesKey, m_iv, data, padding, status);
}

std::optional<QByteArray> LXCommonCrypto::cipher(int operation, const QByteArray &key, const QByteArray &iv,
                                                 const QByteArray &data, int padding, int *status)
{
    const auto fail = [status](int code) -> std::optional<QByteArray> {
        if (status)
            *status = code;
        return std::nullopt;
    };
    const bool encrypting = operation == Encrypt;
    const bool ecb = padding & ECBMode;
    if (key.size() != KeyLength || (!ecb && iv.size() != IVLength))
        return fail(ParamError);
    if (data.size() > std::numeric_limits<int>::max() - 2 * IVLength)
        return fail(BufferTooSmall);

    CipherContext ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return fail(MemoryFailure);
    const EVP_CIPHER *aes = ecb ? EVP_aes_256_ecb() : EVP_aes_256_cbc();
    if (EVP_CipherInit_ex(ctx.get(), aes, nullptr, bytesOf(key), ecb ? nullptr : bytesOf(iv), encrypting ? 1 : 0)
            != 1
        || EVP_CIPHER_CTX_set_padding(ctx.get(), (padding & PKCS7Padding) ? 1 : 0) != 1)
        return fail(ParamError);

    // Room for the input and one more block, as padding may add.
    QByteArray out(data.size() + IVLength, '\0');
    auto *outBytes = reinterpret_cast<unsigned char *>(out.data());
    int updated = 0;
    if (EVP_CipherUpdate(ctx.get(), outBytes, &updated, bytesOf(data), int(data.size())) != 1)
        return fail(ParamError);
    int finished = 0;
    if (EVP_CipherFinal_ex(ctx.get(), outBytes + updated, &finished) != 1) {
        // Either a length that is no whole number of blocks (where no padding
        // makes up for it) or padding that does not check out.
        const bool whole = data.size() % IVLength == 0;
        return fail(!whole ? AlignmentError : DecodeError);
    }
    out.truncate(updated + finished);
    if (status)
        *status = Success;
    return out;
}

void LXCommonCrypto::setPasswordToEncrypt(const QString &password)
{
    m_password = password;
    refreshRandomParts();
}

void LXCommonCrypto::setPasswordToDecrypt(const QString &password, const QByteArray &iv, const QByteArray &salt)
{
    m_password = password;
    m_iv = iv;
    m_salt = salt;
}

void LXCommonCrypto::recalcIV_Salt_AESKey()
{
    refreshRandomParts();
}

std::optional<QByteArray> LXCommonCrypto::randomDataOfLength(qsizetype length, SecureRandomSource &random)
{
    std::optional<QByteArray> bytes = random.randomBytes(length);
    if (!bytes || bytes->size() != length)
        return std::nullopt;
    return bytes;
}

QByteArray LXCommonCrypto::AESKeyForPassword(const QString &password, const QByteArray &salt)
{
    return pbkdf2HmacSha1(password.toUtf8(), salt, Iterations, KeyLength);
}

QByteArray LXCommonCrypto::pbkdf2HmacSha1(const QByteArray &password, const QByteArray &salt, int iterations,
                                          qsizetype length)
{
    if (length <= 0 || length > std::numeric_limits<int>::max() || iterations < 1
        || password.size() > std::numeric_limits<int>::max() || salt.size() > std::numeric_limits<int>::max())
        return QByteArray();
    QByteArray key(length, '\0');
    if (PKCS5_PBKDF2_HMAC(password.constData(), int(password.size()), bytesOf(salt), int(salt.size()), iterations,
                          EVP_sha1(), int(length), reinterpret_cast<unsigned char *>(key.data()))
        != 1)
        return QByteArray();
    return key;
}

std::optional<QByteArray> LXCommonCrypto::dataSHA1(const QByteArray &data)
{
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    if (EVP_Digest(bytesOf(data), size_t(data.size()), reinterpret_cast<unsigned char *>(digest.data()), &length,
                   EVP_sha1(), nullptr)
        != 1)
        return std::nullopt;
    digest.truncate(length);
    return digest;
}

QString LXCommonCrypto::generateRandom256AsciiString(RandomSource &random)
{
    QString text;
    text.reserve(256);
    for (int i = 0; i < 256; ++i)
        text.append(QChar(char16_t(randomIntInRange(1, 255, random))));
    return text;
}

} // namespace quillcast
