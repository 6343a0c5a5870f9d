#include "send/RoutingMailClient.h"

namespace quillcast {

Result<QString> RoutingMailClient::prepareEmailViaMailApp(const MessageContent &content, const QString &email,
                                                          bool send)
{
    SystemMailClient &client = send ? m_send : m_prepare;
    return client.prepareEmailViaMailApp(content, email, send);
}

} // namespace quillcast
