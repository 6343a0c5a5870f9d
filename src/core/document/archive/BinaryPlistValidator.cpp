#include "document/archive/BinaryPlistValidator.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "document/archive/BigEndian.h"

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

constexpr qsizetype headerSize = 8; // "bplist00"
constexpr qsizetype trailerSize = 32;
// Objects or offsets between two calls of pagesRead: some 5 MB of a
// mailing's file.
constexpr quint64 kStretch = (quint64(1) << 18) - 1;


quint64 saturated(quint64 v, quint64 limit)
{
    return std::min(v, limit + 1);
}

QString damaged(const QString &detail)
{
    return u"damaged binary property list ("_s + detail + u')';
}

} // namespace

BinaryPlistValidator::BinaryPlistValidator(QByteArrayView bytes, const PagesRead &pagesRead)
    : m_bytes(bytes), m_pagesRead(pagesRead), m_data(reinterpret_cast<const uchar *>(bytes.data()))
{
}

Status BinaryPlistValidator::run()
{
    if (auto error = readTrailer())
        return Status::failure(*error);
    if (auto error = checkOffsets())
        return Status::failure(*error);
    if (auto error = walk())
        return Status::failure(*error);
    return success();
}

std::optional<QString> BinaryPlistValidator::readTrailer()
{
    const qsizetype size = m_bytes.size();
    const uchar *trailer = m_data + size - trailerSize;
    m_offsetWidth = trailer[6];
    m_refWidth = trailer[7];
    m_objectCount = readBigEndian(trailer + 8, 8);
    m_top = readBigEndian(trailer + 16, 8);
    m_tableOffset = readBigEndian(trailer + 24, 8);

    const quint64 room = quint64(size - trailerSize);
    if (m_offsetWidth < 1 || m_offsetWidth > 8 || m_refWidth < 1 || m_refWidth > 8 || m_objectCount == 0
        || m_tableOffset < quint64(headerSize) || m_tableOffset > room
        || m_objectCount > (room - m_tableOffset) / quint64(m_offsetWidth)
        || m_tableOffset + m_objectCount * quint64(m_offsetWidth) != room)
        return u"truncated or damaged binary property list"_s;
    if (m_top >= m_objectCount)
        return damaged(u"the root is object %1 of %2"_s.arg(m_top).arg(m_objectCount));
    return std::nullopt;
}

std::optional<QString> BinaryPlistValidator::checkOffsets()
{
    // The offsets themselves: each object starts after the header and before the table.
    const uchar *table = m_data + m_tableOffset;
    for (quint64 i = 0; i < m_objectCount; ++i) {
        if ((i & kStretch) == kStretch && m_pagesRead)
            m_pagesRead();
        const quint64 offset = readBigEndian(table + i * quint64(m_offsetWidth), m_offsetWidth);
        if (offset < quint64(headerSize) || offset >= m_tableOffset)
            return damaged(u"object %1 lies outside the file"_s.arg(i));
    }
    return std::nullopt;
}

bool BinaryPlistValidator::readObject(quint32 index, Object &out) const
{
    // The same checks as parseObject(), without its messages: the walk
    // reads every object through here and asks parseObject() why only when
    // this refuses one.
    const quint64 offset = readBigEndian(m_data + m_tableOffset + index * quint64(m_offsetWidth), m_offsetWidth);
    const quint64 end = m_tableOffset;
    quint64 p = offset + 1;
    const quint8 marker = m_data[offset];
    const int low = marker & 0x0F;
    out = Object{Kind(marker >> 4)};
    switch (marker >> 4) {
    case Bool:
        return low == 0x8 || low == 0x9;
    case Int:
        return low <= 4 && p + (1ULL << low) <= end;
    case Real:
        return (low == 2 || low == 3) && p + (1ULL << low) <= end;
    case Date:
        return low == 3 && p + 8 <= end;
    case Uid:
        return low <= 7 && p + quint64(low) + 1 <= end;
    case Data:
    case Ascii:
    case Utf16:
    case Array:
    case Dict: {
        quint64 count = quint64(low);
        if (low == 0x0F) {
            if (p >= end || (m_data[p] >> 4) != Int || (m_data[p] & 0x0F) > 3)
                return false;
            const int width = 1 << (m_data[p] & 0x0F);
            if (p + 1 + quint64(width) > end)
                return false;
            count = readBigEndian(m_data + p + 1, width);
            p += 1 + quint64(width);
        }
        const quint64 unit = out.kind == Utf16 ? 2 : out.kind == Array ? quint64(m_refWidth)
                                                 : out.kind == Dict    ? 2 * quint64(m_refWidth)
                                                                       : 1;
        if (count > (end - p) / unit)
            return false;
        out.count = count;
        out.contentAt = p;
        return true;
    }
    default:
        return false;
    }
}

