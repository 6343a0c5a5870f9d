#include "send/SendingValues.h"

using namespace Qt::StringLiterals;

namespace quillcast {

Dict SendingValues::GetSendingValueFromDict(const Dict &connection)
{
    const Dict::Snapshot c = connection.snapshot();
    const auto textOr = [&](const QString &key, const QString &fallback) {
        return c.contains(key) ? c.stringValue(key) : fallback;
    };

    // The port comes from the port choice alone; the stored "port" key is
    // not consulted.
    qint64 port = 25;
    switch (c.intValue(u"useCustomPort"_s)) {
    case 1:
        port = c.intValue(u"customPortUsed"_s);
        break;
    case 2:
        port = 465;
        break;
    default:
        break;
    }

    return Dict{
        {u"mailServerDescription"_s, Value(textOr(u"mailServerDescription"_s, u"Undefined"_s))},
        {u"mailServerName"_s, Value(textOr(u"mailServerName"_s, QString()))},
        {u"username"_s, Value(textOr(u"username"_s, QString()))},
        {u"password"_s, Value(textOr(u"password"_s, QString()))},
        {u"port"_s, Value(port)},
        {u"connectionType"_s, Value(c.intValue(u"connectionType"_s))},
        {u"useAuth"_s, Value(c.intValue(u"authenticationType"_s) == 1)},
    };
}

ServerCredentials SendingValues::serverFromDict(const Dict &connection)
{
    const Dict values = GetSendingValueFromDict(connection);
    ServerCredentials server;
    server.name = values.stringValue(u"mailServerName"_s);
    server.username = values.stringValue(u"username"_s);
    server.password = values.stringValue(u"password"_s);
    server.port = static_cast<qint32>(values.intValue(u"port"_s));
    server.connectionType = static_cast<qint32>(values.intValue(u"connectionType"_s));
    server.requirePassword = values.boolValue(u"useAuth"_s);
    return server;
}

void SendingValues::setPortChoice(Dict &connection, qint64 port)
{
    if (port == 25) {
        connection.set(u"useCustomPort"_s, Value(qint64(0)));
    } else if (port == 465) {
        connection.set(u"useCustomPort"_s, Value(qint64(2)));
    } else {
        connection.set(u"useCustomPort"_s, Value(qint64(1)));
        connection.set(u"customPortUsed"_s, Value(port));
    }
}

} // namespace quillcast
