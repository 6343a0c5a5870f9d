#pragma once

#include "send/SystemMailClient.h"

namespace quillcast {

// Gives drafts to one client and messages that are to leave at once to
// another, for systems where no single program does both (a drafts folder or
// xdg-email to prepare, sendmail to send).
class RoutingMailClient final : public SystemMailClient
{
public:
    RoutingMailClient(SystemMailClient &prepare, SystemMailClient &send) : m_prepare(prepare), m_send(send) {}

    Result<QString> prepareEmailViaMailApp(const MessageContent &content, const QString &email, bool send) override;

private:
    SystemMailClient &m_prepare;
    SystemMailClient &m_send;
};

} // namespace quillcast
