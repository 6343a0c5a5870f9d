#pragma once

#include <QtGlobal>

namespace quillcast {

// An unsigned big-endian number of `bytes` bytes (1 to 8), as binary property
// lists store their integers, offsets and references.
inline quint64 readBigEndian(const uchar *p, int bytes)
{
    quint64 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

} // namespace quillcast
