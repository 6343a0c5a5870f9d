#include "platform/RandomIntInRange.h"

#include "platform/SeededRandomSource.h"

namespace quillcast {

qint64 randomIntInRange(qint64 lo, qint64 hi)
{
    return randomIntInRange(lo, hi, SeededRandomSource::processInstance());
}

qint64 randomIntInRange(qint64 lo, qint64 hi, RandomSource &random)
{
    if (hi < lo)
        return lo;
    // Unsigned arithmetic: hi - lo + 1 does not fit a signed 64-bit integer for
    // wide ranges, and wraps to 0 for the full range (where any offset fits).
    const quint64 span = quint64(hi) - quint64(lo) + 1;
    const quint64 draw = random.next31();
    const quint64 offset = span == 0 ? draw : draw % span;
    return qint64(quint64(lo) + offset);
}

} // namespace quillcast
