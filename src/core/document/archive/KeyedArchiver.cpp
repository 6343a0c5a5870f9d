#include "document/archive/KeyedArchiver.h"

#include "document/archive/KeyedUnarchiver.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// Milliseconds from the Unix epoch to the platform's reference date, 2001-01-01 UTC.
constexpr qint64 referenceDateMSecs = 978307200000LL;

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

} // namespace

Result<QByteArray> KeyedArchiver::archive(const Value &root)
{
    if (!root.isDict())
        return Result<QByteArray>::failure(u"the root must be a dictionary"_s);

    KeyedArchiver a;
    a.m_objects.push_back(a.m_plist.string(u"$null"));
    const Uid rootUid = a.encode(root, 1);
    if (!a.m_error.isEmpty())
        return Result<QByteArray>::failure(a.m_error);

    const Ref objects = a.m_plist.array(a.m_objects);
    const std::array<std::pair<Ref, Ref>, 1> topEntries{{{a.fixedString(u"root"_s), a.uidRef(rootUid)}}};
    const Ref top = a.m_plist.dict(topEntries);
    const std::array<std::pair<Ref, Ref>, 4> rootEntries{{
        {a.fixedString(u"$archiver"_s), a.fixedString(u"NSKeyedArchiver"_s)},
        {a.fixedString(u"$objects"_s), objects},
        {a.fixedString(u"$top"_s), top},
        {a.fixedString(u"$version"_s), a.m_plist.integer(100000)},
    }};
    return a.m_plist.finish(a.m_plist.dict(rootEntries));
}

bool KeyedArchiver::fail(const QString &message)
{
    if (m_error.isEmpty())
        m_error = message;
    return false;
}

KeyedArchiver::Uid KeyedArchiver::newSlot()
{
    const Uid uid = Uid(m_objects.size());
    m_objects.push_back(0); // filled in once the object is written
    return uid;
}

KeyedArchiver::Ref KeyedArchiver::uidRef(Uid uid)
{
    if (uid >= m_uidRefs.size())
        m_uidRefs.resize(size_t(uid) + 1, std::numeric_limits<Ref>::max());
    Ref &ref = m_uidRefs[uid];
    if (ref == std::numeric_limits<Ref>::max())
        ref = m_plist.uid(uid);
    return ref;
}

std::vector<KeyedArchiver::Ref> KeyedArchiver::uidRefs(const std::vector<Uid> &uids)
{
    std::vector<Ref> refs;
    refs.reserve(uids.size());
    for (Uid uid : uids)
        refs.push_back(uidRef(uid));
    return refs;
}