std::optional<QString> BinaryPlistValidator::parseObject(quint32 index, Object &out) const
{
    const quint64 offset = readBigEndian(m_data + m_tableOffset + index * quint64(m_offsetWidth), m_offsetWidth);
    const quint64 end = m_tableOffset;
    quint64 p = offset;
    const quint8 marker = m_data[p++];
    const int low = marker & 0x0F;
    const auto outOfRoom = [&] { return damaged(u"object %1 runs past the end of the objects"_s.arg(index)); };

    out = Object{Kind(marker >> 4)};
    switch (marker >> 4) {
    case Bool:
        if (low != 0x8 && low != 0x9)
            break;
        return std::nullopt;
    case Int:
    case Real:
    case Date: {
        const bool known = (out.kind == Int && low <= 4) || (out.kind == Real && (low == 2 || low == 3))
                           || (out.kind == Date && low == 3);
        if (!known)
            break;
        if (p + (1ULL << low) > end)
            return outOfRoom();
        return std::nullopt;
    }
    case Uid:
        if (low > 7)
            break;
        if (p + quint64(low) + 1 > end)
            return outOfRoom();
        return std::nullopt;
    case Data:
    case Ascii:
    case Utf16:
    case Array:
    case Dict: {
        quint64 count = quint64(low);
        if (low == 0x0F) {
            // The length follows as an integer object of 1, 2, 4 or 8 bytes.
            if (p >= end || (m_data[p] >> 4) != Int || (m_data[p] & 0x0F) > 3)
                return damaged(u"object %1 has a malformed length"_s.arg(index));
            const int width = 1 << (m_data[p] & 0x0F);
            if (p + 1 + quint64(width) > end)
                return outOfRoom();
            count = readBigEndian(m_data + p + 1, width);
            p += 1 + quint64(width);
        }
        const quint64 room = end - p;
        quint64 unit = 1;
        if (out.kind == Utf16)
            unit = 2;
        else if (out.kind == Array)
            unit = quint64(m_refWidth);
        else if (out.kind == Dict)
            unit = 2 * quint64(m_refWidth);
        if (count > room / unit)
            return outOfRoom();
        out.count = count;
        out.contentAt = p;
        return std::nullopt;
    }
    default:
        break;
    }
    return damaged(u"object %1 has the unknown type 0x%2"_s.arg(index).arg(marker, 2, 16, QLatin1Char('0')));
}

quint32 BinaryPlistValidator::finished(const Frame &done)
{
    // Most containers (a record, its keys and its values) expand to a few
    // nodes: their expansion fits in the state word itself.
    if (done.nodes <= Inline::maxNodes && done.payload <= Inline::maxPayload && quint32(done.height) <= Inline::maxHeight)
        return Inline::flag | quint32(done.height) << Inline::heightShift | quint32(done.payload) << Inline::payloadShift
               | quint32(done.nodes);
    m_done.push_back({quint32(std::min<quint64>(done.nodes, 0xFFFFFFFFu)),
                      quint32(std::min<quint64>(done.payload, 0xFFFFFFFFu)), quint8(done.height)});
    return quint32(m_done.size() - 1) + FirstDone;
}

