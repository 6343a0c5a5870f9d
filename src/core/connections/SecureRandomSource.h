#pragma once

#include <QByteArray>

#include <optional>

namespace quillcast {

// Where key-derivation salts, initialisation vectors and connection
// identifiers come from: bytes fit for cryptography. Injected so that tests
// can fix them, or make the source fail.
class SecureRandomSource
{
public:
    virtual ~SecureRandomSource() = default;

    // count random bytes; none when the source fails.
    virtual std::optional<QByteArray> randomBytes(qsizetype count) = 0;
};

} // namespace quillcast
