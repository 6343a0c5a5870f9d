#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace quillcast::testing {

// smtp_server.py on 127.0.0.1, for as long as the object lives: one port per
// mode, the certificate the TLS ports show, and the folder in which the
// server keeps every message it took. The server also stops when the test
// program ends, as its standard input closes.
class LocalSmtpServer
{
public:
    explicit LocalSmtpServer(const QStringList &options = {})
    {
        m_process.start(QString::fromUtf8(QUILLCAST_PYTHON3),
                        QStringList{QString::fromUtf8(QUILLCAST_SMTP_SERVER_SCRIPT), QStringLiteral("--workdir"),
                                    m_workdir.path()}
                            + options);
        if (!m_process.waitForStarted(30000)) {
            m_error = QStringLiteral("the SMTP test server did not start: ") + m_process.errorString();
            return;
        }
        while (!m_process.canReadLine() && m_process.state() == QProcess::Running)
            m_process.waitForReadyRead(30000);
        m_info = QJsonDocument::fromJson(m_process.readLine()).object();
        if (m_info.isEmpty())
            m_error = QStringLiteral("the SMTP test server did not report its ports: ")
                + QString::fromUtf8(m_process.readAllStandardError());
    }

    ~LocalSmtpServer()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.closeWriteChannel();
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }

    LocalSmtpServer(const LocalSmtpServer &) = delete;
    LocalSmtpServer &operator=(const LocalSmtpServer &) = delete;

    // Empty when the server runs.
    const QString &error() const { return m_error; }
    int port(const char *mode) const { return m_info[QString::fromLatin1(mode)].toInt(); }
    QString certificate() const { return m_info[QStringLiteral("cert")].toString(); }
    QString messagesFolder() const { return m_info[QStringLiteral("messages")].toString(); }
    // Where the server's control files are (the stall port's stall.json).
    QString workdir() const { return m_workdir.path(); }

private:
    QTemporaryDir m_workdir;
    QProcess m_process;
    QJsonObject m_info;
    QString m_error;
};

} // namespace quillcast::testing
