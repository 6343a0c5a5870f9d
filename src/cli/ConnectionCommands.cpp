#include "ConnectionCommands.h"

#include "ParsedArguments.h"
#include "StoredConnections.h"
#include "connections/PasswordVault.h"
#include "platform/QtMainLoop.h"
#include "send/CleartextCredentials.h"
#include "send/CurlSmtpClient.h"
#include "send/LXMailCoreBridge.h"
#include "send/SendingValues.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <unistd.h>

#include <limits>
#include <mutex>

using namespace Qt::StringLiterals;

namespace quillcast::cli {

namespace {

const QSet<QString> editOptions{u"--description"_s, u"--host"_s,          u"--port"_s,          u"--security"_s,
                                u"--user"_s,        u"--password-env"_s};
const QSet<QString> editFlags{u"--password-stdin"_s, u"--no-auth"_s, u"--allow-plain-auth"_s};

QString securityName(qint64 connectionType)
{
    switch (connectionType) {
    case 1:
        return u"STARTTLS"_s;
    case 2:
        return u"TLS"_s;
    default:
        return u"PLAIN"_s;
    }
}

// The first line of standard input, without its line end. Unbuffered, and
// the bytes wiped, so that no stray copy of the password stays behind.
std::optional<QString> passwordFromStdin()
{
    QFile in;
    if (!in.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle))
        return std::nullopt;
    QByteArray line = in.readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    const QString password = QString::fromUtf8(line);
    PasswordVault::wipe(line);
    return password;
}

// Passes the account check on to the real client and keeps the reason of a
// failure, which the transport only writes to the system log.
class ReasonKeepingClient final : public SmtpClient
{
public:
    explicit ReasonKeepingClient(SmtpClient &inner) : m_inner(inner) {}

    void sendMessage(const SmtpSettings &settings, const QString &envelopeFrom, const QStringList &envelopeTo,
                     const QByteArray &message, Completion done) override
    {
        m_inner.sendMessage(settings, envelopeFrom, envelopeTo, message, std::move(done));
    }
    void checkAccount(const SmtpSettings &settings, const QString &from, Completion done) override
    {
        m_inner.checkAccount(settings, from, [this, done = std::move(done)](const std::optional<SmtpFailure> &f) {
            if (f) {
                const std::lock_guard lock(m_mutex);
                m_reason = f->localizedDescription.isEmpty() ? f->fullDescription : f->localizedDescription;
            }
            done(f);
        });
    }
    QString reason() const
    {
        const std::lock_guard lock(m_mutex);
        return m_reason;
    }

private:
    SmtpClient &m_inner;
    mutable std::mutex m_mutex;
    QString m_reason;
};

} // namespace

bool ConnectionCommands::handles(const QString &command)
{
    return command == u"connections";
}

QString ConnectionCommands::summary()
{
    return u"  connections list          the stored SMTP connections (never their passwords)\n"
           "  connections add --description D --host H [--port P] [--security plain|starttls|tls]\n"
           "       [--user U (--password-env VAR | --password-stdin) | --no-auth] [--allow-plain-auth]\n"
           "  connections edit N [the options of add]\n"
           "                            passwords go into the desktop's keyring when there is\n"
           "                            one; a user name and password sent unencrypted (plain)\n"
           "                            to another machine are warned about, unless\n"
           "                            --allow-plain-auth says that this is meant\n"
           "  connections remove N\n"
           "  connections test N        connect, log in and ask whether the server takes mail\n"
           "                            from the user; exit 1 when it fails. Connections are\n"
           "                            numbered from 0; --port 25 and 465 are the standard\n"
           "                            choices, any other port is custom\n"_s;
}

int ConnectionCommands::refuse(const QString &subcommand, int status, const QString &message)
{
    m_ctx.err << "connections " << subcommand << ": " << message << Qt::endl;
    return status;
}

