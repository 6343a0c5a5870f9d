#include "util/Base64.h"

namespace quillcast {

namespace {

std::optional<QByteArray> decode(const QByteArray &ascii)
{
    // Qt drops a single trailing character silently; it carries fewer than
    // eight bits, so the text was cut short and must not pass as valid.
    if (ascii.size() % 4 == 1)
        return std::nullopt;
    auto result = QByteArray::fromBase64Encoding(ascii, QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return std::move(result.decoded);
}

} // namespace

QString Base64::base64enc(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toBase64());
}

std::optional<QByteArray> Base64::base64dec(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0x7f)
            return std::nullopt;
    }
    return decode(text.toLatin1());
}

std::optional<QByteArray> Base64::transformExecuter(const QByteArray &bytes, Transform transform)
{
    switch (transform) {
    case Transform::Encode:
        return bytes.toBase64();
    case Transform::Decode:
        return decode(bytes);
    }
    return std::nullopt;
}

} // namespace quillcast
