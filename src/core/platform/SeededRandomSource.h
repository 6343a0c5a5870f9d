#pragma once

#include "platform/RandomSource.h"

#include <QRandomGenerator>

#include <mutex>

namespace quillcast {

// A pseudo-random generator started from a known seed. Draws are serialised,
// so one instance may be shared by every thread of the process.
class SeededRandomSource final : public RandomSource
{
public:
    explicit SeededRandomSource(quint32 seed);

    quint32 next31() override;

    // The generator of the process, seeded with the time in whole seconds on
    // first use.
    static SeededRandomSource &processInstance();

private:
    std::mutex m_lock;
    QRandomGenerator m_generator;
};

} // namespace quillcast
