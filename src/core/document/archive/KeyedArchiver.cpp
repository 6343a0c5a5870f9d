#include "document/archive/KeyedArchiver.h"

#include "document/archive/ChunkedVector.h"
#include "document/archive/FlatUidTable.h"
#include "document/archive/KeyedUnarchiver.h"
#include "document/archive/PlistEncoding.h"
#include "document/archive/RisingNumbers.h"
#include "document/archive/UidRefTable.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <thread>

using namespace Qt::StringLiterals;

namespace quillcast {

using namespace plist;

namespace {

// Milliseconds from the Unix epoch to the platform's reference date, 2001-01-01 UTC.
constexpr qint64 referenceDateMSecs = 978307200000LL;

// Lists shorter than this are not worth a thread.
constexpr size_t splitMinimum = 8192;

// The second thread of the count starts from a copy of what was counted
// before the list it shares: worth it only while that is small (a mailing's
// records are met first of all).
constexpr size_t forkCopyLimit = 65536;

// NS.time of a date, when it has one the reader accepts: invalid dates and
// dates hundreds of millennia away have none.
std::optional<double> referenceSeconds(const QDateTime &d)
{
    if (!d.isValid())
        return std::nullopt;
    const qint64 msecs = d.toMSecsSinceEpoch();
    // A second inside the limit, so that rounding never puts it outside.
    if (std::abs(double(msecs) / 1000.0 - double(referenceDateMSecs / 1000)) > KeyedUnarchiver::maxDateSeconds - 1)
        return std::nullopt;
    return double(msecs - referenceDateMSecs) / 1000.0;
}

// A value that is written as nothing at all.
bool isAbsent(const Value &v)
{
    return v.isNull() || (v.type() == Value::Type::Date && !referenceSeconds(v.toDateTime()));
}

// Integers as a binary property list stores them: readers take 1, 2 and 4
// byte integers as unsigned and 8 byte ones as signed, so a negative number
// always needs all eight.
int integerWidth(qint64 i)
{
    return i < 0 ? 8 : widthFor(quint64(i));
}

// ASCII strings are stored a byte a character, others as UTF-16. NUL goes
// the UTF-16 way as well: libplist 2.2 cuts an ASCII string at its first NUL
// byte, but keeps the full length of a UTF-16 one.
bool storedAsAscii(QStringView s)
{
    const char16_t *p = s.utf16();
    const char16_t *end = p + s.size();
    // Eight characters at a time: the common case is a long run of ASCII.
    for (; end - p >= 4; p += 4) {
        quint64 word;
        std::memcpy(&word, p, sizeof word);
        // Any character above 0x7F, or 0.
        if ((word & 0xFF80FF80FF80FF80ULL) != 0)
            return false;
        if (((word - 0x0001000100010001ULL) & ~word & 0x8000800080008000ULL) != 0)
            return false;
    }
    for (; p != end; ++p) {
        if (char16_t(*p - 1u) >= 0x7Fu)
            return false;
    }
    return true;
}

char *putRefs(char *p, std::span<const quint32> refs, int width)
{
    switch (width) {
    case 1:
        for (quint32 r : refs)
            *p++ = char(r);
        break;
    case 2:
        for (quint32 r : refs) {
            qToBigEndian(quint16(r), p);
            p += 2;
        }
        break;
    default:
        for (quint32 r : refs) {
            qToBigEndian(r, p);
            p += 4;
        }
        break;
    }
    return p;
}

size_t stringSize(QStringView s, bool ascii)
{
    return countedMarkerSize(quint64(s.size())) + size_t(s.size()) * (ascii ? 1 : 2);
}

// Bytes in memory, for archive() to a QByteArray.
class MemoryOutput final : public ArchiveOutput
{
public:
    bool begin(quint64 size) override
    {
        if (size > quint64(std::numeric_limits<qsizetype>::max()))
            return false;
        bytes = QByteArray(qsizetype(size), Qt::Uninitialized);
        return true;
    }
    bool writeAt(quint64 offset, const char *data, size_t size) override
    {
        std::memcpy(bytes.data() + offset, data, size);
        return true;
    }
    QByteArray bytes;
};

} // namespace

// What the counting walk learns and the writing walks read (never change).
struct KeyedArchiver::Plan
{
    FlatUidTable containers; // by identity
    // Numbers: those met in rising order (a record number, typically) in
    // a list of their own, which needs no look-up for the next one; the
    // others in the table, with the range it holds.
    RisingNumbers rising;
    FlatUidTable integers;
    qint64 integersLow = std::numeric_limits<qint64>::max();
    qint64 integersHigh = std::numeric_limits<qint64>::min();
    FlatUidTable reals; // by bit pattern
    std::optional<Uid> knownInteger(qint64 i) const;
    void addInteger(qint64 i, Uid uid);
    QHash<QString, Uid> keys; // dictionary keys
    Uid emptyString = 0;
    Uid booleans[2] = {0, 0};
    QHash<QString, Uid> classes;
    QHash<QString, Ref> fixedStrings; // keys and class names
    // By UID: its reference object, when it may be referred to again (noRef
    // until the first reference). The object itself is not kept: the writing
    // walks put it in $objects as they write it.
    UidRefTable slots;
    struct SlotPlace
    {
        UidRefTable &table;
        size_t index;
    };
    SlotPlace slot(Uid u)
    {
        if (u < apartStart)
            return {slots, u};
        if (u < apartEnd)
            return {apartSlots, u - apartShift};
        return {slots, u - (apartEnd - apartStart)};
    }
    // The writing walks read what each look-up found (foundBits) and never
    // look up again: the tables the counting looked up in go before them,
    // some 30 MB for a million records, more than the writing's pieces take.
    void dropLookUpTables()
    {
        containers = FlatUidTable();
        apartContainers = FlatUidTable();
        integers = FlatUidTable();
        reals = FlatUidTable();
        rising = RisingNumbers();
    }
    std::optional<Uid> knownContainer(quint64 identity) const
    {
        if (const FlatUidTable::Entry *e = containers.find(identity))
            return e->uid;
        if (apartEnd != 0) {
            if (const FlatUidTable::Entry *e = apartContainers.find(identity))
                return e->uid < apartFork ? e->uid : e->uid + apartShift;
        }
        return std::nullopt;
    }
    // The second half of the split list, when it was counted apart (see
    // joinSecondHalf): its slots and containers stay in the tables it was
    // counted in, under its own numbers (slots renumbered in place), which
    // are apartShift below their numbers in the archive. Its UIDs are
    // apartStart to apartEnd; the slots of those after it follow the first
    // half's in `slots`.
    Uid apartStart = std::numeric_limits<Uid>::max();
    Uid apartEnd = 0;
    Uid apartShift = 0;
    Uid apartFork = 0; // its own first number
    UidRefTable apartSlots;
    FlatUidTable apartContainers;
    // In the order they were met: what the writing walks read.
    // (Deques, so that what a walk holds stays where it is while it grows.)
    std::deque<Dict::Snapshot> dicts;
    std::deque<List::Snapshot> lists;
    // The positions of dicts[0] and lists[0] in the walk: not 0 for the
    // plan of the second half while it is counted apart.
    size_t dictsBase = 0;
    size_t listsBase = 0;
    // What every look-up of a shared object (container, number) found, in
    // the order they were made: the writing walks read them in turn instead
    // of looking up again, which for a million records would cost a cache
    // miss each. A bit a look-up, set when it found an object met before,
    // and the slots of those; one that found nothing numbered the next.
    ChunkedVector<quint64> foundBits;
    size_t lookUps = 0;
    ChunkedVector<Uid> foundBefore;
    void addLookUp(bool foundSomething)
    {
        const size_t n = lookUps++;
        if (n % 64 == 0)
            foundBits.push_back(0);
        if (foundSomething)
            foundBits.back() |= quint64(1) << (n % 64);
    }
    bool lookUpFound(size_t n) const { return (foundBits[n / 64] >> (n % 64)) & 1; }

