#pragma once

#include "platform/RandomSource.h"

#include <QList>

namespace quillcast {

// A random source for tests: gives the scripted draws in order, then starts
// over. Draws above 2^31 - 1 are given as they are, to probe callers' limits.
class ScriptedRandomSource final : public RandomSource
{
public:
    explicit ScriptedRandomSource(QList<quint32> draws);

    quint32 next31() override;

private:
    QList<quint32> m_draws;
    qsizetype m_next = 0;
};

} // namespace quillcast
