#include "document/archive/BinaryPlist.h"

#include "document/archive/BinaryPlistValidator.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>

#include "document/archive/BigEndian.h"

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

constexpr int trailerSize = 32;


} // namespace

Result<BinaryPlist> BinaryPlist::parse(const QByteArray &bytes, const std::function<void()> &pagesRead)
{
    const Status checked = BinaryPlistValidator::validate(bytes, pagesRead);
    if (!checked)
        return Result<BinaryPlist>::failure(checked.error());
    return open(bytes);
}

Result<BinaryPlist> BinaryPlist::open(const QByteArray &bytes)
{
    const Status frame = BinaryPlistValidator::checkFrame(bytes);
    if (!frame)
        return Result<BinaryPlist>::failure(frame.error());
    auto file = std::make_unique<File>();
    file->bytes = bytes;
    file->data = reinterpret_cast<const uchar *>(file->bytes.constData());
    const uchar *trailer = file->data + bytes.size() - trailerSize;
    file->offsetWidth = trailer[6];
    file->refWidth = trailer[7];
    file->objectCount = qFromBigEndian<quint64>(trailer + 8);
    file->top = qFromBigEndian<quint64>(trailer + 16);
    file->tableOffset = qFromBigEndian<quint64>(trailer + 24);
    return BinaryPlist(std::move(file));
}

BinaryPlist::Node BinaryPlist::root() const
{
    return m_file->object(m_file->top);
}

BinaryPlist::Header BinaryPlist::header(const File *file, quint64 offset)
{
    Header h;
    if (!file)
        return h;
    const uchar *data = file->data;
    const quint64 end = file->tableOffset;
    quint64 p = offset + 1;
    const quint8 marker = data[offset];
    h.low = marker & 0x0F;
    const auto fits = [&](quint64 bytes) { return p <= end && bytes <= end - p; };
    switch (marker >> 4) {
    case 0x0:
        if (h.low == 0x8 || h.low == 0x9)
            h.kind = Kind::Bool;
        return h;
    case 0x1:
        if (h.low <= 4 && fits(1ULL << h.low))
            h.kind = Kind::Integer;
        // A 16-byte integer is read only when its high half is zero.
        if (h.low == 4 && h.kind == Kind::Integer && qFromBigEndian<quint64>(data + p) != 0)
            h.kind = Kind::Other;
        h.contentAt = p;
        return h;
    case 0x2:
        if ((h.low == 2 || h.low == 3) && fits(1ULL << h.low))
            h.kind = Kind::Real;
        h.contentAt = p;
        return h;
    case 0x3:
        if (h.low == 3 && fits(8))
            h.kind = Kind::Date;
        h.contentAt = p;
        return h;
    case 0x8:
        if (h.low <= 7 && fits(quint64(h.low) + 1))
            h.kind = Kind::Uid;
        h.contentAt = p;
        return h;
    case 0x4:
    case 0x5:
    case 0x6:
    case 0xA:
    case 0xD:
        break;
    default:
        return h;
    }

    quint64 count = quint64(h.low);
    if (h.low == 0x0F) {
        // The length follows as an integer object of 1, 2, 4 or 8 bytes.
        if (p >= end || (data[p] >> 4) != 0x1 || (data[p] & 0x0F) > 3)
            return h;
        const int width = 1 << (data[p] & 0x0F);
        ++p;
        if (!fits(quint64(width)))
            return h;
        count = readBigEndian(data + p, width);
        p += quint64(width);
    }
    Kind kind = Kind::Other;
    quint64 unit = 1;
    switch (marker >> 4) {
    case 0x4:
        kind = Kind::Data;
        break;
    case 0x5:
        kind = Kind::String;
        break;
    case 0x6:
        kind = Kind::String;
        unit = 2;
        break;
    case 0xA:
        kind = Kind::Array;
        unit = quint64(file->refWidth);
        break;
    default:
        kind = Kind::Dict;
        unit = 2 * quint64(file->refWidth);
        break;
    }
    if (count > (end - p) / unit || count > quint64(std::numeric_limits<qsizetype>::max()) / 2)
        return h;
    h.kind = kind;
    h.count = count;
    h.contentAt = p;
    return h;
}

BinaryPlist::Kind BinaryPlist::Node::kind() const
{
    return header(m_file, m_offset).kind;
}

bool BinaryPlist::Node::toBool() const
{
    const Header h = header(m_file, m_offset);
    return h.kind == Kind::Bool && h.low == 0x9;
}

qint64 BinaryPlist::Node::toInteger() const
{
    const Header h = header(m_file, m_offset);
    if (h.kind != Kind::Integer)
        return 0;
    const uchar *p = m_file->data + h.contentAt;
    // Of a 16-byte integer, the low half.
    if (h.low == 4)
        p += 8;
    return qint64(readBigEndian(p, 1 << std::min(h.low, 3)));
}

