#pragma once

#include <QString>

namespace quillcast {

// The mail server a send goes through, in the terms of a stored connection:
// its host, port, encryption (the connection's connectionType), whether it
// asks for a user name and password, and those. Taken from the chosen
// connection when a run starts, or given for one run.
struct ServerCredentials
{
    QString name{};
    qint32 port = 0;
    qint32 connectionType = 0;
    bool requirePassword = false;
    QString username{};
    QString password{};

    bool operator==(const ServerCredentials &) const = default;
};

} // namespace quillcast
