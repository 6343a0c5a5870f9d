#include "document/archive/BinaryPlistWriter.h"
#include "document/archive/PlistEncoding.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace quillcast {

using namespace plist;

BinaryPlistWriter::BinaryPlistWriter() : m_out(QByteArrayLiteral("bplist00"))
{
}

BinaryPlistWriter::Ref BinaryPlistWriter::startScalar()
{
    const Ref ref = Ref(m_offsets.size());
    m_offsets.push_back(quint64(m_out.size()));
    return ref;
}

void BinaryPlistWriter::appendBigEndian(quint64 v, int bytes)
{
    char buffer[8];
    putBigEndian(buffer, v, bytes);
    m_out.append(buffer, bytes);
}

void BinaryPlistWriter::appendCountedMarker(quint8 marker, quint64 count)
{
    char buffer[16];
    const char *end = putCountedMarker(buffer, marker, count);
    m_out.append(buffer, end - buffer);
}

void BinaryPlistWriter::noteRef(Ref r)
{
    m_highestRef = std::max(m_highestRef, r);
}

BinaryPlistWriter::Ref BinaryPlistWriter::boolean(bool b)
{
    const Ref ref = startScalar();
    m_out.append(char(b ? 0x09 : 0x08));
    return ref;
}

BinaryPlistWriter::Ref BinaryPlistWriter::integer(qint64 i)
{
    const Ref ref = startScalar();
    // Readers take 1, 2 and 4 byte integers as unsigned and 8 byte ones as
    // signed, so a negative number always needs all eight.
    const int width = i < 0 ? 8 : widthFor(quint64(i));
    m_out.append(char(0x10 | log2Width(width)));
    appendBigEndian(quint64(i), width);
    return ref;
}

BinaryPlistWriter::Ref BinaryPlistWriter::real(double r)
{
    const Ref ref = startScalar();
    quint64 bits;
    std::memcpy(&bits, &r, sizeof bits);
    m_out.append(char(0x23));
    appendBigEndian(bits, 8);
    return ref;
}

BinaryPlistWriter::Ref BinaryPlistWriter::date(double secondsSince2001)
{
    const Ref ref = startScalar();
    quint64 bits;
    std::memcpy(&bits, &secondsSince2001, sizeof bits);
    m_out.append(char(0x33));
    appendBigEndian(bits, 8);
    return ref;
}

BinaryPlistWriter::Ref BinaryPlistWriter::string(QStringView s)
{
    const Ref ref = startScalar();
    // NUL goes the UTF-16 way as well: libplist 2.2 cuts an ASCII string at
    // its first NUL byte, but keeps the full length of a UTF-16 one.
    const bool ascii = std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() - 1u < 0x7Fu; });
    if (ascii) {
        appendCountedMarker(0x50, quint64(s.size()));
        const qsizetype at = m_out.size();
        m_out.resize(at + s.size());
        char *p = m_out.data() + at;
        for (QChar c : s)
            *p++ = char(c.unicode());
    } else {
        appendCountedMarker(0x60, quint64(s.size()));
        const qsizetype at = m_out.size();
        m_out.resize(at + 2 * s.size());
        qToBigEndian<quint16>(s.utf16(), s.size(), m_out.data() + at);
    }
    return ref;
}

BinaryPlistWriter::Ref BinaryPlistWriter::data(QByteArrayView bytes)
{
    const Ref ref = startScalar();
    appendCountedMarker(0x40, quint64(bytes.size()));
    m_out.append(bytes.data(), bytes.size());
    return ref;
}

BinaryPlistWriter::Ref BinaryPlistWriter::uid(quint32 value)
{
    const Ref ref = startScalar();
    const int width = widthFor(value);
    m_out.append(char(0x80 | (width - 1)));
    appendBigEndian(value, width);
    return ref;
}

BinaryPlistWriter::Ref BinaryPlistWriter::array(std::span<const Ref> items)
{
    const Ref ref = Ref(m_offsets.size());
    m_offsets.push_back(0);
    m_containers.push_back({ref, 0xA0, quint64(items.size()), m_refs.size()});
    for (Ref item : items) {
        noteRef(item);
        m_refs.push_back(item);
    }
    return ref;
}

BinaryPlistWriter::Ref BinaryPlistWriter::dict(std::span<const std::pair<Ref, Ref>> entries)
{
    const Ref ref = Ref(m_offsets.size());
    m_offsets.push_back(0);
    m_containers.push_back({ref, 0xD0, quint64(entries.size()), m_refs.size()});
    // All keys first, then all values, as the format lays them out.
    for (const auto &entry : entries) {
        noteRef(entry.first);
        m_refs.push_back(entry.first);
    }
    for (const auto &entry : entries) {
        noteRef(entry.second);
        m_refs.push_back(entry.second);
    }
    return ref;
}

QByteArray BinaryPlistWriter::finish(Ref top)
{
    noteRef(top);
    const quint64 objectCount = m_offsets.size();
    const int refWidth = widthFor(std::max<quint64>(objectCount ? objectCount - 1 : 0, m_highestRef));

    // Containers go after the scalars; size the buffer once and fill it.
    size_t containerBytes = 0;
    for (const Container &c : m_containers) {
        const quint64 refs = c.marker == 0xD0 ? 2 * c.count : c.count;
        containerBytes += countedMarkerSize(c.count) + refs * size_t(refWidth);
    }
    const quint64 tableOffset = quint64(m_out.size()) + containerBytes;
    const int offsetWidth = widthFor(tableOffset);
    const size_t tableBytes = objectCount * size_t(offsetWidth);

    const qsizetype at = m_out.size();
    m_out.resize(qsizetype(tableOffset + tableBytes + 32));
    char *p = m_out.data() + at;
    for (const Container &c : m_containers) {
        m_offsets[c.ref] = quint64(p - m_out.data());
        p = putCountedMarker(p, c.marker, c.count);
        const quint64 refs = c.marker == 0xD0 ? 2 * c.count : c.count;
        for (quint64 i = 0; i < refs; ++i)
            p = putBigEndian(p, m_refs[c.firstRef + i], refWidth);
    }
    for (quint64 offset : m_offsets)
        p = putBigEndian(p, offset, offsetWidth);

    // Trailer: five unused bytes, the sort version, the two widths, then the
    // object count, the root and where the offset table starts.
    std::memset(p, 0, 6);
    p += 6;
    *p++ = char(offsetWidth);
    *p++ = char(refWidth);
    p = putBigEndian(p, objectCount, 8);
    p = putBigEndian(p, top, 8);
    putBigEndian(p, tableOffset, 8);

    m_containers.clear();
    m_refs.clear();
    m_offsets.clear();
    return std::exchange(m_out, QByteArray());
}

} // namespace quillcast