    // The list written in two halves, by its place in `lists`: where each
    // half starts, where the second ends, and the slots of all its items.
    std::optional<size_t> splitList;
    size_t splitAt = 0;
    int splitDepth = 0;
    Position secondHalf;
    Position afterItems;
    std::vector<Uid> splitItems;

    // The layout, once counted.
    Position end;
    Ref top = 0;
    int refWidth = 0;
    int offsetWidth = 0;
    quint64 containerStart = 0;
    quint64 tableOffset = 0;
    quint64 size = 0;
    // Where the references of $objects start: their markers and references
    // before them as counted, then in the file.
    quint64 objectsMarkerBytes = 0;
    quint64 objectsRefsBefore = 0;
    quint64 objectsStart = 0;
    bool failed = false; // the output refused a write
    int threads = 1;
};

std::optional<KeyedArchiver::Uid> KeyedArchiver::Plan::knownInteger(qint64 i) const
{
    if (const std::optional<Uid> uid = rising.find(i))
        return uid;
    if (i >= integersLow && i <= integersHigh) {
        if (const FlatUidTable::Entry *e = integers.find(quint64(i)))
            return e->uid;
    }
    return std::nullopt;
}

void KeyedArchiver::Plan::addInteger(qint64 i, Uid uid)
{
    if (rising.empty() || i > rising.back()) {
        rising.push(i, uid);
        return;
    }
    integers.add(quint64(i), uid);
    integersLow = std::min(integersLow, i);
    integersHigh = std::max(integersHigh, i);
}

// The bytes of one part of the archive (the scalars, the containers or the
// offset table) as a walk writes them, in pieces at their places.
class KeyedArchiver::Stream
{
public:
    Stream(ArchiveOutput &output, bool &failed, quint64 archiveSize)
        : m_output(output), m_failed(failed),
          m_pieceSize(archiveSize >= hugePiecesFrom ? hugePieceSize : smallPieceSize),
          m_capacity(m_pieceSize + m_pieceSize / 8), m_buffer(std::make_unique_for_overwrite<char[]>(m_capacity))
    {
    }

    void seek(quint64 offset)
    {
        flush();
        m_start = offset;
    }
    // Room for size bytes, counted as written.
    char *take(size_t size)
    {
        if (m_used + size > m_capacity) {
            flushToBoundary();
            if (m_used + size > m_capacity)
                flush();
            if (size > m_capacity) {
                m_capacity = size;
                m_buffer = std::make_unique_for_overwrite<char[]>(m_capacity);
            }
        }
        char *p = m_buffer.get() + m_used;
        m_used += size;
        return p;
    }
    // Bytes at an offset already taken: into the buffer while they are still
    // in it, else straight to the output.
    void overwrite(quint64 offset, const char *data, size_t size)
    {
        if (offset >= m_start && offset + size <= m_start + m_used) {
            std::memcpy(m_buffer.get() + (offset - m_start), data, size);
            return;
        }
        if (!m_failed && !m_output.writeAt(offset, data, size))
            m_failed = true;
    }
    bool flush()
    {
        if (m_used > 0 && !m_failed && !m_output.writeAt(m_start, m_buffer.get(), m_used))
            m_failed = true;
        m_start += m_used;
        m_used = 0;
        return !m_failed;
    }

private:
    // Pieces go out as whole stretches of the file at multiples of their
    // size, wherever a stream is long enough. In a large archive they are
    // 2 MiB, a huge page's size: the system then caches the file in huge
    // pages, which a later open maps in one step each and reads through far
    // fewer address translations (while it stays in the cache, a mailing of
    // a million records opens in 0.75 s rather than 0.92 s). A smaller
    // archive opens quickly anyway, and eight such pieces at once would take
    // more memory than they are worth.
    static constexpr size_t hugePieceSize = 2 * 1024 * 1024;
    static constexpr quint64 hugePiecesFrom = 32 * 1024 * 1024;
    static constexpr size_t smallPieceSize = 256 * 1024;

    // Writes the buffer up to the last multiple of m_pieceSize it reaches, and
    // keeps the rest; nothing when it reaches none.
    void flushToBoundary()
    {
        const quint64 end = m_start + m_used;
        const quint64 boundary = end / m_pieceSize * m_pieceSize;
        if (boundary <= m_start || m_failed)
            return;
        const size_t head = size_t(boundary - m_start);
        if (!m_output.writeAt(m_start, m_buffer.get(), head)) {
            m_failed = true;
            return;
        }
        std::memmove(m_buffer.get(), m_buffer.get() + head, m_used - head);
        m_used -= head;
        m_start = boundary;
    }

