#pragma once

#include <QtGlobal>

namespace quillcast {

class RandomSource;

// A number from lo to hi drawn from 31 random bits: lo + (r mod (hi - lo + 1)).
// Ranges wider than 2^31 therefore only reach lo + 2^31 - 1. A reversed range
// gives lo. The first form draws from the process generator, seeded with the
// time on first use; both are safe to call from any thread.
qint64 randomIntInRange(qint64 lo, qint64 hi);
qint64 randomIntInRange(qint64 lo, qint64 hi, RandomSource &random);

} // namespace quillcast
