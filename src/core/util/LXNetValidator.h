#pragma once

#include <QString>

namespace quillcast {

// Syntactic checks of addresses and host names; nothing is looked up on the
// network. Each text is trimmed of spaces (U+0020 only) and must match its
// pattern as a whole.
class LXNetValidator
{
public:
    static bool isValidEmail(const QString &text);
    // A list of addresses separated by ",": every non-empty part must be an
    // address. A text with no address at all (null, empty, only commas) passes.
    static bool isValidEmailAlsoMultiple(const QString &text);
    static bool isValidDomain(const QString &text);
    // Four dot-separated groups of at least two digits each.
    static bool isNumericDomain(const QString &text);
};

} // namespace quillcast
