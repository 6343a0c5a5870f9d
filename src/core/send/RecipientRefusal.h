#pragma once

#include <QString>

namespace quillcast {

// Whether a server's refusal says that the recipient's address does not
// exist: a permanent refusal (5xx) with the enhanced status "bad destination
// mailbox" (5.1.1, RFC 3463), or in the words servers use without it ("no
// such user", "user unknown"). A full mailbox, a policy block or an
// account's limit is not one: the address may work another day.
class RecipientRefusal
{
public:
    // code: the reply code; text: the reply's text after the code.
    static bool addressUnknown(int code, const QString &text);
};

} // namespace quillcast
