#pragma once

#include <QString>

namespace quillcast {

// The older validator, kept for callers written against it: top-level
// domains of 2 to 4 letters, no trimming. New code uses LXNetValidator.
class LXEmailValidator
{
public:
    static bool isValidEmail(const QString &text);
    static bool isValidDomain(const QString &text);
};

} // namespace quillcast
