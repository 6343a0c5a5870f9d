#include "StoredConnections.h"

#include "connections/OpenSslRandomSource.h"

namespace quillcast::cli {

StoredConnections::StoredConnections()
    : m_list({m_store, OpenSslRandomSource::instance(), m_address, m_alerts, m_mainLoop})
{
}

} // namespace quillcast::cli
