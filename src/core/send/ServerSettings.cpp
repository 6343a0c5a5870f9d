#include "send/ServerSettings.h"

#include "document/MyDocument.h"
#include "platform/AlertPresenter.h"
#include "send/ConnectionProvider.h"
#include "send/SendingValues.h"
#include "util/LXStringUtils.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace quillcast {

std::optional<ServerCredentials> ServerSettings::adjustSendingValueFromPref()
{
    const List connections = m_connections ? m_connections->connections() : List();
    if (connections.isEmpty())
        return std::nullopt;

    qint64 index = m_doc.selectedIndexConnection().value_or(0);
    if (index >= connections.size()) {
        index = connections.size() - 1;
        m_doc.setSelectedIndexConnection(index);
    }
    // A negative index can only come from a damaged file; it reads as the first.
    const Dict connection = connections.at(std::max<qint64>(index, 0)).toDict();

    return SendingValues::serverFromDict(connection);
}

ServerCredentials ServerSettings::serverForSending(const std::optional<ServerCredentials> &given)
{
    if (given)
        return *given;
    return adjustSendingValueFromPref().value_or(ServerCredentials());
}

int ServerSettings::checkForCorrectServerSetting(const ServerCredentials &server)
{
    const auto blank = [](const QString &text) { return LXStringUtils::trimLateralSpace(text).isEmpty(); };
    if (blank(server.name))
        return EmptyServerName;
    if (server.requirePassword) {
        if (blank(server.username))
            return EmptyUsername;
        if (blank(server.password))
            return EmptyPassword;
    }
    if (server.port == 0)
        return WrongPort;
    return Complete;
}

QString ServerSettings::reasonText(int code)
{
    switch (code) {
    case EmptyServerName:
        return u"Empty server name"_s;
    case EmptyUsername:
        return u"Empty username when required"_s;
    case EmptyPassword:
        return u"Empty password when required"_s;
    case WrongPort:
        return u"wrong port number"_s;
    default:
        return QString();
    }
}

void ServerSettings::presentServerSettingErrorDialog(int code)
{
    AlertPresenter *presenter = m_doc.alertPresenter();
    if (!presenter)
        return;
    Alert alert;
    alert.messageText = u"Wrong server settings: %1"_s.arg(reasonText(code));
    alert.informativeText = u"Please open the Mail Server Preferences to fix them"_s;
    alert.buttons = {u"Open Server Settings"_s, u"Cancel"_s};
    alert.style = Alert::Style::Warning;
    alert.kind = Alert::Kind::Sheet;

    ConnectionProvider *connections = m_connections;
    QPointer<MyDocument> document(&m_doc);
    presenter->present(alert, [connections, document](int chosen) {
        if (chosen != 0 || !connections || !document)
            return;
        // After the sheet has gone, as the window would open on top of it otherwise.
        document->mainLoop().post([connections, document] {
            if (document)
                connections->openPreferencesAtTab(ConnectionProvider::MailServerTab);
        });
    });
}

void ServerSettings::fitMessageKindToTransport()
{
    if (m_doc.useMailServerToSend() == 0)
        m_doc.setEmailKind(0);
}

} // namespace quillcast
