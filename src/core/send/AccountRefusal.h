#pragma once

#include <QString>

namespace quillcast {

// Whether a server's refusal is about the account rather than the message or
// its recipient: the login was denied, or the account may send no more for
// now (a sending limit or quota, a policy block). Every later message would
// be refused the same way, so a send run stops at the first one.
class AccountRefusal
{
public:
    // code: the reply code; text: the reply's text after the code, with the
    // enhanced status code (RFC 3463) first when the server gives one.
    static bool stopsTheRun(int code, const QString &text);
    // The log line's words for the stop (without time stamp).
    static QString stopLine(int code, const QString &text);
};

} // namespace quillcast
