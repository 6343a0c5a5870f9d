#pragma once

#include "send/LXMailCoreBridge.h"
#include "util/Dict.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

namespace quillcast {

// The model of the connection test sheet of the preferences: the effective
// settings of the connection under test, shown as texts, and the pane the
// sheet shows (0 settings and test, 1 failed, 2 succeeded).
//
// Each test carries a fresh request identifier; a report that does not carry
// the identifier of the outstanding test, or that arrives when no test is
// outstanding (the sheet was closed), changes nothing.
class LXMailConnectionTester : public QObject
{
    Q_OBJECT
public:
    enum Pane { SettingsPane = 0, FailedPane = 1, SucceededPane = 2 };

    // Starts the account check without waiting; the completion runs once, on
    // the main thread (LXMailCoreBridge::canConnectToServer).
    using AccountCheck = std::function<void(const QString &host, const QString &username, const QString &password,
                                            qint32 port, qint32 connectionType, bool useAuth,
                                            LXMailCoreBridge::CheckCompletion sender, const QString &requestID)>;

    explicit LXMailConnectionTester(AccountCheck accountCheck, QObject *parent = nullptr);

    void SetMailServerDescription(const QString &description, const QString &address, const QString &username,
                                  const QString &password, qint64 port, qint64 connectionType, bool useAuth);
    // The same with the values a send through the connection would use.
    void SetConnection(const Dict &connection);

    // Shows the sheet on the window, on the settings pane.
    void runAttachedToWin(QObject *window);
    // Commands of the sheet.
    void testConnection();
    void close();
    // The sheet ended, however it ended (the GUI calls it from its end handler).
    void sheetDidEnd();

    void reportResultCanConnectTest(bool succeeded, const QString &requestID);

    QString mailServerDescription() const { return m_description; }
    QString mailServerAddress() const { return m_address; }
    QString serverPortString() const { return m_serverPortString; }
    QString connectionString() const { return m_connectionString; }
    QString authString() const { return m_authString; }
    int connectionTabViewSelection() const { return m_pane; }
    bool testing() const { return m_testing; }
    bool progressAnimating() const { return m_progressAnimating; }
    QString uuidString() const { return m_uuidString; }
    QObject *attachedToWindow() const { return m_attachedToWindow; }

    // "STARTTLS", "TLS", or "PLAIN" for any other type.
    static QString connectionStringFor(qint64 connectionType);

Q_SIGNALS:
    // The GUI shows or ends the sheet on the window.
    void sheetRequested(QObject *window);
    void endSheetRequested(QObject *window);
    // Any shown value changed.
    void changed();

private:
    void setState(int pane, bool testing, bool animating);

    AccountCheck m_accountCheck;
    QString m_description;
    QString m_address;
    QString m_username;
    QString m_password;
    qint64 m_serverPort = 0;
    qint64 m_theConnection = 0;
    bool m_authN = false;
    QString m_serverPortString;
    QString m_connectionString;
    QString m_authString;
    int m_pane = SettingsPane;
    bool m_testing = false;
    bool m_progressAnimating = false;
    QString m_uuidString;
    QPointer<QObject> m_attachedToWindow;
};

} // namespace quillcast