    ArchiveOutput &m_output;
    bool &m_failed; // this thread's, so that threads share no flag
    const size_t m_pieceSize;
    // With room beyond a piece for what is taken past its end, kept for the
    // next (a longer take goes out on its own). Not cleared first: every
    // byte is written before it goes out.
    size_t m_capacity;
    std::unique_ptr<char[]> m_buffer;
    quint64 m_start = 0;
    size_t m_used = 0;
};

KeyedArchiver::KeyedArchiver(Plan &plan, ArchiveOutput *output)
    : m_plan(plan),
      m_writing(output != nullptr),
      // One per level, made up front so that a level's list stays where it
      // is while deeper levels are written.
      m_uidScratch(size_t(KeyedUnarchiver::maxDepth) + 2),
      m_refScratch(size_t(KeyedUnarchiver::maxDepth) + 2)
{
    if (output) {
        m_scalars = std::make_unique<Stream>(*output, m_streamFailed, m_plan.size);
        m_containers = std::make_unique<Stream>(*output, m_streamFailed, m_plan.size);
        m_table = std::make_unique<Stream>(*output, m_streamFailed, m_plan.size);
        m_objects = std::make_unique<Stream>(*output, m_streamFailed, m_plan.size);
    }
}

KeyedArchiver::~KeyedArchiver() = default;

int KeyedArchiver::defaultThreads()
{
    return std::thread::hardware_concurrency() > 1 ? 2 : 1;
}

QString KeyedArchiver::outputFailure()
{
    return u"the archive could not be written"_s;
}

Result<QByteArray> KeyedArchiver::archive(const Value &root, int threads)
{
    MemoryOutput output;
    if (const Status status = run(root, output, threads); !status)
        return Result<QByteArray>::failure(status.error());
    return std::move(output.bytes);
}

Status KeyedArchiver::archive(const Value &root, ArchiveOutput &output, int threads)
{
    return run(root, output, threads);
}

Status KeyedArchiver::run(const Value &root, ArchiveOutput &output, int threads)
{
    if (!root.isDict())
        return Status::failure(u"the root must be a dictionary"_s);

    Plan plan;
    plan.threads = threads;
    {
        // The first walk: numbers and sizes.
        KeyedArchiver counting(plan, nullptr);
        const Uid rootUid = counting.encodeRoot(root);
        if (!counting.m_error.isEmpty())
            return Status::failure(counting.m_error);
        counting.finishRoot(rootUid);
        plan.end = counting.m_at;
    }
    plan.dropLookUpTables();

    const quint64 objectCount = plan.end.ref;
    plan.refWidth = widthFor(objectCount - 1);
    plan.containerStart = 8 + plan.end.scalarBytes;
    plan.tableOffset = plan.containerStart + plan.end.markerBytes + plan.end.containerRefs * quint64(plan.refWidth);
    plan.offsetWidth = widthFor(plan.tableOffset);
    plan.size = plan.tableOffset + objectCount * quint64(plan.offsetWidth) + 32;
    plan.objectsStart = plan.containerStart + plan.objectsMarkerBytes + plan.objectsRefsBefore * quint64(plan.refWidth);
    if (!output.begin(plan.size))
        return Status::failure(outputFailure());

    // The second walk writes; the second half of the split list on a
    // thread of its own.
    KeyedArchiver writing(plan, &output);
    std::unique_ptr<KeyedArchiver> second;
    std::thread helper;
    if (threads > 1 && plan.splitList) {
        second.reset(new KeyedArchiver(plan, &output));
        helper = std::thread([&] { second->encodeSplitHalf(); });
    } else {
        plan.splitList.reset();
    }
    writing.startStreams();
    const Uid rootUid = writing.encodeRoot(root);
    writing.finishRoot(rootUid);

    // The trailer: five unused bytes, the sort version, the two widths, then
    // the object count, the root and where the offset table starts.
    std::array<char, 32> trailer{};
    char *p = trailer.data() + 6;
    *p++ = char(plan.offsetWidth);
    *p++ = char(plan.refWidth);
    p = putBigEndian(p, objectCount, 8);
    p = putBigEndian(p, plan.top, 8);
    putBigEndian(p, plan.tableOffset, 8);
    bool written = writing.flushStreams();
    if (written)
        written = output.writeAt(0, "bplist00", 8) && output.writeAt(plan.size - 32, trailer.data(), 32);
    if (helper.joinable()) {
        helper.join();
        written = written && !second->m_streamFailed;
        // Both walks replay the first one; a difference would be a bug that
        // must not reach the disk as a damaged file.
        if (second->m_at != plan.afterItems)
            return Status::failure(u"the archive's second half did not come out as counted"_s);
    }
    const quint64 objectsPut = writing.m_objectsPut + (second ? second->m_objectsPut : 0);
    if (writing.m_at != plan.end || objectsPut != plan.end.uid)
        return Status::failure(u"the archive did not come out as counted"_s);
    if (!written)
        return Status::failure(outputFailure());
    return success();
}

KeyedArchiver::Uid KeyedArchiver::encodeRoot(const Value &root)
{
    const Ref null = string(u"$null");
    setObject(newSlot(Referred::maybeAgain), null);
    return encode(root, 1);
}

void KeyedArchiver::finishRoot(Uid rootUid)
{
    const Ref objects = objectsArray();
    const std::array<Ref, 2> topEntries{fixedString(u"root"_s), uidRef(rootUid)};
    const Ref top = dict(topEntries);
    std::array<Ref, 8> rootEntries;
    rootEntries[0] = fixedString(u"$archiver"_s);
    rootEntries[4] = fixedString(u"NSKeyedArchiver"_s);
    rootEntries[1] = fixedString(u"$objects"_s);
    rootEntries[5] = objects;
    rootEntries[2] = fixedString(u"$top"_s);
    rootEntries[6] = top;
    rootEntries[3] = fixedString(u"$version"_s);
    rootEntries[7] = integer(100000);
    m_plan.top = dict(rootEntries);
}

void KeyedArchiver::startStreams()
{
    if (!m_writing)
        return;
    m_scalars->seek(8 + m_at.scalarBytes);
    m_containers->seek(m_plan.containerStart + m_at.markerBytes + m_at.containerRefs * quint64(m_plan.refWidth));
    m_table->seek(m_plan.tableOffset + m_at.ref * quint64(m_plan.offsetWidth));
    m_objects->seek(m_plan.objectsStart + quint64(m_at.uid) * quint64(m_plan.refWidth));
    m_objectsNext = m_at.uid;
}

bool KeyedArchiver::flushStreams()
{
    if (!m_writing)
        return true;
    m_scalars->flush();
    m_containers->flush();
    m_table->flush();
    m_objects->flush();
    return !m_streamFailed;
}

void KeyedArchiver::encodeSplitHalf()
{
    m_at = m_plan.secondHalf;
    startStreams();
    const std::vector<Value> &items = m_plan.lists[*m_plan.splitList].items();
    encodeItems(items, m_plan.splitAt, items.size(), m_plan.splitDepth, nullptr);
    flushStreams();
}

bool KeyedArchiver::fail(const QString &message)
{
    if (m_error.isEmpty())
        m_error = message;
    return false;
}

KeyedArchiver::Uid KeyedArchiver::newSlot(Referred referred)
{
    const Uid uid = m_at.uid++;
    if (!m_writing)
        m_plan.slots.push(referred == Referred::maybeAgain);
    return uid;
}

void KeyedArchiver::setObject(Uid uid, Ref ref)
{
    if (!m_writing)
        return;
    // A walk numbers its objects in order, and puts each object when written:
    // at once, or for a container once its contents are. Those still open
    // leave a gap that is filled in later, in the buffer or in the file.
    ++m_objectsPut;
    const int width = m_plan.refWidth;
    const std::span<const Ref> refs(&ref, 1);
    if (uid < m_objectsNext) {
        std::array<char, 4> bytes;
        putRefs(bytes.data(), refs, width);
        m_objects->overwrite(m_plan.objectsStart + quint64(uid) * quint64(width), bytes.data(), size_t(width));
        return;
    }
    const size_t gap = size_t(uid - m_objectsNext) * size_t(width);
    char *p = m_objects->take(gap + size_t(width));
    if (gap != 0)
        std::memset(p, 0, gap);
    putRefs(p + gap, refs, width);
    m_objectsNext = uid + 1;
}

char *KeyedArchiver::scalar(size_t size, Ref &ref)
{
    ref = Ref(m_at.ref++);
    char *p = nullptr;
    if (m_writing) {
        putOffset(8 + m_at.scalarBytes);
        p = m_scalars->take(size);
    }
    m_at.scalarBytes += size;
    return p;
}

void KeyedArchiver::putOffset(quint64 offset)
{
    putBigEndian(m_table->take(size_t(m_plan.offsetWidth)), offset, m_plan.offsetWidth);
}

KeyedArchiver::Ref KeyedArchiver::container(quint8 marker, quint64 count, std::span<const Ref> refs)
{
    const Ref ref = Ref(m_at.ref++);
    const size_t markerSize = countedMarkerSize(count);
    if (m_writing) {
        const int width = m_plan.refWidth;
        putOffset(m_plan.containerStart + m_at.markerBytes + m_at.containerRefs * quint64(width));
        char *p = m_containers->take(markerSize + refs.size() * size_t(width));
        putRefs(putCountedMarker(p, marker, count), refs, width);
    }
    m_at.markerBytes += markerSize;
    m_at.containerRefs += refs.size();
    return ref;
}

KeyedArchiver::Ref KeyedArchiver::arrayOfUids(std::span<const Uid> uids)
{
    // As container() does, but the references go out in pieces as they are
    // found rather than gathered first: a list of a million records would
    // need megabytes for them. The array is numbered after the UID objects
    // made on the way; its bytes do not move for them.
    const quint64 count = uids.size();
    const size_t markerSize = countedMarkerSize(count);
    const int width = m_plan.refWidth;
    const quint64 at = m_plan.containerStart + m_at.markerBytes + m_at.containerRefs * quint64(width);
    if (m_writing)
        putCountedMarker(m_containers->take(markerSize), 0xA0, count);
    std::array<Ref, 1024> piece;
    for (size_t from = 0; from < uids.size(); from += piece.size()) {
        const size_t n = std::min(piece.size(), uids.size() - from);
        for (size_t i = 0; i < n; ++i)
            piece[i] = uidRef(uids[from + i]);
        if (m_writing)
            putRefs(m_containers->take(n * size_t(width)), std::span<const Ref>(piece.data(), n), width);
    }
    const Ref ref = Ref(m_at.ref++);
    if (m_writing)
        putOffset(at);
    m_at.markerBytes += markerSize;
    m_at.containerRefs += count;
    return ref;
}

KeyedArchiver::Ref KeyedArchiver::objectsArray()
{
    const Ref ref = Ref(m_at.ref++);
    const quint64 count = m_at.uid;
    const size_t markerSize = countedMarkerSize(count);
    if (m_writing) {
        // Only the marker: the references were put as the objects were
        // written (setObject).
        const int width = m_plan.refWidth;
        putOffset(m_plan.containerStart + m_at.markerBytes + m_at.containerRefs * quint64(width));
        putCountedMarker(m_containers->take(markerSize), 0xA0, count);
        m_containers->seek(m_plan.objectsStart + count * quint64(width));
    } else {
        m_plan.objectsMarkerBytes = m_at.markerBytes + markerSize;
        m_plan.objectsRefsBefore = m_at.containerRefs;
    }
    m_at.markerBytes += markerSize;
    m_at.containerRefs += count;
    return ref;
}

KeyedArchiver::Ref KeyedArchiver::boolean(bool b)
{
    Ref ref;
    if (char *p = scalar(1, ref))
        *p = char(b ? 0x09 : 0x08);
    return ref;
}

KeyedArchiver::Ref KeyedArchiver::integer(qint64 i)
{
    Ref ref;
    const int width = integerWidth(i);
    if (char *p = scalar(1 + size_t(width), ref)) {
        *p++ = char(0x10 | log2Width(width));
        putBigEndian(p, quint64(i), width);
    }
    return ref;
}

KeyedArchiver::Ref KeyedArchiver::real(double r)
{
    Ref ref;
    if (char *p = scalar(9, ref)) {
        quint64 bits;
        std::memcpy(&bits, &r, sizeof bits);
        *p++ = char(0x23);
        putBigEndian(p, bits, 8);
    }
    return ref;
}

KeyedArchiver::Ref KeyedArchiver::string(QStringView s)
{
    Ref ref;
    const bool ascii = storedAsAscii(s);
    if (char *p = scalar(stringSize(s, ascii), ref)) {
        if (ascii) {
            p = putCountedMarker(p, 0x50, quint64(s.size()));
            const char16_t *c = s.utf16();
            for (qsizetype i = 0; i < s.size(); ++i)
                p[i] = char(c[i]);
        } else {
            p = putCountedMarker(p, 0x60, quint64(s.size()));
            qToBigEndian<quint16>(s.utf16(), s.size(), p);
        }
    }
    return ref;
}

KeyedArchiver::Ref KeyedArchiver::data(QByteArrayView bytes)
{
    Ref ref;
    if (char *p = scalar(countedMarkerSize(quint64(bytes.size())) + size_t(bytes.size()), ref)) {
        p = putCountedMarker(p, 0x40, quint64(bytes.size()));
        if (!bytes.isEmpty())
            std::memcpy(p, bytes.data(), size_t(bytes.size()));
    }
    return ref;
}

KeyedArchiver::Ref KeyedArchiver::uid(quint32 value)
{
    Ref ref;
    const int width = widthFor(value);
    if (char *p = scalar(1 + size_t(width), ref)) {
        *p++ = char(0x80 | (width - 1));
        putBigEndian(p, value, width);
    }
    return ref;
}

KeyedArchiver::Ref KeyedArchiver::uidRef(Uid uid)
{
    const Plan::SlotPlace place = m_plan.slot(uid);
    // Referred to only here: both walks make the reference object now.
    if (!place.table.isShared(place.index))
        return this->uid(uid);
    // The writing walks find the reference the count gave it, and write the
    // object where the count made it (the first reference).
    if (m_writing) {
        const Ref ref = std::as_const(place.table).ref(place.index);
        if (ref == m_at.ref)
            this->uid(uid);
        return ref;
    }
    Ref &ref = place.table.ref(place.index);
    if (ref == noRef)
        ref = this->uid(uid);
    return ref;
}

KeyedArchiver::Ref KeyedArchiver::fixedString(const QString &s)
{
    auto it = m_plan.fixedStrings.constFind(s);
    if (m_writing) {
        const Ref ref = *it;
        if (ref == m_at.ref)
            string(s);
        return ref;
    }
    if (it != m_plan.fixedStrings.constEnd())
        return *it;
    const Ref ref = string(s);
    m_plan.fixedStrings.insert(s, ref);
    return ref;
}

KeyedArchiver::Ref KeyedArchiver::fixedString(Ref &cached, const QString &s)
{
    if (cached == noRef)
        cached = fixedString(s);
    return cached;
}

KeyedArchiver::Uid KeyedArchiver::encodeKey(const QString &key, size_t position)
{
    // The records of a mailing share their key strings, so the same key at
    // the same place is the same characters: no hashing of the text.
    if (position < m_recentKeys.size()) {
        const RecentKey &recent = m_recentKeys[position];
        if (recent.uid != 0 && recent.key.constData() == key.constData() && recent.key.size() == key.size())
            return recent.uid;
    } else {
        m_recentKeys.resize(position + 1);
    }
    const Uid uid = encodeString(key, true);
    m_recentKeys[position] = RecentKey{key, uid};
    return uid;
}

KeyedArchiver::Uid KeyedArchiver::classUid(const QString &name, std::span<const QString> chain)
{
    auto it = m_plan.classes.constFind(name);
    if (it != m_plan.classes.constEnd() && (!m_writing || *it != m_at.uid))
        return *it;
    const Uid uid = newSlot(Referred::maybeAgain);
    if (!m_writing)
        m_plan.classes.insert(name, uid);
    std::vector<Ref> names;
    names.reserve(chain.size());
    for (const QString &c : chain)
        names.push_back(fixedString(c));
    std::array<Ref, 4> entries;
    entries[0] = fixedString(u"$classes"_s);
    entries[2] = array(names);
    entries[1] = fixedString(u"$classname"_s);
    entries[3] = fixedString(name);
    setObject(uid, dict(entries));
    return uid;
}

KeyedArchiver::Uid KeyedArchiver::encode(const Value &v, int depth)
{
    switch (v.type()) {
    case Value::Type::Null:
        return 0;
    case Value::Type::Bool: {
        const bool b = v.toBool();
        Uid &slot = m_plan.booleans[b ? 1 : 0];
        if (m_writing ? slot != m_at.uid : slot != 0)
            return slot;
        const Uid uid = newSlot(Referred::maybeAgain);
        if (!m_writing)
            slot = uid;
        setObject(uid, boolean(b));
        return uid;
    }
    case Value::Type::Int:
        return encodeInteger(v.toInt64());
    case Value::Type::UInt: {
        const quint64 u = v.toUInt64();
        if (u > quint64(std::numeric_limits<qint64>::max())) {
            fail(u"the unsigned number %1 is too large to store"_s.arg(u));
            return 0;
        }
        return encodeInteger(qint64(u));
    }
    case Value::Type::Real:
        return encodeReal(v.toDouble());
    case Value::Type::String:
        return encodeString(*v.asString(), false);
    case Value::Type::Date:
        return encodeDate(v.toDateTime());
    case Value::Type::Bytes: {
        const Uid uid = newSlot(Referred::once);
        setObject(uid, data(v.toBytes()));
        return uid;
    }
    case Value::Type::List:
        return encodeList(v.toList(), depth);
    case Value::Type::Dict:
        return encodeDict(*v.asDict(), depth);
    }
    return 0;
}

KeyedArchiver::Uid KeyedArchiver::encodeInteger(qint64 i)
{
    if (m_writing) {
        if (const std::optional<Uid> known = foundBefore())
            return *known;
    } else if (const std::optional<Uid> known = m_plan.knownInteger(i)) {
        return found(*known);
    }
    const Uid uid = newSlot(Referred::maybeAgain);
    if (!m_writing) {
        m_plan.addInteger(i, uid);
        foundNothing();
    }
    setObject(uid, integer(i));
    return uid;
}

KeyedArchiver::Uid KeyedArchiver::encodeReal(double r)
{
    quint64 bits;
    std::memcpy(&bits, &r, sizeof bits);
    if (m_writing) {
        if (const std::optional<Uid> known = foundBefore())
            return *known;
    } else if (const FlatUidTable::Entry *e = m_plan.reals.find(bits)) {
        return found(e->uid);
    }
    const Uid uid = newSlot(Referred::maybeAgain);
    if (!m_writing) {
        m_plan.reals.add(bits, uid);
        foundNothing();
    }
    setObject(uid, real(r));
    return uid;
}

KeyedArchiver::Uid KeyedArchiver::encodeString(const QString &s, bool merge)
{
    // Empty strings and dictionary keys are shared.
    Uid *slot = nullptr;
    if (m_writing && (s.isEmpty() || merge)) {
        const Uid known = s.isEmpty() ? m_plan.emptyString : m_plan.keys.value(s);
        if (known != m_at.uid)
            return known;
    } else if (s.isEmpty()) {
        slot = &m_plan.emptyString;
    } else if (merge) {
        auto it = m_plan.keys.find(s);
        if (it == m_plan.keys.end())
            it = m_plan.keys.insert(s, 0);
        slot = &*it;
    }
    if (slot && *slot != 0)
        return *slot;

    const Uid uid = newSlot(slot ? Referred::maybeAgain : Referred::once);
    if (slot)
        *slot = uid;
    if (s == u"$null") {
        // A referenced string "$null" means "no value" to every reader; inside
        // a string object the text is inline and stays text.
        static const std::array<QString, 3> chain{u"NSMutableString"_s, u"NSString"_s, u"NSObject"_s};
        const Uid cls = classUid(chain[0], chain);
        std::array<Ref, 4> entries;
        entries[0] = fixedString(u"NS.string"_s);
        entries[2] = string(s);
        entries[1] = fixedString(u"$class"_s);
        entries[3] = uidRef(cls);
        setObject(uid, dict(entries));
    } else {
        setObject(uid, string(s));
    }
    return uid;
}

KeyedArchiver::Uid KeyedArchiver::encodeDate(const QDateTime &d)
{
    const std::optional<double> seconds = referenceSeconds(d);
    if (!seconds)
        return 0;
    const Uid uid = newSlot(Referred::once);
    static const std::array<QString, 2> chain{u"NSDate"_s, u"NSObject"_s};
    const Uid cls = classUid(chain[0], chain);
    std::array<Ref, 4> entries;
    entries[0] = fixedString(u"NS.time"_s);
    entries[2] = real(*seconds);
    entries[1] = fixedString(u"$class"_s);
    entries[3] = uidRef(cls);
    setObject(uid, dict(entries));
    return uid;
}

KeyedArchiver::Uid KeyedArchiver::encodeDict(const Dict &d, int depth)
{
    const quint64 identity = quint64(quintptr(d.identity()));
    if (const std::optional<Uid> known = knownContainer(identity, depth))
        return *known;
    const Uid uid = newSlot(Referred::maybeAgain);
    if (!m_writing) {
        m_plan.containers.add(identity, uid);
        foundNothing();
        m_plan.dicts.push_back(d.snapshot());
    }
    m_open.push_back(uid);
    Dict::Snapshot &kept = m_plan.dicts[m_at.dicts++ - m_plan.dictsBase];
    const Dict::EntryRange record = kept.entries();
    if (m_writing) {
        // The writing walk is the snapshot's last reader: it is let go here,
        // on the thread that wrote the record, rather than all at the end.
        [[maybe_unused]] const Dict::Snapshot last = std::move(kept);
    }
    // All keys first, then the values, as Foundation does.
    std::vector<Uid> &uids = m_uidScratch[size_t(depth)];
    uids.clear();
    for (qsizetype i = 0; i < record.size(); ++i) {
        const Dict::EntryView entry = record[i];
        if (!isAbsent(entry.second))
            uids.push_back(encodeKey(entry.first, uids.size()));
    }
    const size_t count = uids.size();
    for (qsizetype i = 0; i < record.size(); ++i) {
        const Dict::EntryView entry = record[i];
        if (isAbsent(entry.second))
            continue;
        uids.push_back(encode(entry.second, depth + 1));
        if (!m_error.isEmpty())
            return 0;
    }

    // UID 0 is $null, never a class.
    if (m_dictClass == 0) {
        static const std::array<QString, 3> chain{u"NSMutableDictionary"_s, u"NSDictionary"_s, u"NSObject"_s};
        m_dictClass = classUid(chain[0], chain);
    }
    const std::vector<Uid> &all = uids;
    std::vector<Ref> &refs = m_refScratch[size_t(depth)];
    std::array<Ref, 6> entries;
    entries[0] = fixedString(m_nsKeysRef, u"NS.keys"_s);
    refs.clear();
    for (size_t i = 0; i < count; ++i) {
        // A record's keys are those of the record before: their reference
        // objects are kept with them rather than looked up for each record.
        RecentKey *recent = m_recentKeys[i].uid == all[i] ? &m_recentKeys[i] : nullptr;
        if (recent && recent->ref != noRef) {
            refs.push_back(recent->ref);
            continue;
        }
        const Ref ref = uidRef(all[i]);
        if (recent)
            recent->ref = ref;
        refs.push_back(ref);
    }
    entries[3] = array(refs);
    entries[1] = fixedString(m_nsObjectsRef, u"NS.objects"_s);
    refs.clear();
    for (size_t i = count; i < all.size(); ++i)
        refs.push_back(uidRef(all[i]));
    entries[4] = array(refs);
    entries[2] = fixedString(m_classRef, u"$class"_s);
    if (m_dictClassRef == noRef)
        m_dictClassRef = uidRef(m_dictClass);
    entries[5] = m_dictClassRef;
    setObject(uid, dict(entries));
    m_open.pop_back();
    return uid;
}

std::optional<KeyedArchiver::Uid> KeyedArchiver::knownContainer(quint64 identity, int depth)
{
    if (m_writing)
        return foundBefore();
    if (const std::optional<Uid> known = m_plan.knownContainer(identity)) {
        // Met before: written already, or one of those being written, which
        // contains itself.
        if (std::find(m_open.begin(), m_open.end(), *known) != m_open.end())
            fail(u"a list or dictionary contains itself"_s);
        return found(*known);
    }
    if (depth > KeyedUnarchiver::maxDepth) {
        fail(u"nesting deeper than %1 levels"_s.arg(KeyedUnarchiver::maxDepth));
        return 0;
    }
    return std::nullopt;
}

void KeyedArchiver::noteLookUp(bool foundBefore)
{
    m_plan.addLookUp(foundBefore);
    ++m_at.found;
}

KeyedArchiver::Uid KeyedArchiver::found(Uid uid)
{
    noteLookUp(true);
    m_plan.foundBefore.push_back(uid);
    ++m_at.foundBefore;
    return uid;
}

void KeyedArchiver::foundNothing()
{
    noteLookUp(false);
}

std::optional<KeyedArchiver::Uid> KeyedArchiver::foundBefore()
{
    if (!m_plan.lookUpFound(m_at.found++))
        return std::nullopt;
    return m_plan.foundBefore[m_at.foundBefore++];
}

void KeyedArchiver::encodeItems(const std::vector<Value> &items, size_t from, size_t to, int depth,
                                std::vector<Uid> *uids)
{
    // The records of a list lie one after the other in memory, but their
    // entries in the table of containers do not: fetch those ahead.
    constexpr size_t ahead = 16;
    for (size_t i = from; i < to; ++i) {
        if (!m_writing && i + ahead < to) {
            if (const Dict *d = items[i + ahead].asDict())
                m_plan.containers.prefetch(quint64(quintptr(d->identity())));
        }
        const Value &item = items[i];
        const Uid uid = isAbsent(item) ? 0 : encode(item, depth);
        if (uids)
            uids->push_back(uid);
        if (!m_error.isEmpty())
            return;
    }
}

KeyedArchiver::Uid KeyedArchiver::encodeList(const List &l, int depth)
{
    const quint64 identity = quint64(quintptr(l.identity()));
    if (const std::optional<Uid> known = knownContainer(identity, depth))
        return *known;
    const Uid uid = newSlot(Referred::maybeAgain);
    if (!m_writing) {
        m_plan.containers.add(identity, uid);
        foundNothing();
        // The items as they are now, so that no lock is held while they are
        // written and the second walk sees the same items.
        m_plan.lists.push_back(l.snapshot());
    }
    m_open.push_back(uid);
    const size_t index = m_at.lists++;
    const std::vector<Value> &items = m_plan.lists[index - m_plan.listsBase].items();

    std::vector<Uid> values;
    const std::vector<Uid> *all = &values; // the slots of all the items
    if (!m_writing && !m_plan.splitList && items.size() >= splitMinimum) {
        // The first long list is written in two halves; note where the
        // second starts and where it ends.
        m_plan.splitList = index;
        m_plan.splitAt = items.size() / 2;
        m_plan.splitDepth = depth + 1;
        values.reserve(items.size());
        // Room for its records in the table of containers up front.
        const size_t containers = size_t(std::count_if(items.begin(), items.end(), [](const Value &item) {
            return item.type() == Value::Type::Dict || item.type() == Value::Type::List;
        }));
        if (!countHalvesApart(items, depth + 1, containers, values)) {
            m_plan.containers.reserve(m_plan.containers.size() + containers);
            encodeItems(items, 0, m_plan.splitAt, depth + 1, &values);
            m_plan.secondHalf = m_at;
            encodeItems(items, m_plan.splitAt, items.size(), depth + 1, &values);
        }
        m_plan.afterItems = m_at;
        m_plan.splitItems = std::move(values);
        all = &m_plan.splitItems;
    } else if (m_writing && m_plan.splitList == index) {
        // The other thread writes the second half; the slots of the items
        // are known.
        encodeItems(items, 0, m_plan.splitAt, depth + 1, nullptr);
        flushStreams();
        m_at = m_plan.afterItems;
        startStreams();
        all = &m_plan.splitItems;
    } else {
        values.reserve(items.size());
        encodeItems(items, 0, items.size(), depth + 1, &values);
    }
    if (!m_error.isEmpty())
        return 0;

    if (m_arrayClass == 0) {
        static const std::array<QString, 3> chain{u"NSMutableArray"_s, u"NSArray"_s, u"NSObject"_s};
        m_arrayClass = classUid(chain[0], chain);
    }
    std::array<Ref, 4> entries;
    entries[0] = fixedString(m_nsObjectsRef, u"NS.objects"_s);
    entries[2] = arrayOfUids(*all);
    entries[1] = fixedString(m_classRef, u"$class"_s);
    entries[3] = uidRef(m_arrayClass);
    setObject(uid, dict(entries));
    m_open.pop_back();
    return uid;
}

} // namespace quillcast

