#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>

class QDeadlineTimer;
class QLocalServer;
class QLocalSocket;

namespace quillcast::gui {

// One Quillcast per user and settings file, so that two processes never
// autosave the same mailing: the first process listens on a local socket in
// the user's runtime folder; a later one hands its request (the mailings it
// was given, or that it was asked for the Open panel) to the first and ends.
// Only the hand-over lives here; what the running instance does with a
// request is its owner's business.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        // This process is the one that runs; later ones hand over to it.
        Primary,
        // The running instance took the request; this process can end.
        HandedOver,
        // An instance runs but did not take the request in time.
        NoAnswer,
        // No socket could be made (the runtime folder is not writable...):
        // this process runs on its own.
        Unavailable,
    };

    // The socket for the user's settings file: each settings file (the
    // tests use their own) has its own instance.
    static QString serverNameFor(const QString &settingsFile);

    explicit SingleInstance(QString serverName, QObject *parent = nullptr);
    ~SingleInstance() override;

    Outcome start(const QStringList &paths, bool showOpenPanel,
                  std::chrono::milliseconds timeout = std::chrono::seconds(5));
    QString serverName() const { return m_serverName; }
    QString errorString() const { return m_error; }

    // The most a request may be: enough for thousands of paths.
    static constexpr qsizetype maxRequestBytes = 1024 * 1024;

Q_SIGNALS:
    // A later process handed over: open these mailings (absolute paths),
    // show the Open panel, or, when neither, bring Quillcast to the front.
    void requestReceived(const QStringList &paths, bool showOpenPanel);

private:
    bool handOver(QLocalSocket &socket, const QStringList &paths, bool showOpenPanel, const QDeadlineTimer &deadline);
    bool listen();
    void accept();
    void readRequest(QLocalSocket *socket);

    QString m_serverName;
    QString m_error;
    QLocalServer *m_server = nullptr;
};

} // namespace quillcast::gui