std::optional<QString> BinaryPlistValidator::walk()
{
    // One node per byte of the file is far more than any writer produces:
    // without sharing, the tree has one node per reference.
    const quint64 nodeLimit = quint64(m_bytes.size());
    const quint64 payloadLimit = 4 * quint64(m_bytes.size()) + 4096;
    const QString tooShared = damaged(u"shared objects would expand beyond the size of the file"_s);

    m_state.assign(m_objectCount, Unvisited);
    m_done.clear();

    std::vector<Frame> stack;
    stack.reserve(size_t(maxNesting) + 1);
    // Dictionary keys found to be strings, by object number + 1.
    std::array<quint64, 16> keysChecked{};
    // A container parsed already comes with its object.
    const auto enter = [&](quint32 index, const Object *parsed) -> std::optional<QString> {
        if (stack.size() >= size_t(maxNesting))
            return u"nesting deeper than %1 levels"_s.arg(maxNesting);
        Frame frame;
        frame.index = index;
        if (parsed)
            frame.object = *parsed;
        else if (!readObject(index, frame.object)) {
            if (auto error = parseObject(index, frame.object))
                return error;
        }
        frame.refs = refsOf(frame.object);
        frame.payload = payloadOf(frame.object);
        m_state[index] = InProgress;
        stack.push_back(frame);
        return std::nullopt;
    };
    const auto absorb = [&](Frame &parent, quint64 nodes, quint64 payload, int height) -> bool {
        parent.nodes = saturated(parent.nodes + nodes, nodeLimit);
        parent.payload = saturated(parent.payload + payload, payloadLimit);
        parent.height = std::max(parent.height, height + 1);
        return parent.nodes <= nodeLimit && parent.payload <= payloadLimit;
    };

    if (auto error = enter(quint32(m_top), nullptr))
        return error;
    quint64 steps = 0;
    while (!stack.empty()) {
        if ((++steps & kStretch) == 0 && m_pagesRead)
            m_pagesRead();
        Frame &frame = stack.back();
        if (frame.nextRef < frame.refs) {
            const quint64 slot = frame.nextRef++;
            const quint64 child = readBigEndian(m_data + frame.object.contentAt + slot * quint64(m_refWidth), m_refWidth);
            if (child >= m_objectCount)
                return damaged(u"object %1 refers to object %2 of %3"_s.arg(frame.index).arg(child).arg(m_objectCount));
            const quint32 c = quint32(child);
            Object child_;
            bool parsed = false;
            if (frame.object.kind == Dict && slot < frame.object.count) {
                // Every record repeats the same few keys: each is checked once.
                quint64 &checkedKey = keysChecked[c % keysChecked.size()];
                if (checkedKey != child + 1) {
                    if (!readObject(c, child_)) {
                        if (auto error = parseObject(c, child_))
                            return error;
                    }
                    if (child_.kind != Ascii && child_.kind != Utf16)
                        return damaged(u"dictionary %1 has a key that is not a string"_s.arg(frame.index));
                    checkedKey = child + 1;
                    parsed = true;
                }
            }
            if (m_state[c] == InProgress)
                return damaged(u"object %1 contains itself"_s.arg(c));
            if (m_state[c] >= FirstDone) {
                const Expansion e = doneOf(m_state[c]);
                if (!absorb(frame, e.nodes, e.payload, e.height))
                    return tooShared;
                continue;
            }
            // A key is a string, parsed above already.
            if (!parsed && !readObject(c, child_)) {
                if (auto error = parseObject(c, child_))
                    return error;
            }
            if (child_.kind == Array || child_.kind == Dict) {
                if (auto error = enter(c, &child_))
                    return error;
                continue;
            }
            // Scalars cannot refer to anything; count them on the spot, and
            // keep their count in their state word, so that a shared one (a
            // key, a class reference, a common number) is not read again.
            const quint64 payload = payloadOf(child_);
            if (!absorb(frame, 1, payload, 1))
                return tooShared;
            if (payload <= Inline::maxPayload)
                m_state[c] = Inline::flag | quint32(1) << Inline::heightShift | quint32(payload) << Inline::payloadShift | 1;
            continue;
        }
        // Every reference of this container is checked: record what it expands to.
        const Frame done = frame;
        stack.pop_back();
        m_state[done.index] = finished(done);
        if (!stack.empty() && !absorb(stack.back(), done.nodes, done.payload, done.height))
            return tooShared;
    }
    return std::nullopt;
}

Status BinaryPlistValidator::checkFrame(QByteArrayView bytes)
{
    if (const Status start = checkStart(bytes); !start)
        return start;
    const PagesRead none;
    BinaryPlistValidator validator(bytes, none);
    if (auto error = validator.readTrailer())
        return Status::failure(*error);
    return success();
}

Status BinaryPlistValidator::validate(QByteArrayView bytes, const PagesRead &pagesRead)
{
    if (const Status start = checkStart(bytes); !start)
        return start;
    return BinaryPlistValidator(bytes, pagesRead).run();
}

Status BinaryPlistValidator::checkStart(QByteArrayView bytes)
{
    const QByteArrayView magic("bplist");
    if (!bytes.startsWith(magic)) {
        const QByteArrayView start = bytes.first(std::min<qsizetype>(bytes.size(), 64)).trimmed();
        if (start.startsWith("<?xml") || start.startsWith("<plist") || start.startsWith("<!DOCTYPE plist"))
            return Status::failure(u"an XML property list, not a binary one"_s);
        return Status::failure(u"not a binary property list"_s);
    }
    if (bytes.size() < headerSize + trailerSize + 1)
        return Status::failure(u"truncated or damaged binary property list"_s);
    if (!bytes.startsWith("bplist00"))
        return Status::failure(u"unsupported binary property list version"_s);
    return success();
}

} // namespace quillcast
