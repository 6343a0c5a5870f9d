#include "send/RoutingMailClient.h"

namespace quillcast {

Result<QString> RoutingMailClient::prepareEmailViaMailAppWithBody(const QString &body, const QString &email,
                                                                  const QString &title, const QString &from,
                                                                  const List &attachments, bool send)
{
    SystemMailClient &client = send ? m_send : m_prepare;
    return client.prepareEmailViaMailAppWithBody(body, email, title, from, attachments, send);
}

} // namespace quillcast
