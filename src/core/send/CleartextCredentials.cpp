#include "send/CleartextCredentials.h"

#include <arpa/inet.h>
#include <netinet/in.h>

using namespace Qt::StringLiterals;

namespace quillcast {

bool CleartextCredentials::wouldTravelInClear(const QString &host, qint64 connectionType, bool useAuth,
                                              const QString &username, const QString &password)
{
    const bool credentials = useAuth && (!username.trimmed().isEmpty() || !password.isEmpty());
    return credentials && connectionType == 0 && !isLoopbackHost(host);
}

bool CleartextCredentials::wouldTravelInClear(const Dict &v)
{
    return wouldTravelInClear(v.stringValue(u"mailServerName"_s), v.intValue(u"connectionType"_s),
                              v.boolValue(u"useAuth"_s), v.stringValue(u"username"_s), v.stringValue(u"password"_s));
}

bool CleartextCredentials::isLoopbackHost(const QString &host)
{
    QString name = host.trimmed().toLower();
    if (name == u"localhost" || name == u"localhost.")
        return true;
    if (name.startsWith(u'[') && name.endsWith(u']'))
        name = name.mid(1, name.size() - 2);
    const QByteArray text = name.toLatin1();
    in_addr v4 = {};
    if (::inet_pton(AF_INET, text.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6 = {};
    if (::inet_pton(AF_INET6, text.constData(), &v6) == 1) {
        if (IN6_IS_ADDR_LOOPBACK(&v6))
            return true;
        return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
    }
    return false;
}

QString CleartextCredentials::warning(const QString &host)
{
    return u"the user name and password would travel unencrypted to %1, where anyone on the way can read them"_s.arg(
        host);
}

} // namespace quillcast
