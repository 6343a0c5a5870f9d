#pragma once

#include <QtGlobal>

#include <cstddef>

// The counts, widths and big-endian numbers a binary property list is written
// with, shared by the archiver that streams a mailing and the plain writer.
namespace quillcast::plist {

// Width of an unsigned number in the sizes a binary property list uses.
inline int widthFor(quint64 v)
{
    if (v < (1ULL << 8))
        return 1;
    if (v < (1ULL << 16))
        return 2;
    if (v < (1ULL << 32))
        return 4;
    return 8;
}

inline int log2Width(int width)
{
    return width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3;
}

// Bytes taken by a type marker with its count.
inline size_t countedMarkerSize(quint64 count)
{
    return count < 15 ? 1 : 2 + size_t(widthFor(count));
}

inline char *putBigEndian(char *p, quint64 v, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) {
        p[i] = char(v & 0xFF);
        v >>= 8;
    }
    return p + bytes;
}

inline char *putCountedMarker(char *p, quint8 marker, quint64 count)
{
    if (count < 15) {
        *p++ = char(marker | quint8(count));
        return p;
    }
    *p++ = char(marker | 0x0F);
    const int width = widthFor(count);
    *p++ = char(0x10 | log2Width(width));
    return putBigEndian(p, count, width);
}

} // namespace quillcast::plist
