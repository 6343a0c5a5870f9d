#pragma once

#include "connections/SecureRandomSource.h"

namespace quillcast::testing {

// Random bytes for tests: counts up from a starting byte (so that salt, IV
// and identifiers are known in advance), or fails when told to.
class ScriptedSecureRandomSource final : public quillcast::SecureRandomSource
{
public:
    explicit ScriptedSecureRandomSource(quint8 first = 1) : m_next(first) {}

    std::optional<QByteArray> randomBytes(qsizetype count) override
    {
        ++calls;
        if (failing)
            return std::nullopt;
        QByteArray bytes;
        for (qsizetype i = 0; i < count; ++i)
            bytes.append(char(m_next++));
        return bytes;
    }

    bool failing = false;
    int calls = 0;

private:
    quint8 m_next;
};

} // namespace quillcast::testing
