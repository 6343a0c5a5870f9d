#pragma once

#include "connections/SecureRandomSource.h"

namespace quillcast {

// The system's secure random bytes, through OpenSSL's generator.
class OpenSslRandomSource final : public SecureRandomSource
{
public:
    std::optional<QByteArray> randomBytes(qsizetype count) override;

    // One shared instance for the whole process (the generator is thread-safe).
    static OpenSslRandomSource &instance();
};

} // namespace quillcast