double BinaryPlist::Node::toReal() const
{
    const Header h = header(m_file, m_offset);
    if (h.kind != Kind::Real)
        return 0;
    const uchar *p = m_file->data + h.contentAt;
    if (h.low == 2) {
        const quint32 bits = qFromBigEndian<quint32>(p);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return double(f);
    }
    const quint64 bits = qFromBigEndian<quint64>(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

double BinaryPlist::Node::toDateSince2001() const
{
    const Header h = header(m_file, m_offset);
    if (h.kind != Kind::Date)
        return 0;
    const quint64 bits = qFromBigEndian<quint64>(m_file->data + h.contentAt);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

QString BinaryPlist::Node::toString() const
{
    const Header h = header(m_file, m_offset);
    if (h.kind != Kind::String)
        return QString();
    const uchar *p = m_file->data + h.contentAt;
    if ((m_file->data[m_offset] >> 4) == 0x5) {
        // One byte per character. Writers other than Apple's have been known
        // to put UTF-8 here; read as UTF-8, ASCII comes out the same.
        return QString::fromUtf8(reinterpret_cast<const char *>(p), qsizetype(h.count));
    }
    QString text(qsizetype(h.count), Qt::Uninitialized);
    qFromBigEndian<quint16>(p, qsizetype(h.count), text.data());
    return text;
}

bool BinaryPlist::Node::readString(QString &into) const
{
    const Header h = header(m_file, m_offset);
    if (h.kind != Kind::String) {
        into.clear();
        return false;
    }
    const uchar *p = m_file->data + h.contentAt;
    const qsizetype count = qsizetype(h.count);
    if ((m_file->data[m_offset] >> 4) == 0x5) {
        // ASCII widens byte by byte; anything else is read as UTF-8, as toString() does.
        if (std::any_of(p, p + count, [](uchar c) { return c >= 0x80; })) {
            into = QString::fromUtf8(reinterpret_cast<const char *>(p), count);
            return true;
        }
        into.resize(count);
        QChar *out = into.data();
        for (qsizetype i = 0; i < count; ++i)
            out[i] = QChar(char16_t(p[i]));
        return true;
    }
    into.resize(count);
    qFromBigEndian<quint16>(p, count, into.data());
    return true;
}

QByteArray BinaryPlist::Node::toData() const
{
    const Header h = header(m_file, m_offset);
    if (h.kind != Kind::Data)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(m_file->data + h.contentAt), qsizetype(h.count));
}

quint64 BinaryPlist::Node::toUid() const
{
    quint64 uid = 0;
    readUid(uid);
    return uid;
}

BinaryPlist::Items BinaryPlist::Node::items() const
{
    const Header h = header(m_file, m_offset);
    if (h.kind != Kind::Array)
        return Items();
    return Items(m_file, h.contentAt, size_t(h.count));
}

BinaryPlist::Node BinaryPlist::Node::value(const char *key) const
{
    const Header h = header(m_file, m_offset);
    if (h.kind != Kind::Dict)
        return Node();
    const quint64 width = quint64(m_file->refWidth);
    const size_t keyLength = std::strlen(key);
    QString wide; // the key as text, made at the first UTF-16 key of the file
    for (quint64 i = 0; i < h.count; ++i) {
        const Node name = m_file->objectAt(h.contentAt + i * width);
        if (name.isNull())
            continue;
        const Header nh = header(m_file, name.m_offset);
        if (nh.kind != Kind::String)
            continue;
        bool same = false;
        if ((m_file->data[name.m_offset] >> 4) == 0x5) {
            same = nh.count == keyLength && std::memcmp(m_file->data + nh.contentAt, key, keyLength) == 0;
        } else {
            if (wide.isNull())
                wide = QString::fromUtf8(key, qsizetype(keyLength));
            same = nh.count == quint64(wide.size()) && name.toString() == wide;
        }
        if (same)
            return m_file->objectAt(h.contentAt + (h.count + i) * width);
    }
    return Node();
}

void BinaryPlist::Node::lookUp(const char *const *keys, const size_t *lengths, Node *out, size_t count) const
{
    for (size_t k = 0; k < count; ++k)
        out[k] = Node();
    // Like value(), the first key that matches decides, even when its value
    // is missing.
    bool matched[maxLookUp] = {};
    const Header h = header(m_file, m_offset);
    if (h.kind != Kind::Dict)
        return;
    const quint64 width = quint64(m_file->refWidth);
    size_t found = 0;
    for (quint64 i = 0; i < h.count && found < count; ++i) {
        const Node name = m_file->objectAt(h.contentAt + i * width);
        if (name.isNull())
            continue;
        const Header nh = header(m_file, name.m_offset);
        if (nh.kind != Kind::String)
            continue;
        const bool oneByte = (m_file->data[name.m_offset] >> 4) == 0x5;
        QString wide; // a UTF-16 key as text, made once
        for (size_t k = 0; k < count; ++k) {
            if (matched[k])
                continue; // the first of duplicate keys wins
            bool same = false;
            if (oneByte) {
                same = nh.count == lengths[k] && std::memcmp(m_file->data + nh.contentAt, keys[k], lengths[k]) == 0;
            } else {
                if (wide.isNull())
                    wide = name.toString();
                same = wide == QString::fromUtf8(keys[k], qsizetype(lengths[k]));
            }
            if (same) {
                out[k] = m_file->objectAt(h.contentAt + (h.count + i) * width);
                matched[k] = true;
                ++found;
                break;
            }
        }
    }
}

std::vector<std::pair<QString, BinaryPlist::Node>> BinaryPlist::Node::entries() const
{
    std::vector<std::pair<QString, Node>> out;
    const Header h = header(m_file, m_offset);
    if (h.kind != Kind::Dict)
        return out;
    const quint64 width = quint64(m_file->refWidth);
    out.reserve(size_t(h.count));
    for (quint64 i = 0; i < h.count; ++i) {
        const Node name = m_file->objectAt(h.contentAt + i * width);
        const Node item = m_file->objectAt(h.contentAt + (h.count + i) * width);
        if (item.isNull())
            continue;
        out.emplace_back(name.toString(), item);
    }
    return out;
}

} // namespace quillcast
