#include "StoredConnections.h"

#include "connections/LibsecretSecretStore.h"
#include "connections/OpenSslRandomSource.h"

namespace quillcast::cli {

StoredConnections::StoredConnections()
    : m_keyring(LibsecretSecretStore::open()),
      m_list({m_store, OpenSslRandomSource::instance(), m_address, m_alerts, m_mainLoop, m_keyring.get()})
{
}

StoredConnections::~StoredConnections() = default;

} // namespace quillcast::cli
