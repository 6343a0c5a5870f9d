#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

// A request is one JSON object on one line; the answer is this line.
constexpr QByteArrayView acceptedReply = "ok\n";
// A client that connects and says nothing is dropped after this long.
constexpr int silentClientMs = 10'000;

void drop(QLocalSocket *socket)
{
    socket->abort();
    socket->deleteLater();
}

} // namespace

QString SingleInstance::serverNameFor(const QString &settingsFile)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const QByteArray key = QFileInfo(settingsFile).absoluteFilePath().toUtf8();
    const QString hash = QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16));
    // The user id keeps users apart even when the folder is a shared one.
    return u"%1/quillcast-%2-%3"_s.arg(folder).arg(::getuid()).arg(hash);
}

SingleInstance::SingleInstance(QString serverName, QObject *parent)
    : QObject(parent), m_serverName(std::move(serverName))
{
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Outcome SingleInstance::start(const QStringList &paths, bool showOpenPanel,
                                              std::chrono::milliseconds timeout)
{
    // Two processes started together must not both find no one listening
    // and both listen; the lock makes "look, then listen" one step. A lock
    // left by a crashed process is taken over (its holder is gone).
    const QDeadlineTimer deadline(timeout);
    QLockFile lock(m_serverName + u".lock"_s);
    lock.setStaleLockTime(std::chrono::milliseconds::zero());
    if (!lock.tryLock(int(deadline.remainingTime()))) {
        m_error = u"The lock %1 could not be taken."_s.arg(m_serverName + u".lock"_s);
        return Outcome::NoAnswer;
    }

    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (socket.waitForConnected(int(deadline.remainingTime())))
        return handOver(socket, paths, showOpenPanel, deadline) ? Outcome::HandedOver : Outcome::NoAnswer;
    // Nobody listens: a socket file still there is a crashed instance's.
    return listen() ? Outcome::Primary : Outcome::Unavailable;
}

bool SingleInstance::handOver(QLocalSocket &socket, const QStringList &paths, bool showOpenPanel,
                              const QDeadlineTimer &deadline)
{
    QJsonObject request;
    request.insert(u"paths"_s, QJsonArray::fromStringList(paths));
    request.insert(u"openPanel"_s, showOpenPanel);
    socket.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');

    QByteArray reply;
    while (!reply.contains('\n')) {
        // Writing waits inside waitForReadyRead too.
        if (!socket.waitForReadyRead(int(deadline.remainingTime()))) {
            m_error = socket.error() == QLocalSocket::SocketTimeoutError
                          ? u"The running Quillcast did not answer."_s
                          : socket.errorString();
            return false;
        }
        reply += socket.readAll();
    }
    if (reply != acceptedReply) {
        m_error = u"The running Quillcast refused the request."_s;
        return false;
    }
    return true;
}

bool SingleInstance::listen()
{
    QLocalServer::removeServer(m_serverName);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_serverName)) {
        m_error = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    return true;
}

void SingleInstance::accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        QTimer::singleShot(silentClientMs, socket, [socket] { drop(socket); });
    }
}

void SingleInstance::readRequest(QLocalSocket *socket)
{
    if (socket->property("answered").toBool())
        return;
    QByteArray buffer = socket->property("request").toByteArray() + socket->readAll();
    const qsizetype end = buffer.indexOf('\n');
    if (end < 0) {
        if (buffer.size() > maxRequestBytes)
            drop(socket);
        else
            socket->setProperty("request", buffer);
        return;
    }
    if (end > maxRequestBytes) {
        drop(socket);
        return;
    }

    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(buffer.left(end), &error);
    const QJsonValue pathsValue = document.object().value(u"paths"_s);
    const QJsonValue panelValue = document.object().value(u"openPanel"_s);
    if (error.error != QJsonParseError::NoError || !document.isObject() || !pathsValue.isArray()
        || !panelValue.isBool()) {
        drop(socket);
        return;
    }
    QStringList paths;
    for (const QJsonValue &value : pathsValue.toArray()) {
        // A relative path would be taken from this process's folder, not
        // the sender's: such a request is refused whole.
        if (!value.isString() || !QDir::isAbsolutePath(value.toString())) {
            drop(socket);
            return;
        }
        paths.append(value.toString());
    }

    socket->setProperty("answered", true);
    socket->write(acceptedReply.data(), acceptedReply.size());
    socket->disconnectFromServer();
    Q_EMIT requestReceived(paths, panelValue.toBool());
}

} // namespace quillcast::gui
