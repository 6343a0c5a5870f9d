#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillcast {

class RandomSource;
class SecureRandomSource;

// The cipher for stored passwords: AES-256 in CBC mode with PKCS#7 padding,
// its key derived with PBKDF2-HMAC-SHA1 (10000 rounds) from a password and a
// salt. The parameters are fixed so that what one installation stores, any
// other with the same password decrypts.
//
// The key is derived anew from the password and the salt before every cipher
// call, so setting either takes effect at the next call.
class LXCommonCrypto
{
public:
    // The padding option: a bit set.
    enum Padding : int { NoPadding = 0, PKCS7Padding = 1, ECBMode = 2 };
    enum Operation : int { Encrypt = 0, Decrypt = 1 };
    // The status of a cipher call: 0 for success, otherwise the error codes
    // of the cipher library the stored form comes from.
    enum Status : int {
        Success = 0,
        ParamError = -4300,
        BufferTooSmall = -4301,
        MemoryFailure = -4302,
        AlignmentError = -4303,
        DecodeError = -4304,
    };

    static constexpr qsizetype KeyLength = 32;
    static constexpr qsizetype IVLength = 16;
    static constexpr qsizetype SaltLength = 8;
    static constexpr int Iterations = 10000;

    // Without a password (init).
    explicit LXCommonCrypto(SecureRandomSource &random);
    // initWithPassword: a fresh random IV and salt.
    LXCommonCrypto(const QString &password, SecureRandomSource &random);

    QString password() const { return m_password; }
    void setPassword(const QString &password) { m_password = password; }
    QByteArray salt() const { return m_salt; }
    void setSalt(const QByteArray &salt) { m_salt = salt; }
    QByteArray AESKey() const { return m_aesKey; }
    void setAESKey(const QByteArray &key) { m_aesKey = key; }
    QByteArray IV() const { return m_iv; }
    void setIV(const QByteArray &iv) { m_iv = iv; }

    // CBC with PKCS#7 padding; none on failure, with the status in *status.
    std::optional<QByteArray> encrypt(const QByteArray &data, int *status = nullptr);
    std::optional<QByteArray> decrypt(const QByteArray &data, int *status = nullptr);
    // With the given padding option; the key argument is not used (the key
    // always comes from the password and the salt).
    std::optional<QByteArray> encrypt(const QByteArray &data, const QByteArray &key, int padding);
    std::optional<QByteArray> decrypt(const QByteArray &data, const QByteArray &key, int padding);
    // Encryption always pads unless ECB mode is asked for; the option used is
    // written back to padding.
    std::optional<QByteArray> doCipher(const QByteArray &data, const QByteArray &key, int operation, int &padding,
                                       int *status = nullptr);

    // AES-256 itself with the key and IV given (the IV is not used in ECB
    // mode): what doCipher runs once it has derived the key.
    static std::optional<QByteArray> cipher(int operation, const QByteArray &key, const QByteArray &iv,
                                            const QByteArray &data, int padding, int *status = nullptr);

    void setPasswordToEncrypt(const QString &password);
    void setPasswordToDecrypt(const QString &password, const QByteArray &iv, const QByteArray &salt);
    // A new random IV and salt, and the key for them.
    void recalcIV_Salt_AESKey();

    static std::optional<QByteArray> randomDataOfLength(qsizetype length, SecureRandomSource &random);
    // PBKDF2-HMAC-SHA1 over the password's UTF-8 bytes: 32 bytes (none only
    // when the library fails).
    static QByteArray AESKeyForPassword(const QString &password, const QByteArray &salt);
    // The general derivation behind it, for any output length and rounds.
    static QByteArray pbkdf2HmacSha1(const QByteArray &password, const QByteArray &salt, int iterations,
                                     qsizetype length);
    static std::optional<QByteArray> dataSHA1(const QByteArray &data);
    // 256 characters with codes from 1 to 255.
    static QString generateRandom256AsciiString(RandomSource &random);

private:
    void refreshRandomParts();

    SecureRandomSource &m_random;
    QString m_password;
    QByteArray m_salt;
    QByteArray m_aesKey;
    QByteArray m_iv;
};

} // namespace quillcast