namespace quillcast {

bool KeyedArchiver::countHalvesApart(const std::vector<Value> &items, int depth, size_t containers,
                                     std::vector<Uid> &values)
{
    if (m_plan.threads < 2)
        return false;
    // The first item on its own: a mailing's records share their keys and
    // classes, which the first record numbers, so that the second half
    // finds them rather than numbering them again.
    encodeItems(items, 0, 1, depth, &values);
    if (!m_error.isEmpty())
        return true;
    if (m_plan.slots.size() > forkCopyLimit || m_plan.containers.size() > forkCopyLimit
        || m_plan.rising.size() > forkCopyLimit || m_plan.integers.size() > forkCopyLimit
        || m_plan.reals.size() > forkCopyLimit) {
        m_plan.containers.reserve(m_plan.containers.size() + containers);
        encodeItems(items, 1, m_plan.splitAt, depth, &values);
        m_plan.secondHalf = m_at;
        encodeItems(items, m_plan.splitAt, items.size(), depth, &values);
        return true;
    }

    // The second half is counted on another thread from a copy of the plan
    // so far, numbering its new objects as if it came first. The two halves
    // then join: the second's new objects are renumbered after the first's.
    // That is the numbering of one walk unless both halves met an object
    // that is numbered once (the same record, number, key or class): then
    // the second half is counted again after the first, as one walk does.
    const Position fork = m_at;
    Plan side;
    side.containers = m_plan.containers;
    side.containers.reserve(side.containers.size() + containers - containers / 2);
    side.rising = m_plan.rising.copy();
    side.integers = m_plan.integers;
    side.integersLow = m_plan.integersLow;
    side.integersHigh = m_plan.integersHigh;
    side.reals = m_plan.reals;
    side.keys = m_plan.keys;
    side.emptyString = m_plan.emptyString;
    side.booleans[0] = m_plan.booleans[0];
    side.booleans[1] = m_plan.booleans[1];
    side.classes = m_plan.classes;
    side.fixedStrings = m_plan.fixedStrings;
    // Copies of their own now: a table shared with the first half would be
    // copied on the other thread while this one changes it.
    side.keys.detach();
    side.classes.detach();
    side.fixedStrings.detach();
    side.slots = m_plan.slots.copyOfFirst(m_plan.slots.size());
    side.dictsBase = fork.dicts;
    side.listsBase = fork.lists;
    side.splitList = m_plan.splitList; // no list inside is split
    m_plan.containers.reserve(m_plan.containers.size() + containers / 2 + 1);

    KeyedArchiver other(side, nullptr);
    other.m_at = fork;
    other.m_open = m_open;
    other.m_recentKeys = m_recentKeys;
    other.m_nsKeysRef = m_nsKeysRef;
    other.m_nsObjectsRef = m_nsObjectsRef;
    other.m_classRef = m_classRef;
    other.m_dictClass = m_dictClass;
    other.m_dictClassRef = m_dictClassRef;
    other.m_arrayClass = m_arrayClass;
    std::vector<Uid> otherValues;
    otherValues.reserve(items.size() - m_plan.splitAt);
    std::thread helper([&] { other.encodeItems(items, m_plan.splitAt, items.size(), depth, &otherValues); });
    encodeItems(items, 1, m_plan.splitAt, depth, &values);
    helper.join();
    if (!m_error.isEmpty())
        return true; // the first failure in the order of one walk
    m_plan.secondHalf = m_at;
    if (!other.m_error.isEmpty() || !joinSecondHalf(side, fork, other.m_at, otherValues)) {
        encodeItems(items, m_plan.splitAt, items.size(), depth, &values);
        return true;
    }
    const Uid uidShift = Uid(m_plan.secondHalf.uid - fork.uid);
    for (Uid u : otherValues)
        values.push_back(u < fork.uid ? u : u + uidShift);
    return true;
}

bool KeyedArchiver::joinSecondHalf(Plan &side, const Position &fork, const Position &sideEnd,
                                   std::span<const Uid> sideItems)
{
    Plan &plan = m_plan;
    const Position first = m_at; // where the first half ended
    const Uid uidShift = Uid(first.uid - fork.uid);
    const Ref refShift = Ref(first.ref - fork.ref);
    const auto uidOf = [&](Uid u) { return u < fork.uid ? u : u + uidShift; };
    const auto refOf = [&](Ref r) { return r == noRef || r < fork.ref ? r : r + refShift; };
    const auto isNewUid = [&](Uid u) { return u >= fork.uid; };

    // Did both halves number an object that is numbered once?
    bool numberedTwice = false;
    side.slots.forEachShared(0, fork.uid, [&](size_t u, Ref sideRef) {
        numberedTwice = numberedTwice || (sideRef != noRef && sideRef >= fork.ref && plan.slots.ref(u) != noRef);
    });
    if (numberedTwice)
        return false;
    // The cheap checks first: the records' own table is the largest.
    bool clash = false;
    // The second half's numbers: its rising ones first, in their order.
    const auto forEachNewInteger = [&](auto &&f) {
        side.rising.forEach([&](qint64 i, Uid u) {
            if (isNewUid(u))
                f(i, u);
        });
        side.integers.forEach([&](quint64 i, Uid u) {
            if (isNewUid(u))
                f(qint64(i), u);
        });
    };
    forEachNewInteger([&](qint64 i, Uid) { clash = clash || plan.knownInteger(i).has_value(); });
    side.reals.forEach([&](quint64 bits, Uid u) {
        if (!clash && isNewUid(u) && plan.reals.find(bits))
            clash = true;
    });
    const auto clashes = [&](const QHash<QString, Uid> &sideMap, const QHash<QString, Uid> &map) {
        for (auto it = sideMap.constBegin(); it != sideMap.constEnd(); ++it) {
            if (isNewUid(*it) && map.value(it.key()) != 0)
                return true;
        }
        return false;
    };
    if (clash || clashes(side.keys, plan.keys) || clashes(side.classes, plan.classes))
        return false;
    for (auto it = side.fixedStrings.constBegin(); it != side.fixedStrings.constEnd(); ++it) {
        if (*it >= fork.ref && plan.fixedStrings.contains(it.key()))
            return false;
    }
    if ((isNewUid(side.emptyString) && plan.emptyString != 0) || (isNewUid(side.booleans[0]) && plan.booleans[0] != 0)
        || (isNewUid(side.booleans[1]) && plan.booleans[1] != 0))
        return false;

    {
        // A look-up each, a few ahead fetched at once: most miss the cache.
        std::array<quint64, 16> batch;
        size_t inBatch = 0;
        const auto lookUp = [&] {
            for (size_t i = 0; i < inBatch && !clash; ++i)
                clash = plan.containers.find(batch[i]) != nullptr;
            inBatch = 0;
        };
        side.containers.forEach([&](quint64 identity, Uid u) {
            if (!isNewUid(u) || clash)
                return;
            plan.containers.prefetch(identity);
            batch[inBatch++] = identity;
            if (inBatch == batch.size())
                lookUp();
        });
        lookUp();
    }
    if (clash)
        return false;

    // No: the second half's objects follow the first's.
    side.slots.forEachShared(0, fork.uid, [&](size_t u, Ref sideRef) {
        if (sideRef != noRef && sideRef >= fork.ref)
            plan.slots.ref(u) = refOf(sideRef);
    });
    // The second half's slots stay where they are, renumbered. A UID
    // object is as wide as its number: those the second half wrote for its
    // own objects grow where their numbers cross a width.
    qint64 uidBytesGained = 0;
    for (Uid u = fork.uid; u < sideEnd.uid; ++u) {
        if (side.slots.isShared(u)) {
            Ref &uidRef = side.slots.ref(u);
            if (uidRef == noRef)
                continue;
            uidRef = refOf(uidRef);
        }
        uidBytesGained += widthFor(u + uidShift) - widthFor(u);
    }
    // Those referred to once were referred to by their containers in the
    // second half, except the list's own items: the list refers to them
    // after the join, by their numbers then.
    for (Uid u : sideItems) {
        if (isNewUid(u) && !side.slots.isShared(u))
            uidBytesGained -= widthFor(u + uidShift) - widthFor(u);
    }
    plan.apartSlots = std::move(side.slots);
    plan.apartStart = first.uid;
    plan.apartEnd = first.uid + (sideEnd.uid - fork.uid);
    plan.apartShift = uidShift;
    plan.apartFork = fork.uid;
    for (size_t n = 0; n < side.lookUps; ++n)
        plan.addLookUp(side.lookUpFound(n));
    side.foundBefore.forEachSpan(0, side.foundBefore.size(), [&](std::span<const Uid> part) {
        for (Uid u : part)
            plan.foundBefore.push_back(uidOf(u));
    });
    for (Dict::Snapshot &d : side.dicts)
        plan.dicts.push_back(std::move(d));
    for (List::Snapshot &l : side.lists)
        plan.lists.push_back(std::move(l));
    plan.apartContainers = std::move(side.containers);
    // The second half's rising numbers first, in their order: they stay
    // rising after the first half's when they are above them.
    forEachNewInteger([&](qint64 i, Uid u) { plan.addInteger(i, uidOf(u)); });
    side.reals.forEach([&](quint64 bits, Uid u) {
        if (isNewUid(u))
            plan.reals.add(bits, uidOf(u));
    });
    for (auto it = side.keys.constBegin(); it != side.keys.constEnd(); ++it) {
        if (isNewUid(*it))
            plan.keys.insert(it.key(), uidOf(*it));
    }
    for (auto it = side.classes.constBegin(); it != side.classes.constEnd(); ++it) {
        if (isNewUid(*it))
            plan.classes.insert(it.key(), uidOf(*it));
    }
    for (auto it = side.fixedStrings.constBegin(); it != side.fixedStrings.constEnd(); ++it) {
        if (*it >= fork.ref)
            plan.fixedStrings.insert(it.key(), refOf(*it));
    }
    if (isNewUid(side.emptyString))
        plan.emptyString = uidOf(side.emptyString);
    for (int b = 0; b < 2; ++b) {
        if (isNewUid(side.booleans[b]))
            plan.booleans[b] = uidOf(side.booleans[b]);
    }

    m_at.ref = first.ref + (sideEnd.ref - fork.ref);
    m_at.uid = first.uid + (sideEnd.uid - fork.uid);
    m_at.scalarBytes = first.scalarBytes + (sideEnd.scalarBytes - fork.scalarBytes) + quint64(uidBytesGained);
    m_at.markerBytes = first.markerBytes + (sideEnd.markerBytes - fork.markerBytes);
    m_at.containerRefs = first.containerRefs + (sideEnd.containerRefs - fork.containerRefs);
    m_at.dicts = first.dicts + (sideEnd.dicts - fork.dicts);
    m_at.lists = first.lists + (sideEnd.lists - fork.lists);
    m_at.found = first.found + (sideEnd.found - fork.found);
    m_at.foundBefore = first.foundBefore + (sideEnd.foundBefore - fork.foundBefore);
    return true;
}

} // namespace quillcast