int ConnectionCommands::run(const QStringList &arguments)
{
    const QString sub = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    if (sub == u"list")
        return runList(rest);
    if (sub == u"add")
        return runAdd(rest);
    if (sub == u"edit")
        return runEdit(rest);
    if (sub == u"remove")
        return runRemove(rest);
    if (sub == u"test")
        return runTest(rest);
    m_ctx.err << "connections: give list, add, edit, remove or test" << Qt::endl;
    return 2;
}

Result<Dict> ConnectionCommands::changesFromOptions(const ParsedArguments &args, bool adding)
{
    using R = Result<Dict>;
    Dict changes;
    if (args.has(u"--description"_s))
        changes.set(u"mailServerDescription"_s, Value(args.value(u"--description"_s)));
    if (args.has(u"--host"_s)) {
        const QString host = args.value(u"--host"_s).trimmed();
        if (host.isEmpty())
            return R::failure(u"--host needs a server name"_s);
        changes.set(u"mailServerName"_s, Value(host));
    }
    if (args.has(u"--security"_s)) {
        static const QHash<QString, qint64> types{{u"plain"_s, 0}, {u"starttls"_s, 1}, {u"tls"_s, 2}};
        const QString security = args.value(u"--security"_s).toLower();
        if (!types.contains(security))
            return R::failure(u"--security must be plain, starttls or tls"_s);
        changes.set(u"connectionType"_s, Value(types.value(security)));
    }
    if (args.has(u"--port"_s)) {
        const std::optional<qint64> port = args.number(u"--port"_s, 0, 1, 65535);
        if (!port)
            return R::failure(u"--port must be a port number from 1 to 65535"_s);
        SendingValues::setPortChoice(changes, *port);
    }

    const bool fromEnv = args.has(u"--password-env"_s);
    const bool fromStdin = args.has(u"--password-stdin"_s);
    if (fromEnv && fromStdin)
        return R::failure(u"give --password-env or --password-stdin, not both"_s);
    if (args.has(u"--no-auth"_s)) {
        if (args.has(u"--user"_s) || fromEnv || fromStdin)
            return R::failure(u"--no-auth takes no user name or password"_s);
        changes.set(u"authenticationType"_s, Value(qint64(0)));
    }
    if (args.has(u"--user"_s)) {
        if (!fromEnv && !fromStdin && adding)
            return R::failure(
                u"--user needs --password-env VAR or --password-stdin (passwords never come from the command line)"_s);
        changes.set(u"username"_s, Value(args.value(u"--user"_s)));
        changes.set(u"authenticationType"_s, Value(qint64(1)));
    } else if ((fromEnv || fromStdin) && adding) {
        return R::failure(u"a password needs --user"_s);
    }
    if (fromEnv) {
        const QByteArray variable = args.value(u"--password-env"_s).toLocal8Bit();
        if (variable.isEmpty() || !qEnvironmentVariableIsSet(variable.constData()))
            return R::failure(u"the environment variable %1 is not set"_s.arg(args.value(u"--password-env"_s)));
        changes.set(u"password"_s, Value(qEnvironmentVariable(variable.constData())));
    } else if (fromStdin) {
        const std::optional<QString> password = passwordFromStdin();
        if (!password)
            return R::failure(u"cannot read the password from standard input"_s);
        changes.set(u"password"_s, Value(*password));
    }
    return changes;
}

void ConnectionCommands::warnOfCleartextCredentials(const QString &subcommand, const ParsedArguments &args,
                                                    const Dict &connection)
{
    // Only a warning: a server inside a trusted network may be meant.
    const Dict v = SendingValues::GetSendingValueFromDict(connection);
    if (args.has(u"--allow-plain-auth"_s) || !CleartextCredentials::wouldTravelInClear(v))
        return;
    m_ctx.err << "connections " << subcommand << ": warning: "
              << CleartextCredentials::warning(v.stringValue(u"mailServerName"_s))
              << "; choose --security starttls or tls, or give --allow-plain-auth if this is meant" << Qt::endl;
}

