#pragma once

#include "CliContext.h"
#include "connections/ConnectionList.h"
#include "util/Dict.h"
#include "util/Result.h"

#include <QStringList>

#include <optional>

namespace quillcast::cli {

class StoredConnections;

struct ParsedArguments;

// The user's stored SMTP connections, the list the desktop application's
// preferences show:
//   connections list
//   connections add --description D --host H [--port P] [--security S] [auth]
//   connections edit N [--description D] [--host H] [--port P] [--security S] [auth]
//   connections remove N
//   connections test N
// where auth is --user U with --password-env VAR or --password-stdin, or
// --no-auth (edit may change the user alone and keep the password), and
// --allow-plain-auth silences the warning about a user name and password
// that would travel unencrypted.
// Passwords never come from the command line itself, and "list" never shows
// them. Connections are numbered from 0, as a mailing's chosen
// connection is. Refused arguments (status 2) and unknown connections
// (status 1) leave the stored list as it was.
class ConnectionCommands
{
public:
    explicit ConnectionCommands(CliContext context) : m_ctx(context) {}

    static bool handles(const QString &command);
    static QString summary();
    // arguments: the subcommand and its arguments.
    int run(const QStringList &arguments);

private:
    int runList(const QStringList &arguments);
    int runAdd(const QStringList &arguments);
    int runEdit(const QStringList &arguments);
    int runRemove(const QStringList &arguments);
    int runTest(const QStringList &arguments);
    // The fields the options set; a failure says what is wrong with them.
    Result<Dict> changesFromOptions(const ParsedArguments &args, bool adding);
    int refuse(const QString &subcommand, int status, const QString &message);
    // The one connection number of a command that takes nothing else, or
    // none after a refusal with status 2.
    std::optional<qint64> onlyConnectionNumber(const QString &subcommand, const QStringList &arguments);
    // The stored connection at index, loaded into stored without the
    // passwords; refused (status 1) when the list cannot be read or has no
    // such connection.
    std::optional<Dict> storedConnection(const QString &subcommand, StoredConnections &stored, qint64 index);
    // On standard error, unless --allow-plain-auth was given.
    void warnOfCleartextCredentials(const QString &subcommand, const ParsedArguments &args, const Dict &connection);

    CliContext m_ctx;
};

} // namespace quillcast::cli
