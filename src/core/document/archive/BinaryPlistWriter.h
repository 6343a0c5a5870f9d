#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

#include <span>
#include <utility>
#include <vector>

namespace quillcast {

// Encodes a binary property list ("bplist00") one object at a time.
//
// Every call adds one object and returns its index, the reference other
// objects use for it; nothing is shared unless the caller passes the same
// reference twice, so deciding what to share is the caller's business.
// Scalars are encoded as they are added. Arrays and dictionaries keep their
// references until finish(): only then is the number of objects, and with it
// the width of a reference, known.
//
// libplist 2.2 can write binary property lists too, but it looks up every
// node in a hash table of 4096 fixed buckets, which makes saving a mailing of
// ten thousand records take seconds and one of a hundred thousand minutes.
// This encoder is linear; what it writes is read back with libplist.
//
// References are written as given and not checked, so that tests can build
// damaged files with the same encoder.
class BinaryPlistWriter
{
public:
    using Ref = quint32;

    BinaryPlistWriter();

    Ref boolean(bool b);
    Ref integer(qint64 i); // negative numbers as eight bytes, others in the fewest of 1, 2, 4, 8
    Ref real(double r); // always as a 64-bit real
    Ref date(double secondsSince2001);
    Ref string(QStringView s); // ASCII when every character is in 1..127, UTF-16 otherwise
    Ref data(QByteArrayView bytes);
    Ref uid(quint32 value);
    Ref array(std::span<const Ref> items);
    Ref dict(std::span<const std::pair<Ref, Ref>> entries); // keys should be strings

    qsizetype objectCount() const { return qsizetype(m_offsets.size()); }

    // The whole property list with `top` as its root object. The writer is
    // spent afterwards.
    QByteArray finish(Ref top);

private:
    struct Container
    {
        Ref ref;
        quint8 marker; // 0xA0 array or 0xD0 dictionary
        quint64 count; // entries (pairs for a dictionary)
        size_t firstRef; // index into m_refs
    };

    Ref startScalar();
    void appendCountedMarker(quint8 marker, quint64 count);
    void appendBigEndian(quint64 v, int bytes);
    void noteRef(Ref r);

    QByteArray m_out;
    std::vector<quint64> m_offsets; // per object; containers get theirs in finish()
    std::vector<Container> m_containers;
    std::vector<Ref> m_refs;
    Ref m_highestRef = 0;
};

} // namespace quillcast
