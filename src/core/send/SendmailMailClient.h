#pragma once

#include "send/SystemMailClient.h"

#include <QString>

#include <chrono>

namespace quillcast {

class Clock;

// Delivers a message through the local mail system: the message is built
// here and piped to "sendmail -t -i", which takes the recipients from the
// To header and does not stop at a line holding a lone dot. The program runs
// without a shell; the call waits until it has taken the message, at most
// for the time-out.
//
// It only sends: preparing a draft is refused.
class SendmailMailClient final : public SystemMailClient
{
public:
    static QString defaultPath() { return QStringLiteral("/usr/sbin/sendmail"); }

    explicit SendmailMailClient(const Clock &clock, QString path = defaultPath(),
                                std::chrono::milliseconds timeout = std::chrono::seconds(60));

    Result<QString> prepareEmailViaMailApp(const MessageContent &content, const QString &email, bool send) override;

private:
    const Clock &m_clock;
    QString m_path;
    std::chrono::milliseconds m_timeout;
};

} // namespace quillcast
