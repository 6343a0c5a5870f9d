#pragma once

#include "send/ConnectionProvider.h"

#include <functional>

namespace quillcast {

// A connection list given outright: the command line's server options, and
// tests. Opening the preferences calls the given function, if any.
class StaticConnectionProvider final : public ConnectionProvider
{
public:
    explicit StaticConnectionProvider(List connections = List(), std::function<void(int)> openPreferences = {})
        : m_connections(std::move(connections)), m_openPreferences(std::move(openPreferences))
    {
    }

    List connections() const override { return m_connections; }
    void openPreferencesAtTab(int tab) override
    {
        if (m_openPreferences)
            m_openPreferences(tab);
    }

private:
    List m_connections;
    std::function<void(int)> m_openPreferences;
};

} // namespace quillcast
