#include "send/RecipientRefusal.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace quillcast {

bool RecipientRefusal::addressUnknown(int code, const QString &text)
{
    // 550 mailbox unavailable, 551 user not local, 553 mailbox name not allowed.
    if (code != 550 && code != 551 && code != 553)
        return false;
    static const QRegularExpression enhanced(u"^\\s*5\\.(\\d{1,3})\\.(\\d{1,3})\\b"_s);
    if (const QRegularExpressionMatch status = enhanced.match(text); status.hasMatch())
        return status.captured(1) == u"1"_s && status.captured(2) == u"1"_s;
    static const QRegularExpression words(
        u"no such (user|recipient|mailbox|account)|user unknown|unknown (user|recipient|mailbox)|"
        "(mailbox|user|address|recipient) (does not|doesn't) exist"_s,
        QRegularExpression::CaseInsensitiveOption);
    return words.match(text).hasMatch();
}

} // namespace quillcast
