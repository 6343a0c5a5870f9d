#include "connections/LXCommonCrypto.h"

#include "ScriptedSecureRandomSource.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using quillcast::LXCommonCrypto;
using quillcast::testing::ScriptedSecureRandomSource;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// RFC 6070. (The 16777216-round vector is left out: it proves nothing the
// 4096-round ones do not, at a cost of seconds.)
TEST(Pbkdf2HmacSha1, MatchesThePublishedVectors)
{
    const struct { const char *name; QByteArray password; QByteArray salt; int iterations; const char *derived; } rows[] = {
        {"one round", "password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
        {"two rounds", "password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
        {"4096 rounds", "password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
        {"long password and salt", "passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
         "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
        {"embedded NUL", QByteArray("pass\0word", 9), QByteArray("sa\0lt", 5), 4096, "56fa6aa75548099dcc37d7f03425e0c3"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray expected = hex(row.derived);
        EXPECT_EQ(LXCommonCrypto::pbkdf2HmacSha1(row.password, row.salt, row.iterations, expected.size()).toHex(),
                  expected.toHex());
    }
}

// NIST SP 800-38A, F.2.5 (CBC-AES256.Encrypt) and F.2.6 (its decryption).
const QByteArray nistKey = hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
const QByteArray nistIV = hex("000102030405060708090a0b0c0d0e0f");
const QByteArray nistPlain = hex("6bc1bee22e409f96e93d7e117393172a"
                                 "ae2d8a571e03ac9c9eb76fac45af8e51"
                                 "30c81c46a35ce411e5fbc1191a0a52ef"
                                 "f69f2445df4f9b17ad2b417be66c3710");
const QByteArray nistCipher = hex("f58c4c04d6e5f1ba779eabfb5f7bfbd6"
                                  "9cfc4e967edb808d679f777bc6702c7d"
                                  "39f23369a9d9bacfa530e26304231461"
                                  "b2eb05e2c39be9fcda6c19078c6a9d1b");

TEST(Aes256Cbc, EncryptsAndDecryptsTheNistVector)
{
    const auto out = LXCommonCrypto::cipher(LXCommonCrypto::Encrypt, nistKey, nistIV, nistPlain,
                                            LXCommonCrypto::NoPadding);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->toHex(), nistCipher.toHex());
    const auto back = LXCommonCrypto::cipher(LXCommonCrypto::Decrypt, nistKey, nistIV, nistCipher,
                                             LXCommonCrypto::NoPadding);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->toHex(), nistPlain.toHex());
}

// The cipher object as the connection list uses it: a device password, the
// salt 01..08 and the IV 10..1f. Expected bytes made with Python's PBKDF2 and
// the openssl command.
class StoredPasswordCipher : public ::testing::Test
{
protected:
    StoredPasswordCipher()
    {
        crypto.setPasswordToDecrypt(u"aa:bb:cc:00:11:22Qc7mR2xLp"_s, hex("101112131415161718191a1b1c1d1e1f"),
                                    hex("0102030405060708"));
    }

    ScriptedSecureRandomSource random;
    LXCommonCrypto crypto{random};
};

// The key comes from ten thousand rounds; a password of any length, none
// included, is padded to whole blocks (sixteen bytes gain a block of
// padding) and comes back as it was.
TEST_F(StoredPasswordCipher, EncryptsToTheKnownBytesAndBack)
{
    EXPECT_EQ(LXCommonCrypto::AESKeyForPassword(crypto.password(), crypto.salt()).toHex(),
              "9ac0365257a3d2ca163b619e55775a410773d2c23645c0f8ee93b42e9f1cea3d");
    const struct
    {
        const char *name;
        QByteArray plain;
        QByteArray sealed; // hex; empty: only the length is known
        qsizetype size;
    } rows[] = {
        {"a password", u"sekrét"_s.toUtf8(), "ebe80e5884965b7b75256f6cde7fa8cc", 16},
        {"empty password", QByteArray(), "623a675b4c2d750b1f5bb5158f254600", 16},
        {"sixteen bytes", "0123456789abcdef", QByteArray(), 32},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        int status = -1;
        const auto out = crypto.encrypt(row.plain, &status);
        ASSERT_TRUE(out);
        EXPECT_EQ(status, LXCommonCrypto::Success);
        EXPECT_EQ(out->size(), row.size);
        if (!row.sealed.isEmpty()) {
            EXPECT_EQ(out->toHex(), row.sealed);
        }
        EXPECT_EQ(crypto.decrypt(*out).value_or(QByteArray("<none>")), row.plain);
    }
}

// What cannot be decrypted says why: the password of another device shows
// as bad padding, a cut-off or empty text as a length error.
TEST_F(StoredPasswordCipher, UndecryptableTextsAreRefusedWithTheirReason)
{
    const QByteArray stored = hex("ebe80e5884965b7b75256f6cde7fa8cc");
    int status = 0;
    EXPECT_FALSE(crypto.decrypt(stored.chopped(1), &status));
    EXPECT_EQ(status, LXCommonCrypto::AlignmentError);
    status = 0;
    EXPECT_FALSE(crypto.decrypt(QByteArray(), &status));
    EXPECT_NE(status, LXCommonCrypto::Success);
    crypto.setPassword(u"(null)Qc7mR2xLp"_s);
    status = 0;
    EXPECT_FALSE(crypto.decrypt(stored, &status));
    EXPECT_EQ(status, LXCommonCrypto::DecodeError);
}

TEST_F(StoredPasswordCipher, EncryptionPadsEvenWhenAskedNotTo)
{
    int padding = LXCommonCrypto::NoPadding;
    const auto out = crypto.doCipher("abc", QByteArray(), LXCommonCrypto::Encrypt, padding);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->size(), 16);
    EXPECT_EQ(padding, LXCommonCrypto::PKCS7Padding);
}

TEST_F(StoredPasswordCipher, AnIVOfTheWrongLengthIsAParameterError)
{
    crypto.setIV(hex("0102"));
    int status = 0;
    EXPECT_FALSE(crypto.encrypt("abc", &status));
    EXPECT_EQ(status, LXCommonCrypto::ParamError);
}

TEST(LXCommonCrypto, NewObjectDrawsIVThenSaltFromTheSource)
{
    ScriptedSecureRandomSource random(0x10);
    const LXCommonCrypto crypto(u"pw"_s, random);
    EXPECT_EQ(crypto.IV().toHex(), "101112131415161718191a1b1c1d1e1f");
    EXPECT_EQ(crypto.salt().toHex(), "2021222324252627");
    EXPECT_EQ(crypto.AESKey(), LXCommonCrypto::AESKeyForPassword(u"pw"_s, crypto.salt()));
}

TEST(LXCommonCrypto, FailingRandomSourceLeavesNothingToEncryptWith)
{
    ScriptedSecureRandomSource random;
    random.failing = true;
    LXCommonCrypto crypto(u"pw"_s, random);
    EXPECT_TRUE(crypto.IV().isEmpty());
    EXPECT_TRUE(crypto.salt().isEmpty());
    int status = 0;
    EXPECT_FALSE(crypto.encrypt("secret", &status));
    EXPECT_EQ(status, LXCommonCrypto::ParamError);
}

TEST(LXCommonCrypto, Sha1OfAbc)
{
    EXPECT_EQ(LXCommonCrypto::dataSHA1("abc").value_or(QByteArray()).toHex(),
              "a9993e364706816aba3e25717850c26c9cd0d89d");
}

} // namespace