int ConnectionCommands::runList(const QStringList &arguments)
{
    const QString sub = u"list"_s;
    if (!arguments.isEmpty())
        return refuse(sub, 2, u"takes no arguments"_s);
    StoredConnections stored;
    if (const Status loaded = stored.load(ConnectionList::PasswordLoading::None); !loaded)
        return refuse(sub, 1, loaded.error());
    const List connections = stored.list().connectionArray();
    if (connections.isEmpty()) {
        m_ctx.out << "No connections are stored." << Qt::endl;
        return 0;
    }
    m_ctx.out << "#\tdescription\thost\tport\tsecurity\tuser\n";
    for (qsizetype i = 0; i < connections.size(); ++i) {
        const Dict v = SendingValues::GetSendingValueFromDict(connections.at(i).toDict());
        m_ctx.out << i << '\t' << v.stringValue(u"mailServerDescription"_s) << '\t'
                  << v.stringValue(u"mailServerName"_s) << '\t' << v.intValue(u"port"_s) << '\t'
                  << securityName(v.intValue(u"connectionType"_s)) << '\t'
                  << (v.boolValue(u"useAuth"_s) ? v.stringValue(u"username"_s) : u"(no authentication)"_s) << '\n';
    }
    m_ctx.out.flush();
    return 0;
}

int ConnectionCommands::runAdd(const QStringList &arguments)
{
    const QString sub = u"add"_s;
    const ParsedArguments args = ParsedArguments::parse(arguments, editFlags, editOptions);
    if (!args.error.isEmpty())
        return refuse(sub, 2, args.error);
    if (!args.positional.isEmpty())
        return refuse(sub, 2, u"unexpected argument %1"_s.arg(args.positional.first()));
    if (!args.has(u"--description"_s) || !args.has(u"--host"_s))
        return refuse(sub, 2, u"give --description and --host"_s);
    const Result<Dict> changes = changesFromOptions(args, true);
    if (!changes)
        return refuse(sub, 2, changes.error());

    StoredConnections stored;
    if (const Status loaded = stored.load(ConnectionList::PasswordLoading::None); !loaded)
        return refuse(sub, 1, loaded.error());
    ConnectionList &list = stored.list();
    Dict connection = list.newConnection();
    for (const auto &entry : changes->snapshot().entries())
        connection.set(entry.first, entry.second);
    list.addConnectionDict(connection);
    if (!list.lastStoreStatus())
        return refuse(sub, 1, list.lastStoreStatus().error());
    m_ctx.out << "Added connection " << (list.connectionArray().size() - 1) << " ("
              << connection.stringValue(u"mailServerDescription"_s) << ")" << Qt::endl;
    warnOfCleartextCredentials(sub, args, connection);
    return 0;
}

int ConnectionCommands::runEdit(const QStringList &arguments)
{
    const QString sub = u"edit"_s;
    const ParsedArguments args = ParsedArguments::parse(arguments, editFlags, editOptions);
    if (!args.error.isEmpty())
        return refuse(sub, 2, args.error);
    if (args.positional.size() != 1)
        return refuse(sub, 2, u"give the number of one connection"_s);
    bool ok = false;
    const qint64 index = args.positional.first().toLongLong(&ok);
    if (!ok || index < 0)
        return refuse(sub, 2, u"the connection number must be 0 or more"_s);
    const Result<Dict> changes = changesFromOptions(args, false);
    if (!changes)
        return refuse(sub, 2, changes.error());
    if (changes->isEmpty())
        return refuse(sub, 2, u"nothing to change"_s);

    StoredConnections stored;
    if (const Status loaded = stored.load(ConnectionList::PasswordLoading::None); !loaded)
        return refuse(sub, 1, loaded.error());
    ConnectionList &list = stored.list();
    if (index >= list.connectionArray().size())
        return refuse(sub, 1, u"there is no connection %1 (%2 stored)"_s.arg(index).arg(list.connectionArray().size()));
    if (const Status edited = list.editConnection(index, changes.value()); !edited)
        return refuse(sub, 1, edited.error());
    const Dict connection = list.connectionArray().at(index).toDict();
    m_ctx.out << "Changed connection " << index << " (" << connection.stringValue(u"mailServerDescription"_s) << ")"
              << Qt::endl;
    warnOfCleartextCredentials(sub, args, connection);
    return 0;
}

