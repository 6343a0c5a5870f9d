#include "app/LXMailConnectionTester.h"

#include "send/SendingValues.h"

#include <QUuid>

using namespace Qt::StringLiterals;

namespace quillcast {

LXMailConnectionTester::LXMailConnectionTester(AccountCheck accountCheck, QObject *parent)
    : QObject(parent),
      m_accountCheck(std::move(accountCheck))
{
}

QString LXMailConnectionTester::connectionStringFor(qint64 connectionType)
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

void LXMailConnectionTester::SetMailServerDescription(const QString &description, const QString &address,
                                                      const QString &username, const QString &password,
                                                      qint64 port, qint64 connectionType, bool useAuth)
{
    m_description = description;
    m_address = address;
    m_username = username;
    m_password = password;
    m_serverPort = port;
    m_theConnection = connectionType;
    m_authN = useAuth;
    m_serverPortString = QString::number(port);
    m_authString = useAuth ? u"YES"_s : u"NO"_s;
    m_connectionString = connectionStringFor(connectionType);
    Q_EMIT changed();
}

void LXMailConnectionTester::SetConnection(const Dict &connection)
{
    const Dict v = SendingValues::GetSendingValueFromDict(connection);
    SetMailServerDescription(v.stringValue(u"mailServerDescription"_s), v.stringValue(u"mailServerName"_s),
                             v.stringValue(u"username"_s), v.stringValue(u"password"_s), v.intValue(u"port"_s),
                             v.intValue(u"connectionType"_s), v.boolValue(u"useAuth"_s));
}

void LXMailConnectionTester::setState(int pane, bool testing, bool animating)
{
    m_pane = pane;
    m_testing = testing;
    m_progressAnimating = animating;
    Q_EMIT changed();
}

void LXMailConnectionTester::runAttachedToWin(QObject *window)
{
    m_attachedToWindow = window;
    setState(SettingsPane, false, m_progressAnimating);
    Q_EMIT sheetRequested(window);
}

void LXMailConnectionTester::sheetDidEnd()
{
    setState(SettingsPane, false, false);
}

void LXMailConnectionTester::close()
{
    // Ending the sheet runs its end handler; a test still outstanding then
    // finds no test waiting and its report is dropped.
    Q_EMIT endSheetRequested(m_attachedToWindow.data());
    sheetDidEnd();
}

void LXMailConnectionTester::testConnection()
{
    setState(SettingsPane, true, true);
    m_uuidString = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    // The report may come after this tester is gone (the application quits
    // with a test outstanding).
    QPointer<LXMailConnectionTester> self(this);
    m_accountCheck(m_address, m_username, m_password, qint32(m_serverPort), qint32(m_theConnection), m_authN,
                   [self](bool succeeded, const QString &requestID) {
                       if (self)
                           self->reportResultCanConnectTest(succeeded, requestID);
                   },
                   m_uuidString);
}

void LXMailConnectionTester::reportResultCanConnectTest(bool succeeded, const QString &requestID)
{
    if (!m_testing || requestID != m_uuidString)
        return;
    m_uuidString.clear();
    setState(succeeded ? SucceededPane : FailedPane, false, false);
}

} // namespace quillcast