KeyedArchiver::Ref KeyedArchiver::fixedString(const QString &s)
{
    auto it = m_fixedStrings.constFind(s);
    if (it != m_fixedStrings.constEnd())
        return *it;
    const Ref ref = m_plist.string(s);
    m_fixedStrings.insert(s, ref);
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

KeyedArchiver::Uid KeyedArchiver::classUid(const QString &name, const QStringList &chain)
{
    auto it = m_classes.constFind(name);
    if (it != m_classes.constEnd())
        return *it;
    const Uid uid = newSlot();
    m_classes.insert(name, uid);
    std::vector<Ref> names;
    names.reserve(size_t(chain.size()));
    for (const QString &c : chain)
        names.push_back(fixedString(c));
    const std::array<std::pair<Ref, Ref>, 2> entries{{
        {fixedString(u"$classes"_s), m_plist.array(names)},
        {fixedString(u"$classname"_s), fixedString(name)},
    }};
    m_objects[uid] = m_plist.dict(entries);
    return uid;
}

KeyedArchiver::Uid KeyedArchiver::encode(const Value &v, int depth)
{
    switch (v.type()) {
    case Value::Type::Null:
        return 0;
    case Value::Type::Bool: {
        const bool b = v.toBool();
        Uid &slot = m_booleans[b ? 1 : 0];
        if (slot == 0) {
            slot = newSlot();
            m_objects[slot] = m_plist.boolean(b);
        }
        return slot;
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
    case Value::Type::Real: {
        const double r = v.toDouble();
        quint64 bits;
        std::memcpy(&bits, &r, sizeof bits);
        auto it = m_reals.constFind(bits);
        if (it != m_reals.constEnd())
            return *it;
        const Uid uid = newSlot();
        m_objects[uid] = m_plist.real(r);
        m_reals.insert(bits, uid);
        return uid;
    }
    case Value::Type::String:
        return encodeString(v.toString(), false);
    case Value::Type::Date:
        return encodeDate(v.toDateTime());
    case Value::Type::Bytes: {
        const Uid uid = newSlot();
        m_objects[uid] = m_plist.data(v.toBytes());
        return uid;
    }
    case Value::Type::List:
        return encodeList(v.toList(), depth);
    case Value::Type::Dict:
        return encodeDict(v.toDict(), depth);
    }
    return 0;
}

KeyedArchiver::Uid KeyedArchiver::encodeInteger(qint64 i)
{
    auto it = m_integers.constFind(i);
    if (it != m_integers.constEnd())
        return *it;
    const Uid uid = newSlot();
    m_objects[uid] = m_plist.integer(i);
    m_integers.insert(i, uid);
    return uid;
}

KeyedArchiver::Uid KeyedArchiver::encodeString(const QString &s, bool merge)
{
    Uid *slot = nullptr;
    if (s.isEmpty()) {
        slot = &m_emptyString;
    } else if (merge) {
        auto it = m_keys.find(s);
        if (it == m_keys.end())
            it = m_keys.insert(s, 0);
        slot = &*it;
    }
    if (slot && *slot != 0)
        return *slot;

    const Uid uid = newSlot();
    if (slot)
        *slot = uid;
    if (s == u"$null") {
        // A referenced string "$null" means "no value" to every reader; inside
        // a string object the text is inline and stays text.
        const Uid cls = classUid(u"NSMutableString"_s, {u"NSMutableString"_s, u"NSString"_s, u"NSObject"_s});
        const std::array<std::pair<Ref, Ref>, 2> entries{{
            {fixedString(u"NS.string"_s), m_plist.string(s)},
            {fixedString(u"$class"_s), uidRef(cls)},
        }};
        m_objects[uid] = m_plist.dict(entries);
    } else {
        m_objects[uid] = m_plist.string(s);
    }
    return uid;
}

KeyedArchiver::Uid KeyedArchiver::encodeDate(const QDateTime &d)
{
    const std::optional<double> seconds = referenceSeconds(d);
    if (!seconds)
        return 0;
    const Uid uid = newSlot();
    const Uid cls = classUid(u"NSDate"_s, {u"NSDate"_s, u"NSObject"_s});
    const std::array<std::pair<Ref, Ref>, 2> entries{{
        {fixedString(u"NS.time"_s), m_plist.real(*seconds)},
        {fixedString(u"$class"_s), uidRef(cls)},
    }};
    m_objects[uid] = m_plist.dict(entries);
    return uid;
}

KeyedArchiver::Uid KeyedArchiver::encodeDict(const Dict &d, int depth)
{
    auto it = m_containers.constFind(d.identity());
    if (it != m_containers.constEnd()) {
        if (!it->done)
            fail(u"a list or dictionary contains itself"_s);
        return it->uid;
    }
    if (depth > KeyedUnarchiver::maxDepth) {
        fail(u"nesting deeper than %1 levels"_s.arg(KeyedUnarchiver::maxDepth));
        return 0;
    }
    const Uid uid = newSlot();
    m_containers.insert(d.identity(), Slot{uid, false});

    const Dict::EntryRange record = d.snapshot().entries();
    std::vector<qsizetype> present;
    present.reserve(size_t(record.size()));
    for (qsizetype i = 0; i < record.size(); ++i) {
        if (!isAbsent(record[i].second))
            present.push_back(i);
    }
    // All keys first, then the values, as Foundation does.
    std::vector<Uid> keys;
    keys.reserve(present.size());
    for (qsizetype i : present)
        keys.push_back(encodeKey(record[i].first, keys.size()));
    std::vector<Uid> values;
    values.reserve(present.size());
    for (qsizetype i : present) {
        values.push_back(encode(record[i].second, depth + 1));
        if (!m_error.isEmpty())
            return 0;
    }

    // UID 0 is $null, never a class.
    if (m_dictClass == 0)
        m_dictClass = classUid(u"NSMutableDictionary"_s, {u"NSMutableDictionary"_s, u"NSDictionary"_s, u"NSObject"_s});
    const Uid cls = m_dictClass;
    const std::array<std::pair<Ref, Ref>, 3> entries{{
        {fixedString(m_nsKeysRef, u"NS.keys"_s), m_plist.array(uidRefs(keys))},
        {fixedString(m_nsObjectsRef, u"NS.objects"_s), m_plist.array(uidRefs(values))},
        {fixedString(m_classRef, u"$class"_s), uidRef(cls)},
    }};
    m_objects[uid] = m_plist.dict(entries);
    m_containers[d.identity()].done = true;
    return uid;
}

KeyedArchiver::Uid KeyedArchiver::encodeList(const List &l, int depth)
{
    auto it = m_containers.constFind(l.identity());
    if (it != m_containers.constEnd()) {
        if (!it->done)
            fail(u"a list or dictionary contains itself"_s);
        return it->uid;
    }
    if (depth > KeyedUnarchiver::maxDepth) {
        fail(u"nesting deeper than %1 levels"_s.arg(KeyedUnarchiver::maxDepth));
        return 0;
    }
    const Uid uid = newSlot();
    m_containers.insert(l.identity(), Slot{uid, false});

    // A copy of the handles, so that no lock is held while the items are written.
    const List::Items items = l.items();
    std::vector<Uid> values;
    values.reserve(items.size());
    for (const Value &item : items) {
        values.push_back(isAbsent(item) ? 0 : encode(item, depth + 1));
        if (!m_error.isEmpty())
            return 0;
    }

    if (m_arrayClass == 0)
        m_arrayClass = classUid(u"NSMutableArray"_s, {u"NSMutableArray"_s, u"NSArray"_s, u"NSObject"_s});
    const Uid cls = m_arrayClass;
    const std::array<std::pair<Ref, Ref>, 2> entries{{
        {fixedString(m_nsObjectsRef, u"NS.objects"_s), m_plist.array(uidRefs(values))},
        {fixedString(m_classRef, u"$class"_s), uidRef(cls)},
    }};
    m_objects[uid] = m_plist.dict(entries);
    m_containers[l.identity()].done = true;
    return uid;
}

} // namespace quillcast
