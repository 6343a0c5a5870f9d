#pragma once

#include "CollectingAlertPresenter.h"
#include "connections/ConnectionList.h"
#include "connections/HardwareAddress.h"
#include "connections/SecretStore.h"
#include "platform/QtMainLoop.h"
#include "platform/SettingsFileStore.h"

#include <memory>

namespace quillcast::cli {

// The user's connection list as the desktop application keeps it (the same
// settings file, the same keyring or device password), for the commands that
// manage it or send through it.
class StoredConnections
{
public:
    StoredConnections();
    ~StoredConnections();

    // Reads the stored list, as the application does at launch; without the
    // passwords for the commands that do not use them.
    Status load(ConnectionList::PasswordLoading loading = ConnectionList::PasswordLoading::All)
    {
        return m_list.loadConnections(loading);
    }
    ConnectionList &list() { return m_list; }
    QString fileName() const { return m_store.fileName(); }

private:
    SettingsFileStore m_store;
    HardwareAddress m_address;
    CollectingAlertPresenter m_alerts;
    QtMainLoop m_mainLoop;
    std::unique_ptr<SecretStore> m_keyring;
    ConnectionList m_list;
};

} // namespace quillcast::cli
