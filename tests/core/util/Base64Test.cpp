#include "TestPrinters.h"
#include "util/Base64.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

struct DecodeRow
{
    const char *name;
    QString text;
    std::optional<QByteArray> expected;
};

void PrintTo(const DecodeRow &row, std::ostream *os)
{
    *os << row.name;
}

class Base64Decoding : public ::testing::TestWithParam<DecodeRow>
{
};

TEST_P(Base64Decoding, DecodesOrRefuses)
{
    const DecodeRow &row = GetParam();
    EXPECT_EQ(Base64::base64dec(row.text), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Base64, Base64Decoding,
    ::testing::Values(DecodeRow{"padded", u"aGVsbG8="_s, QByteArray("hello")},
                      DecodeRow{"empty", u""_s, QByteArray()},
                      DecodeRow{"binary", u"AP8="_s, QByteArray("\x00\xff", 2)},
                      DecodeRow{"innerSpace", u"aGVs bG8="_s, std::nullopt},
                      DecodeRow{"lineBreak", u"aGVs\nbG8="_s, std::nullopt},
                      DecodeRow{"foreignCharacters", u"!!!!"_s, std::nullopt},
                      DecodeRow{"urlAlphabet", u"-_-_"_s, std::nullopt},
                      DecodeRow{"dataAfterPadding", u"aGVsbG8=aGVs"_s, std::nullopt},
                      DecodeRow{"danglingCharacter", u"aGVsb"_s, std::nullopt},
                      DecodeRow{"nonAscii", u"aGVsbG8\u00e9"_s, std::nullopt},
                      DecodeRow{"nonLatin1LooksLikeQuestionMark", u"aGV\u4e00"_s, std::nullopt}),
    [](const auto &row) { return std::string(row.param.name); });

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
