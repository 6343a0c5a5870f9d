#pragma once

#include <QtEndian>
#include <QtGlobal>

namespace quillcast {

// An unsigned big-endian number of `bytes` bytes (1 to 8), as binary property
// lists store their integers, offsets and references.
inline quint64 readBigEndian(const uchar *p, int bytes)
{
    // The widths writers use, read whole: millions of references and offsets
    // go through here when a large mailing is opened.
    switch (bytes) {
    case 1:
        return p[0];
    case 2:
        return qFromBigEndian<quint16>(p);
    case 4:
        return qFromBigEndian<quint32>(p);
    case 8:
        return qFromBigEndian<quint64>(p);
    default:
        break;
    }
    quint64 v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

} // namespace quillcast
