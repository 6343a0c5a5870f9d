#pragma once

#include "connections/ConnectionList.h"
#include "connections/ConnectionStore.h"
#include "connections/HardwareAddress.h"
#include "platform/QtMainLoop.h"
#include "platform/ScriptedAlertPresenter.h"

namespace quillcast::cli {

// The user's connection list as the desktop application keeps it (the same
// settings file, the same device password), for the commands that manage it
// or send through it.
class StoredConnections
{
public:
    StoredConnections();

    // Reads the stored list, as the application does at launch.
    Status load() { return m_list.loadConnections(); }
    ConnectionList &list() { return m_list; }
    QString fileName() const { return m_store.fileName(); }

private:
    ConnectionStore m_store;
    HardwareAddress m_address;
    ScriptedAlertPresenter m_alerts;
    QtMainLoop m_mainLoop;
    ConnectionList m_list;
};

} // namespace quillcast::cli