std::optional<qint64> ConnectionCommands::onlyConnectionNumber(const QString &subcommand,
                                                               const QStringList &arguments)
{
    const ParsedArguments args = ParsedArguments::parse(arguments, {}, {});
    if (!args.error.isEmpty()) {
        refuse(subcommand, 2, args.error);
        return std::nullopt;
    }
    bool ok = false;
    const qint64 index = args.positional.value(0).toLongLong(&ok);
    if (args.positional.size() != 1 || !ok || index < 0) {
        refuse(subcommand, 2, u"give the number of one connection (from 0)"_s);
        return std::nullopt;
    }
    return index;
}

std::optional<Dict> ConnectionCommands::storedConnection(const QString &subcommand, StoredConnections &stored,
                                                        qint64 index)
{
    if (const Status loaded = stored.load(ConnectionList::PasswordLoading::None); !loaded) {
        refuse(subcommand, 1, loaded.error());
        return std::nullopt;
    }
    const List connections = stored.list().connectionArray();
    if (index >= connections.size()) {
        refuse(subcommand, 1, u"there is no connection %1 (%2 stored)"_s.arg(index).arg(connections.size()));
        return std::nullopt;
    }
    return connections.at(index).toDict();
}

int ConnectionCommands::runRemove(const QStringList &arguments)
{
    const QString sub = u"remove"_s;
    const std::optional<qint64> number = onlyConnectionNumber(sub, arguments);
    if (!number)
        return 2;
    const qint64 index = *number;

    StoredConnections stored;
    const std::optional<Dict> found = storedConnection(sub, stored, index);
    if (!found)
        return 1;
    const Dict connection = *found;
    ConnectionList &list = stored.list();
    list.deleteConnectionDict(connection);
    if (!list.lastStoreStatus())
        return refuse(sub, 1, list.lastStoreStatus().error());
    m_ctx.out << "Removed connection " << index << " (" << connection.stringValue(u"mailServerDescription"_s) << ")"
              << Qt::endl;
    return 0;
}

int ConnectionCommands::runTest(const QStringList &arguments)
{
    const QString sub = u"test"_s;
    const std::optional<qint64> number = onlyConnectionNumber(sub, arguments);
    if (!number)
        return 2;
    const qint64 index = *number;

    StoredConnections stored;
    const std::optional<Dict> connection = storedConnection(sub, stored, index);
    if (!connection)
        return 1;
    // The one password the check needs.
    stored.list().readPassword(index);
    const Dict v = SendingValues::GetSendingValueFromDict(*connection);
    const QString host = v.stringValue(u"mailServerName"_s);
    const qint64 port = v.intValue(u"port"_s);

    CurlSmtpClient curl(CurlSmtpClient::Options::fromEnvironment());
    ReasonKeepingClient client(curl);
    // The check's answer comes back through the event loop, to this object.
    QObject context;
    QtMainLoop mainLoop(&context);
    const LXMailCoreBridge bridge({client, mainLoop, m_ctx.clock});
    bool finished = false;
    bool succeeded = false;
    m_ctx.out << "Testing connection " << index << " (" << v.stringValue(u"mailServerDescription"_s) << ") at "
              << host << ":" << port << u" \u2026"_s << Qt::endl;
    bridge.canConnectToServer(
        host, v.stringValue(u"username"_s), v.stringValue(u"password"_s), qint32(port),
        qint32(v.intValue(u"connectionType"_s)), v.boolValue(u"useAuth"_s),
        [&](bool passed, const QString &) {
            finished = true;
            succeeded = passed;
        },
        QString::number(index));
    while (!finished) {
        QCoreApplication::sendPostedEvents(&context);
        if (!finished)
            QThread::msleep(20);
    }
    if (!succeeded)
        return refuse(sub, 1, u"the check failed: %1"_s.arg(client.reason()));
    m_ctx.out << "Success: the server accepts the account." << Qt::endl;
    return 0;
}

} // namespace quillcast::cli
