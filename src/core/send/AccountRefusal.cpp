#include "send/AccountRefusal.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace quillcast {

bool AccountRefusal::stopsTheRun(int code, const QString &text)
{
    if (code < 400)
        return false;
    // 535: authentication credentials invalid; 530/534: authentication
    // required, or the mechanism is refused for this account.
    if (code == 535 || code == 530 || code == 534)
        return true;
    // Security or policy (X.7.Z): a blocked account, or a rate or
    // quota limit, with the codes providers give them.
    static const QRegularExpression policy(u"^\\s*[45]\\.7\\.\\d{1,3}\\b"_s);
    if ((code == 421 || code == 451 || code == 550 || code == 554) && policy.match(text).hasMatch())
        return true;
    // The same limits said in words by providers without a policy code
    // (Gmail's 550 5.4.5 quota, Microsoft's 554 5.2.0 "SendAsDenied"...).
    static const QRegularExpression limits(
        u"sending (limit|quota)|quota exceeded|daily (user )?sending|(message|rate|send(ing)?) limit (exceeded|reached)|"
        "too many (messages|emails|recipients|connections)|rate limit|exceeded the (maximum|limit)|"
        "sendasdenied|account (is )?(disabled|suspended|blocked)"_s,
        QRegularExpression::CaseInsensitiveOption);
    return limits.match(text).hasMatch();
}

QString AccountRefusal::stopLine(int code, const QString &text)
{
    return u"Sending stopped: the server refused the account (%1 %2). No more messages are sent; once the account is "
           "fixed, resume the run"_s.arg(QString::number(code), text);
}

} // namespace quillcast
