#include "TestPrinters.h"
#include "util/Base64.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

TEST(Base64, DecodesOrRefuses)
{
    const struct { const char *name; QString text; std::optional<QByteArray> expected; } rows[] = {
        {"padded", u"aGVsbG8="_s, QByteArray("hello")},
        {"empty", u""_s, QByteArray()},
        {"binary", u"AP8="_s, QByteArray("\x00\xff", 2)},
        {"innerSpace", u"aGVs bG8="_s, std::nullopt},
        {"lineBreak", u"aGVs\nbG8="_s, std::nullopt},
        {"foreignCharacters", u"!!!!"_s, std::nullopt},
        {"urlAlphabet", u"-_-_"_s, std::nullopt},
        {"dataAfterPadding", u"aGVsbG8=aGVs"_s, std::nullopt},
        {"danglingCharacter", u"aGVsb"_s, std::nullopt},
        {"nonAscii", u"aGVsbG8\u00e9"_s, std::nullopt},
        {"nonLatin1LooksLikeQuestionMark", u"aGV\u4e00"_s, std::nullopt},
    };
    for (const auto &row : rows)
        EXPECT_EQ(Base64::base64dec(row.text), row.expected) << row.name;
}

TEST(Base64, DecodesWhatItEncodesForEveryByte)
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(i));
    const QString text = Base64::base64enc(bytes);
    EXPECT_FALSE(text.contains(u'\n'));
    EXPECT_EQ(Base64::base64dec(text), bytes);
}

TEST(Base64, TransformRefusesInputItCannotDecode)
{
    EXPECT_EQ(Base64::transformExecuter("aGk=", Base64::Transform::Decode), QByteArray("hi"));
    EXPECT_EQ(Base64::transformExecuter("a*k=", Base64::Transform::Decode), std::nullopt);
    EXPECT_EQ(Base64::transformExecuter("hi", Base64::Transform::Encode), QByteArray("aGk="));
}

} // namespace
