#include "ScriptedRandomSource.h"

namespace quillcast {

ScriptedRandomSource::ScriptedRandomSource(QList<quint32> draws) : m_draws(std::move(draws)) {}

quint32 ScriptedRandomSource::next31()
{
    if (m_draws.isEmpty())
        return 0;
    const quint32 draw = m_draws.at(m_next);
    m_next = (m_next + 1) % m_draws.size();
    return draw;
}

} // namespace quillcast
