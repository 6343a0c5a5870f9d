#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillcast {

// Base64 of byte strings, standard alphabet with "=" padding, on one line.
class Base64
{
public:
    enum class Transform { Encode, Decode };

    static QString base64enc(const QByteArray &bytes);
    // Nothing when the text is not Base64 (stray characters, line breaks, a
    // padding in the wrong place, or a dangling final character).
    static std::optional<QByteArray> base64dec(const QString &text);

    // Runs the transform over the bytes; nothing when it refuses them.
    static std::optional<QByteArray> transformExecuter(const QByteArray &bytes, Transform transform);
};

} // namespace quillcast
