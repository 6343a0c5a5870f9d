#include "platform/SeededRandomSource.h"

#include <QDateTime>

namespace quillcast {

SeededRandomSource::SeededRandomSource(quint32 seed) : m_generator(seed) {}

quint32 SeededRandomSource::next31()
{
    std::lock_guard lock(m_lock);
    return m_generator.generate() >> 1;
}

SeededRandomSource &SeededRandomSource::processInstance()
{
    static SeededRandomSource instance(static_cast<quint32>(QDateTime::currentSecsSinceEpoch()));
    return instance;
}

} // namespace quillcast
