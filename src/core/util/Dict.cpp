#include "util/Value.h"
#include "util/Dict.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>

namespace quillcast {

namespace dict_detail {

// A header followed by the sorted, unique keys of one or more versions.
// Immutable once made; shared between dictionaries.
struct Keys
{
    std::atomic<quint32> refs{1};
    quint32 count = 0;

    QString *keys() { return reinterpret_cast<QString *>(this + 1); }
    const QString *keys() const { return reinterpret_cast<const QString *>(this + 1); }
};
static_assert(sizeof(Keys) % alignof(QString) == 0);

// One version of a dictionary: a header followed by the values, in the order
// of its keys. Counted by the dictionary that holds it as current and by
// every snapshot taken of it.
struct Version
{
    // Set in refs beside the count: this version was made in one block with
    // its dictionary's Data, which comes right before it.
    static constexpr quint32 inBlock = quint32(1) << 31;

    std::atomic<quint32> refs{1};
    quint32 count = 0;
    Keys *keys = nullptr;

    Value *values() { return reinterpret_cast<Value *>(this + 1); }
    const Value *values() const { return reinterpret_cast<const Value *>(this + 1); }
};
static_assert(sizeof(Version) % alignof(Value) == 0);

struct Data
{
    std::atomic<quint32> handles{1};
    std::atomic_flag busy; // clear: the current version may be read or exchanged
    // A dictionary made in one block with its first version (a record as
    // read or imported: a million of them cost a million allocations less):
    // the block goes when both the last handle and that version have gone,
    // and each holds one of these until then. 0: Data alone.
    std::atomic<quint8> blockHolders{0};
    Version *current = nullptr;
};
static_assert(sizeof(Data) % alignof(Version) == 0);

} // namespace dict_detail

using dict_detail::Data;
using dict_detail::Keys;
using dict_detail::Version;

namespace {

// QString's own order (UTF-16 code units as numbers, a prefix first), kept
// here so that a lookup among one- or two-letter keys makes no call into Qt.
int compareKeys(QStringView a, QStringView b) noexcept
{
    const char16_t *pa = a.utf16();
    const char16_t *pb = b.utf16();
    if (pa != pb) {
        const qsizetype n = std::min(a.size(), b.size());
        for (qsizetype i = 0; i < n; ++i) {
            if (pa[i] != pb[i])
                return pa[i] < pb[i] ? -1 : 1;
        }
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

bool sameKey(QStringView a, QStringView b) noexcept
{
    return a.size() == b.size()
        && (a.size() == 0 || a.utf16() == b.utf16()
            || std::memcmp(a.utf16(), b.utf16(), size_t(a.size()) * sizeof(char16_t)) == 0);
}

// Position of the first key not ordered before `key`.
quint32 lowerBound(const Keys &keys, QStringView key) noexcept
{
    quint32 low = 0;
    quint32 high = keys.count;
    const QString *k = keys.keys();
    while (low < high) {
        const quint32 mid = low + (high - low) / 2;
        if (compareKeys(k[mid], key) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

qsizetype indexOf(const Keys &keys, QStringView key) noexcept
{
    const quint32 at = lowerBound(keys, key);
    return at < keys.count && sameKey(keys.keys()[at], key) ? qsizetype(at) : -1;
}

// --- Keys -------------------------------------------------------------------------

void retainKeys(Keys *k) noexcept
{
    k->refs.fetch_add(1, std::memory_order_relaxed);
}

void releaseKeys(Keys *k) noexcept
{
    if (!k || k->refs.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    QString *keys = k->keys();
    for (quint32 i = 0; i < k->count; ++i)
        keys[i].~QString();
    k->~Keys();
    ::operator delete(k);
}

template<typename KeyAt>
Keys *newKeys(quint32 count, KeyAt keyAt)
{
    Keys *k = new (::operator new(sizeof(Keys) + count * sizeof(QString))) Keys;
    k->count = count;
    QString *keys = k->keys();
    for (quint32 i = 0; i < count; ++i)
        new (&keys[i]) QString(keyAt(i));
    return k;
}

Keys *emptyKeys() noexcept
{
    // Made once and never released.
    static Keys *const empty = newKeys(0, [](quint32) { return QString(); });
    return empty;
}

// The key blocks made or used last. Records are made in runs with the same
// keys (an import, a file being read, a column added to every record), so a
// handful of recent blocks is enough for all of them to share one.
class KeysCache
{
public:
    template<typename KeyAt>
    Keys *find(quint32 count, KeyAt keyAt)
    {
        std::lock_guard guard(m_lock);
        for (size_t n = 0; n < m_slots.size(); ++n) {
            const size_t i = (m_last + n) % m_slots.size();
            Keys *k = m_slots[i];
            if (!k || k->count != count)
                continue;
            const QString *keys = k->keys();
            quint32 j = 0;
            while (j < count && sameKey(keys[j], keyAt(j)))
                ++j;
            if (j == count) {
                m_last = i;
                retainKeys(k);
                return k;
            }
        }
        return nullptr;
    }

    // Keeps k (one more reference) in place of the oldest block.
    void add(Keys *k)
    {
        retainKeys(k);
        Keys *evicted = nullptr;
        {
            std::lock_guard guard(m_lock);
            m_next = (m_next + 1) % m_slots.size();
            evicted = std::exchange(m_slots[m_next], k);
            m_last = m_next;
        }
        releaseKeys(evicted);
    }

private:
    std::mutex m_lock;
    std::array<Keys *, 8> m_slots{};
    size_t m_next = 0;
    size_t m_last = 0;
};

KeysCache &keysCache()
{
    // Never destroyed: dictionaries may still be made while the program ends.
    static KeysCache *const cache = new KeysCache;
    return *cache;
}

// A key block (one reference for the caller) holding keyAt(0..count-1),
// which must be sorted and unique.
template<typename KeyAt>
Keys *internKeys(quint32 count, KeyAt keyAt)
{
    if (count == 0) {
        Keys *empty = emptyKeys();
        retainKeys(empty);
        return empty;
    }
    KeysCache &cache = keysCache();
    if (Keys *found = cache.find(count, keyAt))
        return found;
    Keys *made = newKeys(count, keyAt);
    cache.add(made);
    return made;
}

// --- Versions ---------------------------------------------------------------------

// A version over these keys (its reference adopted) whose values the caller
// constructs, every one, before anybody else sees it.
Version *allocateVersion(Keys *keys)
{
    Version *v = new (::operator new(sizeof(Version) + keys->count * sizeof(Value))) Version;
    v->count = keys->count;
    v->keys = keys;
    return v;
}

void retainVersion(Version *v) noexcept
{
    if (v)
        v->refs.fetch_add(1, std::memory_order_relaxed);
}

// How many hold a version, without its block flag.
quint32 holdersOf(const Version &v) noexcept
{
    return v.refs.load(std::memory_order_acquire) & ~Version::inBlock;
}

void releaseBlock(Data *d) noexcept
{
    if (d->blockHolders.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    d->~Data();
    ::operator delete(d);
}

void releaseVersion(Version *v) noexcept
{
    if (!v)
        return;
    const quint32 was = v->refs.fetch_sub(1, std::memory_order_acq_rel);
    if ((was & ~Version::inBlock) != 1)
        return;
    Value *values = v->values();
    for (quint32 i = 0; i < v->count; ++i)
        values[i].~Value();
    releaseKeys(v->keys);
    v->~Version();
    if (was & Version::inBlock)
        releaseBlock(reinterpret_cast<Data *>(v) - 1);
    else
        ::operator delete(v);
}

// A dictionary's Data with its first version, over these keys (its
// reference adopted), in one block; the caller constructs every value.
Data *allocateWithVersion(Keys *keys)
{
    void *block = ::operator new(sizeof(Data) + sizeof(Version) + keys->count * sizeof(Value));
    Data *d = new (block) Data;
    d->blockHolders.store(2, std::memory_order_relaxed);
    Version *v = new (d + 1) Version;
    v->refs.store(1 | Version::inBlock, std::memory_order_relaxed);
    v->count = keys->count;
    v->keys = keys;
    d->current = v;
    return d;
}

Version *retainedEmptyVersion() noexcept
{
    static Version *const empty = [] {
        Keys *keys = emptyKeys();
        retainKeys(keys);
        return allocateVersion(keys);
    }();
    retainVersion(empty);
    return empty;
}

// A version from entries already sorted, unique and without null values.
Version *versionOf(Dict::Entries &&entries)
{
    Keys *keys = internKeys(quint32(entries.size()), [&](quint32 i) -> const QString & { return entries[i].first; });
    Version *v = allocateVersion(keys);
    Value *values = v->values();
    for (quint32 i = 0; i < v->count; ++i)
        new (&values[i]) Value(std::move(entries[i].second));
    return v;
}

Version *withReplaced(const Version &from, quint32 at, const Value &value)
{
    retainKeys(from.keys);
    Version *v = allocateVersion(from.keys);
    Value *values = v->values();
    const Value *old = from.values();
    for (quint32 i = 0; i < v->count; ++i)
        new (&values[i]) Value(i == at ? value : old[i]);
    return v;
}

Version *withInserted(const Version &from, quint32 at, const QString &key, const Value &value)
{
    const QString *oldKeys = from.keys->keys();
    Keys *keys = internKeys(from.count + 1, [&](quint32 i) -> const QString & {
        return i < at ? oldKeys[i] : (i == at ? key : oldKeys[i - 1]);
    });
    Version *v = allocateVersion(keys);
    Value *values = v->values();
    const Value *old = from.values();
    for (quint32 i = 0; i < v->count; ++i)
        new (&values[i]) Value(i < at ? old[i] : (i == at ? value : old[i - 1]));
    return v;
}

Version *withRemoved(const Version &from, quint32 at)
{
    const QString *oldKeys = from.keys->keys();
    Keys *keys = internKeys(from.count - 1, [&](quint32 i) -> const QString & { return oldKeys[i < at ? i : i + 1]; });
    Version *v = allocateVersion(keys);
    Value *values = v->values();
    const Value *old = from.values();
    for (quint32 i = 0; i < v->count; ++i)
        new (&values[i]) Value(old[i < at ? i : i + 1]);
    return v;
}

bool isPlainScalar(Value::Type t) noexcept
{
    return t == Value::Type::Bool || t == Value::Type::Int || t == Value::Type::UInt || t == Value::Type::Real;
}

const Value &nullValue()
{
    static const Value none;
    return none;
}

bool keyBefore(const Dict::Entry &a, const Dict::Entry &b)
{
    return compareKeys(a.first, b.first) < 0;
}

Dict::Entries normalised(Dict::Entries entries)
{
    // Importers and the file reader mostly hand over entries already in key
    // order: take them as they are.
    const bool sortedAndComplete =
        std::adjacent_find(entries.begin(), entries.end(),
                           [](const Dict::Entry &a, const Dict::Entry &b) { return !keyBefore(a, b); })
            == entries.end()
        && std::none_of(entries.begin(), entries.end(), [](const Dict::Entry &e) { return e.second.isNull(); });
    if (sortedAndComplete)
        return entries;
    // Sort stably so that, among duplicate keys, the last one given wins.
    std::stable_sort(entries.begin(), entries.end(), keyBefore);
    Dict::Entries out;
    out.reserve(entries.size());
    for (auto &entry : entries) {
        if (!out.empty() && sameKey(out.back().first, entry.first))
            out.back().second = std::move(entry.second);
        else
            out.push_back(std::move(entry));
    }
    std::erase_if(out, [](const Dict::Entry &e) { return e.second.isNull(); });
    return out;
}

// Holds a record's spin lock for the few instructions of a pointer exchange.
class SpinGuard
{
public:
    explicit SpinGuard(std::atomic_flag &flag) : m_flag(flag)
    {
        while (m_flag.test_and_set(std::memory_order_acquire))
            std::this_thread::yield();
    }
    ~SpinGuard() { m_flag.clear(std::memory_order_release); }
    SpinGuard(const SpinGuard &) = delete;
    SpinGuard &operator=(const SpinGuard &) = delete;

private:
    std::atomic_flag &m_flag;
};

// A flag or a number read while walking a million records (the checked
// view, the count of checked records) is read under the record's lock,
// without counting a reference on its version: a snapshot would cost two
// atomic writes on the version's header per record more. Under the lock the
// version can be neither exchanged nor released, and a value replaced in
// place is replaced under the lock too. Only plain bits are read there; a
// string is shared out (its own count) and read after the lock.
template<typename Read>
auto readOne(Data &d, const QString &key, Read read)
{
    QString text;
    {
        SpinGuard guard(d.busy);
        const Version *v = d.current;
        const qsizetype at = indexOf(*v->keys, key);
        if (at < 0)
            return read(nullValue());
        const Value &stored = v->values()[at];
        if (!stored.isString())
            return read(stored);
        text = *stored.asString();
    }
    return read(Value(std::move(text)));
}

} // namespace

// --- Reference counting -----------------------------------------------------------

void Dict::retain(Version *v) noexcept
{
    retainVersion(v);
}

void Dict::release(Version *v) noexcept
{
    releaseVersion(v);
}

Dict::VersionRef Dict::current() const
{
    SpinGuard guard(m_d->busy);
    Version *v = m_d->current;
    // Counted under the lock: a writer that finds the version held by the
    // dictionary alone (and itself) knows nobody can be reading it.
    retainVersion(v);
    return VersionRef(v);
}

void Dict::store(Version *adopted)
{
    Version *old = nullptr;
    {
        SpinGuard guard(m_d->busy);
        old = std::exchange(m_d->current, adopted);
    }
    // The old version is released outside the lock.
    releaseVersion(old);
}

bool Dict::install(VersionRef &expected, Version *adopted)
{
    // Installs the next version only if nobody installed another one since
    // `expected` was read; else `expected` becomes theirs, to start again from.
    Version *old = nullptr;
    Version *newer = nullptr;
    {
        SpinGuard guard(m_d->busy);
        if (m_d->current == expected.get()) {
            old = std::exchange(m_d->current, adopted);
        } else {
            newer = m_d->current;
            retainVersion(newer);
        }
    }
    if (old) {
        releaseVersion(old);
        return true;
    }
    releaseVersion(adopted);
    expected = VersionRef(newer);
    return false;
}

// --- Entry ranges and snapshots ---------------------------------------------------

Dict::EntryRange::EntryRange(VersionRef version) : m_version(std::move(version))
{
    const Version *v = m_version.get();
    m_keys = v->keys->keys();
    m_values = v->values();
    m_size = qsizetype(v->count);
}

Dict::Entries Dict::EntryRange::toEntries() const
{
    Entries out;
    out.reserve(size_t(m_size));
    for (qsizetype i = 0; i < m_size; ++i)
        out.emplace_back(m_keys[i], m_values[i]);
    return out;
}

Dict::EntryRange::operator Entries() const
{
    return toEntries();
}

bool operator==(const Dict::EntryRange &a, const Dict::EntryRange &b)
{
    if (a.m_size != b.m_size)
        return false;
    const bool sameKeys = a.m_keys == b.m_keys;
    for (qsizetype i = 0; i < a.m_size; ++i) {
        if (!sameKeys && !sameKey(a.m_keys[i], b.m_keys[i]))
            return false;
        if (!(a.m_values[i] == b.m_values[i]))
            return false;
    }
    return true;
}

const Value &Dict::Snapshot::value(const QString &key) const
{
    const Version *v = m_version.get();
    const qsizetype i = indexOf(*v->keys, key);
    return i < 0 ? nullValue() : v->values()[i];
}

Dict::EntryRange Dict::Snapshot::entries() const
{
    return EntryRange(m_version);
}

bool Dict::Snapshot::contains(const QString &key) const
{
    return indexOf(*m_version->keys, key) >= 0;
}

qsizetype Dict::Snapshot::size() const
{
    return qsizetype(m_version->count);
}

bool Dict::Snapshot::boolValue(const QString &key) const
{
    return value(key).toBool();
}

qint64 Dict::Snapshot::intValue(const QString &key) const
{
    return value(key).toInt64();
}

QString Dict::Snapshot::stringValue(const QString &key) const
{
    return value(key).toString();
}

// --- Key sets ---------------------------------------------------------------------

Dict::KeySet::KeySet() : m_keys(emptyKeys())
{
    retainKeys(m_keys);
}

Dict::KeySet::KeySet(const QStringList &keys)
{
    QStringList sorted = keys;
    std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) { return compareKeys(a, b) < 0; });
    sorted.erase(std::unique(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) { return sameKey(a, b); }),
                 sorted.end());
    m_keys = internKeys(quint32(sorted.size()), [&](quint32 i) -> const QString & { return sorted[i]; });
}

Dict::KeySet::KeySet(const KeySet &other) noexcept : m_keys(other.m_keys)
{
    retainKeys(m_keys);
}

Dict::KeySet &Dict::KeySet::operator=(const KeySet &other) noexcept
{
    retainKeys(other.m_keys);
    releaseKeys(std::exchange(m_keys, other.m_keys));
    return *this;
}

Dict::KeySet::~KeySet()
{
    releaseKeys(m_keys);
}

qsizetype Dict::KeySet::size() const
{
    return qsizetype(m_keys->count);
}

const QString &Dict::KeySet::at(qsizetype i) const
{
    return m_keys->keys()[i];
}

qsizetype Dict::KeySet::indexOf(const QString &key) const
{
    return quillcast::indexOf(*m_keys, key);
}

// --- Dictionaries -----------------------------------------------------------------

Dict::Dict(Version *adopted) : m_d(new Data)
{
    m_d->current = adopted;
}

Dict::Dict() : Dict(retainedEmptyVersion())
{
}

Dict::Dict(Entries entries) : Dict(versionOf(normalised(std::move(entries))))
{
}

Dict::Dict(std::initializer_list<Entry> entries) : Dict(Entries(entries))
{
}

Dict::Dict(const KeySet &keys, std::span<Value> values) : m_d(nullptr)
{
    const quint32 count = keys.m_keys->count;
    Q_ASSERT(values.size() >= count);
    const bool complete = std::none_of(values.begin(), values.begin() + count, [](const Value &v) { return v.isNull(); });
    if (!complete) {
        // A row shorter than others: only the keys it has a value for.
        Entries entries;
        for (quint32 i = 0; i < count; ++i) {
            if (!values[i].isNull())
                entries.emplace_back(keys.at(i), std::move(values[i]));
        }
        Version *v = versionOf(std::move(entries));
        m_d = new Data;
        m_d->current = v;
        return;
    }
    retainKeys(keys.m_keys);
    m_d = allocateWithVersion(keys.m_keys);
    Value *stored = m_d->current->values();
    for (quint32 i = 0; i < count; ++i)
        new (&stored[i]) Value(std::move(values[i]));
}

Dict::Dict(const Dict &other) noexcept : m_d(other.m_d)
{
    if (m_d)
        m_d->handles.fetch_add(1, std::memory_order_relaxed);
}

Dict &Dict::operator=(const Dict &other) noexcept
{
    Dict copy(other);
    std::swap(m_d, copy.m_d);
    return *this;
}

Dict &Dict::operator=(Dict &&other) noexcept
{
    Dict taken(std::move(other));
    std::swap(m_d, taken.m_d);
    return *this;
}

Dict::~Dict()
{
    if (!m_d || m_d->handles.fetch_sub(1, std::memory_order_acq_rel) != 1)
        return;
    releaseVersion(m_d->current);
    // A block's Data is held by itself until here, so this cannot read 0
    // for one.
    if (m_d->blockHolders.load(std::memory_order_acquire) != 0)
        releaseBlock(m_d);
    else
        delete m_d;
}

Dict::Snapshot Dict::snapshot() const
{
    return Snapshot(current());
}

Value Dict::value(const QString &key) const
{
    return snapshot().value(key);
}

bool Dict::contains(const QString &key) const
{
    return snapshot().contains(key);
}

qsizetype Dict::size() const
{
    SpinGuard guard(m_d->busy);
    return qsizetype(m_d->current->count);
}

QStringList Dict::keys() const
{
    const VersionRef v = current();
    QStringList out;
    out.reserve(qsizetype(v->count));
    const QString *keys = v->keys->keys();
    for (quint32 i = 0; i < v->count; ++i)
        out.append(keys[i]);
    return out;
}


bool Dict::boolValue(const QString &key) const
{
    return readOne(*m_d, key, [](const Value &v) { return v.toBool(); });
}

qint64 Dict::intValue(const QString &key) const
{
    return readOne(*m_d, key, [](const Value &v) { return v.toInt64(); });
}

QString Dict::stringValue(const QString &key) const
{
    return snapshot().value(key).toString();
}

bool Dict::set(const QString &key, const Value &value)
{
    if (value.isNull())
        return remove(key);
    if (isPlainScalar(value.type())) {
        // A flag or a number over another in a version that only the
        // dictionary holds: replaced where it stands, in one turn of the lock.
        SpinGuard guard(m_d->busy);
        Version *cur = m_d->current;
        if (holdersOf(*cur) == 1) {
            const qsizetype at = indexOf(*cur->keys, key);
            Value *stored = at < 0 ? nullptr : &cur->values()[at];
            if (stored && isPlainScalar(stored->type())) {
                if (stored->type() == value.type() && *stored == value)
                    return false;
                *stored = value; // plain bits either way: nothing to release under the lock
                return true;
            }
        }
    }
    VersionRef cur = current();
    for (;;) {
        const quint32 at = lowerBound(*cur->keys, key);
        const bool present = at < cur->count && sameKey(cur->keys->keys()[at], key);
        Version *next = nullptr;
        if (present) {
            Value &stored = cur->values()[at];
            // Writing what is already there changes nothing: no new version.
            if (stored.type() == value.type() && stored == value)
                return false;
            Value incoming(value);
            {
                SpinGuard guard(m_d->busy);
                // Held by the dictionary and by this call only: nobody reads
                // this version, and nobody can start to without the lock.
                if (m_d->current == cur.get() && holdersOf(*cur.get()) == 2) {
                    stored.swap(incoming);
                    return true; // the replaced value goes after the lock, with `incoming`
                }
            }
            next = withReplaced(*cur.get(), at, value);
        } else {
            next = withInserted(*cur.get(), at, key, value);
        }
        if (install(cur, next))
            return true;
    }
}

bool Dict::remove(const QString &key)
{
    VersionRef cur = current();
    for (;;) {
        const qsizetype at = indexOf(*cur->keys, key);
        if (at < 0)
            return false;
        if (install(cur, withRemoved(*cur.get(), quint32(at))))
            return true;
    }
}

void Dict::clear()
{
    store(retainedEmptyVersion());
}

void Dict::replaceEntries(Entries entries)
{
    store(versionOf(normalised(std::move(entries))));
}

Dict Dict::deepCopy() const
{
    const VersionRef from = current();
    retainKeys(from->keys);
    Version *copy = allocateVersion(from->keys);
    const Value *old = from->values();
    Value *values = copy->values();
    for (quint32 i = 0; i < copy->count; ++i) {
        if (const Dict *d = old[i].asDict())
            new (&values[i]) Value(d->deepCopy());
        else if (old[i].isList())
            new (&values[i]) Value(old[i].toList().deepCopy());
        else
            new (&values[i]) Value(old[i]);
    }
    return Dict(copy);
}

} // namespace quillcast
