#include "document/archive/KeyedUnarchiver.h"

#include "document/archive/BinaryPlistValidator.h"

#include <QDateTime>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

using Kind = BinaryPlist::Kind;

constexpr qint64 referenceDateMSecs = 978307200000LL; // 2001-01-01 UTC in Unix time

bool knownClass(const QString &name, quint8 &kind)
{
    static const QHash<QString, quint8> known{
        {u"NSDictionary"_s, 0}, {u"NSMutableDictionary"_s, 0},
        {u"NSArray"_s, 1},      {u"NSMutableArray"_s, 1},
        {u"NSString"_s, 2},     {u"NSMutableString"_s, 2},
        {u"NSDate"_s, 3},
        {u"NSData"_s, 4},       {u"NSMutableData"_s, 4},
    };
    auto it = known.constFind(name);
    if (it == known.constEnd())
        return false;
    kind = *it;
    return true;
}

// Two counts in one word, so that both ends of a split are claimed at once:
// the next item from the start (low half) and the end of what is left (high half).
constexpr quint64 packClaims(quint64 front, quint64 back)
{
    return front | (back << 32);
}

} // namespace

// A large array of records decoded from both ends. The second core's items
// go into their places in items and are marked in helped; what it leaves
// undone, the first core decodes after it.
struct KeyedUnarchiver::Split
{
    BinaryPlist::Items objects;
    BinaryPlist::Items refs;
    int depth = 0; // the items'
    List::Items *items = nullptr;
    std::vector<char> helped;
    std::atomic<quint64> claims{0};
    std::atomic<bool> stop{false}; // the first core met an error
    bool active = false; // the second core is at it (under SecondCore's lock)

    // The next stretch from one end; false when the ends have met.
    bool claim(bool fromFront, size_t &from, size_t &to)
    {
        quint64 now = claims.load(std::memory_order_relaxed);
        for (;;) {
            const quint64 front = now & 0xFFFFFFFFu;
            const quint64 back = now >> 32;
            if (front >= back)
                return false;
            const quint64 next = fromFront ? packClaims(std::min(back, front + splitChunk), back)
                                           : packClaims(front, back - std::min(back - front, quint64(splitChunk)));
            if (claims.compare_exchange_weak(now, next, std::memory_order_relaxed)) {
                from = fromFront ? front : size_t(next >> 32);
                to = fromFront ? size_t(next & 0xFFFFFFFFu) : back;
                return true;
            }
        }
    }
};

// The second core of a two-core read: it checks the structure first, then,
// if the check passed, takes its share of each split array posted while the
// decoding lasts.
class KeyedUnarchiver::SecondCore
{
public:
    // On the second core, after the check: serve splits until finish().
    void serve()
    {
        std::unique_ptr<KeyedUnarchiver> helper;
        static const PagesRead none;
        std::unique_lock locked(m_lock);
        for (;;) {
            m_changed.wait(locked, [this] { return m_posted || m_finished; });
            if (!m_posted)
                break;
            Split *split = std::exchange(m_posted, nullptr);
            split->active = true;
            locked.unlock();
            if (!helper)
                helper.reset(new KeyedUnarchiver(split->objects, none));
            helper->help(*split);
            locked.lock();
            split->active = false;
            m_changed.notify_all();
        }
        m_gone = true;
        m_changed.notify_all();
    }
    // When the check failed: no splits taken.
    void refuse()
    {
        const std::lock_guard locked(m_lock);
        m_gone = true;
        m_changed.notify_all();
    }
    void finish()
    {
        const std::lock_guard locked(m_lock);
        m_finished = true;
        m_changed.notify_all();
    }
    // False when the second core will take no more.
    bool post(Split &split)
    {
        const std::lock_guard locked(m_lock);
        if (m_gone)
            return false;
        m_posted = &split;
        m_changed.notify_all();
        return true;
    }
    // Until the second core is done with split, having taken it or not.
    // The part it was to begin with, if it never took it, is left to the
    // first core with the rest.
    void wait(Split &split)
    {
        std::unique_lock locked(m_lock);
        m_changed.wait(locked, [&] { return (m_posted != &split && !split.active) || m_gone; });
        if (m_posted == &split)
            m_posted = nullptr;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    Split *m_posted = nullptr;
    bool m_finished = false;
    bool m_gone = false;
};

KeyedUnarchiver::KeyedUnarchiver(BinaryPlist::Items objects, const PagesRead &pagesRead)
    : m_objects(objects), m_pagesRead(pagesRead)
{
}

Result<Value> KeyedUnarchiver::unarchive(const QByteArray &bytes, const PagesRead &pagesRead, Cores cores)
{
    if (bytes.size() > maxFileSize)
        return Result<Value>::failure(u"the file is larger than %1 MB"_s.arg(maxFileSize / (1024 * 1024)));
    const bool twoCores = cores == Cores::Two || (cores == Cores::BySize && bytes.size() >= twoCoresFrom);
    if (!twoCores) {
        const Result<BinaryPlist> plist = BinaryPlist::parse(bytes, pagesRead);
        if (!plist)
            return Result<Value>::failure(plist.error());
        return decode(plist.value(), pagesRead, nullptr, 0, nullptr);
    }

    // The header and trailer are all the reads need; the walk of the
    // structure, a quarter of the open, runs on the other core meanwhile.
    const Result<BinaryPlist> plist = BinaryPlist::open(bytes);
    if (!plist)
        return Result<Value>::failure(plist.error());
    std::atomic<bool> checkFailed{false};
    Status checked = success();
    SecondCore secondCore;
    std::thread checker([&] {
        checked = BinaryPlistValidator::validate(bytes, pagesRead);
        if (!checked) {
            checkFailed.store(true, std::memory_order_relaxed);
            secondCore.refuse();
        } else {
            secondCore.serve();
        }
    });
    const quint64 budget = workBudget(bytes.size());
    bool overBudget = false;
    Result<Value> value = decode(plist.value(), pagesRead, &checkFailed, budget, &overBudget, &secondCore);
    secondCore.finish();
    checker.join();
    // The check's refusal comes first, as when it runs before the decoding.
    if (!checked)
        return Result<Value>::failure(checked.error());
    if (overBudget)
        return decode(plist.value(), pagesRead, nullptr, 0, nullptr);
    return value;
}

quint64 KeyedUnarchiver::workBudget(qsizetype fileSize)
{
    // Each object at most twice, the tree it expands to at most one node per
    // byte and four bytes of text per byte.
    return 16 * quint64(fileSize) + 65536;
}

Result<Value> KeyedUnarchiver::unarchiveLeaving(const BinaryPlist &plist, qsizetype fileSize,
                                                const std::atomic<bool> &checkFailed, LeftInFile &left)
{
    left.found.assign(size_t(left.keys.size()), false);
    left.uids.assign(size_t(left.keys.size()), 0);
    bool overBudget = false;
    Result<Value> root = decode(plist, {}, &checkFailed, workBudget(fileSize), &overBudget, nullptr, &left);
    if (overBudget)
        return Result<Value>::failure(u"the archive expands beyond the size of the file"_s);
    return root;
}

Result<Value> KeyedUnarchiver::decode(const BinaryPlist &plist, const PagesRead &pagesRead,
                                      const std::atomic<bool> *checkFailed, quint64 budget, bool *overBudget,
                                      SecondCore *secondCore, LeftInFile *left)
{
    const Node top = plist.root();
    if (top.kind() != Kind::Dict)
        return Result<Value>::failure(u"not a keyed archive (no dictionary at the top)"_s);
    const Node archiver = top.value("$archiver");
    if (archiver.isNull())
        return Result<Value>::failure(u"not a keyed archive ($archiver missing)"_s);
    if (archiver.kind() != Kind::String || archiver.toString() != u"NSKeyedArchiver")
        return Result<Value>::failure(
            u"not a keyed archive ($archiver is \"%1\")"_s.arg(archiver.toString().left(40)));
    const Node root = top.value("$top").value("root");
    if (root.kind() != Kind::Uid)
        return Result<Value>::failure(u"not a keyed archive ($top has no root)"_s);
    const Node objects = top.value("$objects");
    if (objects.kind() != Kind::Array)
        return Result<Value>::failure(u"not a keyed archive ($objects missing)"_s);

    KeyedUnarchiver reader(objects.items(), pagesRead);
    // Zeroed by the system as it is first touched: a read that decodes only
    // some objects (the root of a mailing opened to be exported) does not
    // clear a word for every object of the file.
    static_assert(Unread == 0);
    const size_t words = std::max<size_t>(reader.m_objects.size(), 1);
    reader.m_state.reset(static_cast<quint32 *>(std::calloc(words, sizeof(quint32))));
    if (!reader.m_state)
        throw std::bad_alloc();
    reader.m_secondCore = secondCore;
    reader.m_checkFailed = checkFailed;
    reader.m_budget = budget;
    reader.m_left = left;
    Value value = reader.decodeUid(root.toUid(), 1);
    if (overBudget)
        *overBudget = reader.m_stopped && !(checkFailed && checkFailed->load(std::memory_order_relaxed));
    if (!reader.m_error.isEmpty())
        return Result<Value>::failure(reader.m_error);
    if (value.isNull())
        return Result<Value>::failure(u"the archive has no root object"_s);
    if (!value.isDict())
        return Result<Value>::failure(u"the root object is not a dictionary"_s);
    return value;
}

bool KeyedUnarchiver::spend(quint64 work)
{
    m_spent += work;
    if (m_budget == 0 || m_spent <= m_budget)
        return true;
    m_stopped = true;
    fail(u"the archive expands beyond the size of the file"_s);
    return false;
}

Value KeyedUnarchiver::fail(const QString &message)
{
    if (m_error.isEmpty())
        m_error = message;
    return Value();
}

Value KeyedUnarchiver::decodeUid(quint64 uid, int depth, ColumnValuePool *pool)
{
    if (uid >= m_objects.size())
        return fail(u"reference %1 out of range (%2 objects)"_s.arg(uid).arg(m_objects.size()));
    // UID 0 is "$null", no value, whatever the file put there.
    if (uid == 0)
        return Value();
    const quint32 state = m_state[uid];
    if (state >= FirstKept)
        return kept(state);
    if (state == Reading)
        return fail(u"reference cycle at object %1"_s.arg(uid));
    m_state[uid] = Reading;
    // Some 3 MB of a mailing's file between two calls.
    if ((++m_decoded & 0xFFFF) == 0) {
        if (m_pagesRead)
            m_pagesRead();
        if (m_checkFailed && m_checkFailed->load(std::memory_order_relaxed)) {
            m_stopped = true;
            return fail(u"the structure check failed"_s);
        }
    }
    if (!spend(1))
        return Value();
    Value value = decodeObject(uid, m_objects[uid], depth, pool);
    if (!m_error.isEmpty())
        return Value();
    // A list or dictionary is kept, so that every reference to it is the one
    // object. A text or number is decoded again when referred to a second
    // time and kept from then on (a dictionary key, typically): most are
    // referred to once, and a slot for every object of a million records
    // would cost more memory than the values.
    if (state == DecodedOnce || value.isDict() || value.isList()) {
        keep(uid, value);
    } else {
        m_state[uid] = DecodedOnce;
    }
    return value;
}

static_assert(sizeof(Dict) == sizeof(void *), "a borrowed Dict is copied as the one pointer it is");

quint32 KeyedUnarchiver::BorrowedDicts::add(const Dict &dict)
{
    if (m_count % chunk == 0)
        m_chunks.emplace_back(new Slot[chunk]);
    // A byte copy, as a Dict is one pointer: a handle that is never released.
    std::memcpy(m_chunks.back()[m_count % chunk].bytes, static_cast<const void *>(&dict), sizeof(Dict));
    return m_count++;
}

Value KeyedUnarchiver::BorrowedDicts::at(quint32 index) const
{
    return Value(*std::launder(reinterpret_cast<const Dict *>(m_chunks[index / chunk][index % chunk].bytes)));
}

void KeyedUnarchiver::keep(quint64 uid, const Value &value)
{
    // The low bit tells the two tables apart. Lists are few (the record
    // lists, attachments): they are simply held.
    if (const Dict *dict = value.asDict()) {
        m_state[uid] = (m_dicts.add(*dict) << 1 | 1) + FirstKept;
    } else {
        m_kept.push_back(value);
        m_state[uid] = (quint32(m_kept.size() - 1) << 1) + FirstKept;
    }
}

Value KeyedUnarchiver::kept(quint32 state) const
{
    const quint32 at = state - FirstKept;
    return at & 1 ? m_dicts.at(at >> 1) : m_kept[at >> 1];
}

Value KeyedUnarchiver::decodeReference(Node node, int depth, quint64 owner, ColumnValuePool *pool)
{
    quint64 uid = 0;
    if (!node.readUid(uid))
        return fail(u"object %1 holds a value where a reference belongs"_s.arg(owner));
    return decodeUid(uid, depth, pool);
}

Value KeyedUnarchiver::decodeObject(quint64 uid, Node node, int depth, ColumnValuePool *pool)
{
    // A record's value, most often text, read without asking its kind first.
    // An empty text is left to the path below, which makes it as it always has.
    if (pool && node.readString(m_scratch) && !m_scratch.isEmpty()) {
        if (!spend(quint64(m_scratch.size())))
            return Value();
        if (m_scratch.size() == 5 && m_scratch == u"$null")
            return Value();
        return Value(pool->take(m_scratch));
    }
    switch (node.kind()) {
    case Kind::String: {
        QString s = node.toString();
        if (!spend(quint64(s.size())))
            return Value();
        if (s == u"$null")
            return Value();
        return Value(std::move(s));
    }
    case Kind::Integer:
        return Value(node.toInteger());
    case Kind::Real:
        return Value(node.toReal());
    case Kind::Bool:
        return Value(node.toBool());
    case Kind::Data: {
        QByteArray bytes = node.toData();
        if (!spend(quint64(bytes.size())))
            return Value();
        return Value(std::move(bytes));
    }
    case Kind::Date:
        return decodeDate(uid, node, depth);
    case Kind::Dict: {
        // Collections stop at maxDepth themselves; this also bounds chains
        // of other objects that refer to each other (a string object whose
        // text is another string object...), allowing one level for the
        // date or string object inside the deepest collection.
        if (depth > maxDepth + 1)
            return fail(u"nesting deeper than %1 levels"_s.arg(maxDepth));
        // The entries every collection has, found in one pass.
        static const char *const names[] = {"$class", "NS.keys", "NS.objects"};
        Node found[3];
        node.values(names, found);
        ClassKind kind;
        if (!classOf(uid, found[0], kind))
            return Value();
        switch (kind) {
        case ClassKind::Dictionary:
            return decodeDictionary(uid, node, depth, found[1], found[2]);
        case ClassKind::Array:
            return decodeArray(uid, node, depth, found[2]);
        case ClassKind::String:
            return decodeString(uid, node, depth);
        case ClassKind::Date:
            return decodeDate(uid, node, depth);
        case ClassKind::Data:
            return decodeData(uid, node, depth);
        }
        return Value();
    }
    case Kind::Uid:
        return fail(u"object %1 is a reference, not a value"_s.arg(uid));
    case Kind::Array:
        return fail(u"object %1 is a bare array, not an archived object"_s.arg(uid));
    case Kind::Other:
        break;
    }
    return fail(u"object %1 is of an unknown kind"_s.arg(uid));
}

bool KeyedUnarchiver::classOf(quint64 uid, Node classRef, ClassKind &kind)
{
    quint64 classUid = 0;
    if (!classRef.readUid(classUid)) {
        fail(u"object %1 has no class"_s.arg(uid));
        return false;
    }
    auto cached = m_classes.constFind(classUid);
    if (cached != m_classes.constEnd()) {
        kind = *cached;
        return true;
    }
    if (classUid >= m_objects.size()) {
        fail(u"reference %1 out of range (%2 objects)"_s.arg(classUid).arg(m_objects.size()));
        return false;
    }
    const Node description = m_objects[classUid];
    const Node name = description.value("$classname");
    if (name.kind() != Kind::String) {
        fail(u"object %1 is not a class description"_s.arg(classUid));
        return false;
    }
    // Foundation writes private subclasses under their own name; "$classes"
    // lists the superclasses, one of which we know.
    quint8 found = 0;
    bool known = knownClass(name.toString(), found);
    if (!known) {
        for (const Node &super : description.value("$classes").items()) {
            if (super.kind() == Kind::String && knownClass(super.toString(), found)) {
                known = true;
                break;
            }
        }
    }
    if (!known) {
        fail(u"object %1 is of the unsupported class \"%2\""_s.arg(uid).arg(name.toString().left(60)));
        return false;
    }
    kind = ClassKind(found);
    m_classes.insert(classUid, kind);
    return true;
}

bool KeyedUnarchiver::numberedItems(quint64 uid, Node node, const QString &prefix, std::vector<Node> &out)
{
    // Older archives spell a collection as "NS.object.0", "NS.object.1"...
    const auto entries = node.entries();
    quint64 work = entries.size();
    for (const auto &entry : entries)
        work += quint64(entry.first.size());
    if (!spend(work))
        return false;
    std::vector<Node> slots(entries.size());
    size_t count = 0;
    for (const auto &[name, value] : entries) {
        if (!name.startsWith(prefix))
            continue;
        bool ok = false;
        const qulonglong index = QStringView(name).mid(prefix.size()).toULongLong(&ok);
        if (!ok || index >= slots.size() || !slots[index].isNull()) {
            fail(u"object %1 has a malformed entry \"%2\""_s.arg(uid).arg(name.left(60)));
            return false;
        }
        slots[index] = value;
        ++count;
    }
    for (size_t i = 0; i < count; ++i) {
        if (slots[i].isNull()) {
            fail(u"object %1 lacks the entry \"%2%3\""_s.arg(uid).arg(prefix).arg(i));
            return false;
        }
    }
    slots.resize(count);
    out = std::move(slots);
    return true;
}

Value KeyedUnarchiver::decodeDictionary(quint64 uid, Node node, int depth, Node keyArray, Node valueArray)
{
    if (depth > maxDepth)
        return fail(u"nesting deeper than %1 levels"_s.arg(maxDepth));
    if (!keyArray.isNull() || !valueArray.isNull()) {
        if (keyArray.kind() != Kind::Array || valueArray.kind() != Kind::Array)
            return fail(u"dictionary %1 lacks its keys or values"_s.arg(uid));
        // Read from the file's reference lists as they stand.
        return decodeEntries(uid, depth, keyArray.items(), valueArray.items());
    }
    std::vector<Node> keys;
    std::vector<Node> values;
    if (!numberedItems(uid, node, u"NS.key."_s, keys) || !numberedItems(uid, node, u"NS.object."_s, values))
        return Value();
    return decodeEntries(uid, depth, keys, values);
}

template<typename Refs>
Value KeyedUnarchiver::decodeEntries(quint64 uid, int depth, const Refs &keys, const Refs &values)
{
    if (keys.size() != values.size())
        return fail(u"dictionary %1 has %2 keys but %3 values"_s.arg(uid).arg(keys.size()).arg(values.size()));
    if (!spend(2 * keys.size()))
        return Value();

    Level &level = m_levels[size_t(depth)]; // depth <= maxDepth: see decodeDictionary
    const bool keysAreReferences = !keys.empty() && readKeyUids(keys, level);
    if (keysAreReferences && level.hasShape()) {
        if (m_pools.size() < keys.size())
            m_pools.resize(keys.size());
        level.values.resize(keys.size());
        for (size_t i = 0; i < keys.size(); ++i) {
            Value value = decodeReference(values[i], depth + 1, uid, &m_pools[i]);
            if (!m_error.isEmpty())
                return Value();
            if (value.isDict() || value.isList())
                m_owned.push_back(value);
            level.values[level.shape.places[i]] = std::move(value);
        }
        // A key without a value is no entry at all: the key set's
        // dictionary leaves out the keys whose values are null.
        return Value(Dict(level.shape.keys, std::span<Value>(level.values)));
    }

    Dict::Entries entries;
    entries.reserve(keys.size());
    level.keyTexts.clear();
    for (size_t i = 0; i < keys.size(); ++i) {
        const Value key = decodeReference(keys[i], depth + 1, uid);
        if (!m_error.isEmpty())
            return Value();
        if (!key.isString())
            return fail(u"dictionary %1 has a key that is not a string"_s.arg(uid));
        level.keyTexts.push_back(*key.asString());
        // The root is the one dictionary at depth 1.
        if (depth == 1 && m_left) {
            if (const qsizetype left = m_left->keys.indexOf(*key.asString()); left >= 0) {
                m_left->found[size_t(left)] = true;
                m_left->uids[size_t(left)] = 0;
                values[i].readUid(m_left->uids[size_t(left)]);
                continue;
            }
        }
        if (m_pools.size() <= i)
            m_pools.resize(i + 1);
        Value value = decodeReference(values[i], depth + 1, uid, &m_pools[i]);
        if (!m_error.isEmpty())
            return Value();
        // A key without a value is no entry at all.
        if (value.isNull())
            continue;
        if (value.isDict() || value.isList())
            m_owned.push_back(value);
        entries.emplace_back(*key.asString(), std::move(value));
    }
    if (keysAreReferences)
        rememberShape(level);
    return Value(Dict(std::move(entries)));
}

template<typename Refs>
bool KeyedUnarchiver::readKeyUids(const Refs &keys, Level &level)
{
    level.keyUids.resize(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        if (!keys[i].readUid(level.keyUids[i]))
            return false;
    }
    return true;
}

void KeyedUnarchiver::rememberShape(Level &level)
{
    Shape &shape = level.shape;
    if (shape.keyUids == level.keyUids)
        return; // tried already, and no key set
    shape.keyUids = level.keyUids;
    shape.usable = false;
    const QStringList texts(level.keyTexts.begin(), level.keyTexts.end());
    Dict::KeySet set(texts);
    if (set.size() != texts.size())
        return;
    shape.places.resize(size_t(texts.size()));
    for (qsizetype i = 0; i < texts.size(); ++i)
        shape.places[size_t(i)] = quint32(set.indexOf(texts[i]));
    shape.keys = set;
    shape.usable = true;
}

Value KeyedUnarchiver::decodeArray(quint64 uid, Node node, int depth, Node itemArray)
{
    if (depth > maxDepth)
        return fail(u"nesting deeper than %1 levels"_s.arg(maxDepth));
    if (!itemArray.isNull()) {
        if (itemArray.kind() != Kind::Array)
            return fail(u"array %1 lacks its items"_s.arg(uid));
        const BinaryPlist::Items refs = itemArray.items();
        if (m_secondCore && refs.size() >= splitFrom && refs.size() < 0xFFFFFFFFu && worthSplitting(refs)) {
            if (!spend(refs.size()))
                return Value();
            return decodeSplit(uid, depth, refs);
        }
        return decodeItems(uid, depth, refs);
    }
    std::vector<Node> refs;
    if (!numberedItems(uid, node, u"NS.object."_s, refs))
        return Value();
    return decodeItems(uid, depth, refs);
}

template<typename Refs>
Value KeyedUnarchiver::decodeItems(quint64 uid, int depth, const Refs &refs)
{
    if (!spend(refs.size()))
        return Value();
    List::Items items;
    items.reserve(refs.size());
    for (const Node &ref : refs) {
        items.push_back(decodeReference(ref, depth + 1, uid));
        if (!m_error.isEmpty())
            return Value();
    }
    return Value(List(std::move(items)));
}

bool KeyedUnarchiver::worthSplitting(const BinaryPlist::Items &refs) const
{
    // A list of records met before (the send list after the database) is
    // a walk through the table of objects met, nothing to share; a few
    // samples from the second half tell.
    constexpr size_t samples = 16;
    const size_t half = refs.size() / 2;
    for (size_t k = 0; k < samples; ++k) {
        quint64 uid = 0;
        if (!refs[half + k * (refs.size() - half) / samples].readUid(uid) || uid >= m_objects.size() ||
            m_state[uid] != Unread)
            return false;
    }
    return true;
}

Value KeyedUnarchiver::decodeSplit(quint64 uid, int depth, const BinaryPlist::Items &refs)
{
    const size_t count = refs.size();
    List::Items items(count);
    Split split;
    split.objects = m_objects;
    split.refs = refs;
    split.depth = depth + 1;
    split.items = &items;
    split.helped.assign(count, 0);
    // The last stretch is the second core's from the start, so that it has
    // its share even when this core would be through before the check is.
    split.claims.store(packClaims(0, count - splitChunk), std::memory_order_relaxed);
    const bool posted = m_secondCore->post(split);
    if (!posted)
        split.claims.store(packClaims(0, count), std::memory_order_relaxed);

    size_t from = 0;
    size_t to = 0;
    while (m_error.isEmpty() && split.claim(true, from, to)) {
        for (size_t i = from; i < to; ++i) {
            items[i] = decodeReference(refs[i], depth + 1, uid);
            if (!m_error.isEmpty())
                break;
        }
    }
    if (!m_error.isEmpty())
        split.stop.store(true, std::memory_order_relaxed);
    // The records are the last of a mailing's file read in bulk, and their
    // memory peaks as they are done: what each core still holds of the file
    // is given back when this one is through with its share, and again when
    // the second is, so that it does not add to that peak.
    if (m_pagesRead)
        m_pagesRead();
    if (posted)
        m_secondCore->wait(split);
    if (posted && m_pagesRead)
        m_pagesRead();
    if (!m_error.isEmpty())
        return Value();

    // The rest in order, as one core would have gone on: a record the second
    // core decoded is the one object for every reference to it, the first
    // to reach the table of objects met; anything it left is decoded here,
    // with this core's checks and messages.
    const size_t rest = size_t(split.claims.load(std::memory_order_relaxed) >> 32);
    for (size_t i = rest; i < count; ++i) {
        quint64 item = 0;
        if (split.helped[i] && refs[i].readUid(item)) {
            if (item == 0)
                continue;
            const quint32 state = m_state[item];
            if (state >= FirstKept) {
                items[i] = kept(state);
                continue;
            }
            if (state == Unread) {
                keep(item, items[i]);
                continue;
            }
        }
        items[i] = decodeReference(refs[i], depth + 1, uid);
        if (!m_error.isEmpty())
            return Value();
    }
    return Value(List(std::move(items)));
}

void KeyedUnarchiver::help(Split &split)
{
    m_error.clear();
    List::Items &items = *split.items;
    size_t from = size_t(split.claims.load(std::memory_order_relaxed) >> 32);
    size_t to = split.refs.size();
    do {
        for (size_t i = from; i < to; ++i) {
            if (split.stop.load(std::memory_order_relaxed) || !plainRecord(split.refs[i], split.depth, items[i]))
                return;
            split.helped[i] = 1;
        }
    } while (split.claim(false, from, to));
}

bool KeyedUnarchiver::dictionaryParts(Node dictionary, Node &classRef, BinaryPlist::Items &keys,
                                      BinaryPlist::Items &values)
{
    if (dictionary.kind() != Kind::Dict)
        return false;
    static const char *const names[] = {"$class", "NS.keys", "NS.objects"};
    Node found[3];
    dictionary.values(names, found);
    if (found[1].kind() != Kind::Array || found[2].kind() != Kind::Array)
        return false;
    classRef = found[0];
    keys = found[1].items();
    values = found[2].items();
    return keys.size() == values.size();
}

bool KeyedUnarchiver::plainRecord(Node ref, int depth, Value &out)
{
    quint64 uid = 0;
    if (!ref.readUid(uid) || uid >= m_objects.size())
        return false;
    if (uid == 0) {
        out = Value();
        return true;
    }
    if (depth > maxDepth)
        return false;
    Node classRef;
    BinaryPlist::Items keys;
    BinaryPlist::Items values;
    if (!dictionaryParts(m_objects[uid], classRef, keys, values))
        return false;
    ClassKind kind;
    if (!classOf(uid, classRef, kind) || kind != ClassKind::Dictionary)
        return false;
    if (m_keyCache.size() < keys.size())
        m_keyCache.resize(keys.size(), {0, QString()});
    if (m_pools.size() < keys.size())
        m_pools.resize(keys.size());
    // One value as the first core reads it, or false for a kind this path
    // leaves to the first core (a list, a dictionary, a reference out of range).
    const auto plainValue = [&](Node valueRef, size_t i, Value &value) {
        quint64 valueUid = 0;
        if (!valueRef.readUid(valueUid) || valueUid >= m_objects.size())
            return false;
        if (valueUid == 0) {
            value = Value();
            return true;
        }
        const Node valueNode = m_objects[valueUid];
        switch (valueNode.kind()) {
        case Kind::String:
        case Kind::Integer:
        case Kind::Real:
        case Kind::Bool:
        case Kind::Data:
        case Kind::Date:
            break;
        default:
            return false;
        }
        // As the first core reads such a value: it keeps no state for it.
        value = decodeObject(valueUid, valueNode, depth + 1, &m_pools[i]);
        return m_error.isEmpty();
    };
    Level &level = m_levels[size_t(depth)];
    const bool keysAreReferences = !keys.empty() && readKeyUids(keys, level);
    if (keysAreReferences && level.hasShape()) {
        level.values.resize(keys.size());
        for (size_t i = 0; i < keys.size(); ++i) {
            if (!plainValue(values[i], i, level.values[level.shape.places[i]]))
                return false;
        }
        out = Value(Dict(level.shape.keys, std::span<Value>(level.values)));
        return true;
    }

    Dict::Entries entries;
    entries.reserve(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        quint64 keyUid = 0;
        if (!keys[i].readUid(keyUid) || keyUid == 0 || keyUid >= m_objects.size())
            return false;
        auto &[cachedUid, key] = m_keyCache[i];
        if (cachedUid != keyUid) {
            const Node keyNode = m_objects[keyUid];
            if (keyNode.kind() != Kind::String)
                return false;
            key = keyNode.toString();
            if (key == u"$null")
                return false;
            cachedUid = keyUid;
        }
        Value value;
        if (!plainValue(values[i], i, value))
            return false;
        if (!value.isNull())
            entries.emplace_back(key, std::move(value));
    }
    if (keysAreReferences) {
        level.keyTexts.clear();
        for (size_t i = 0; i < keys.size(); ++i)
            level.keyTexts.push_back(m_keyCache[i].second);
        rememberShape(level);
    }
    out = Value(Dict(std::move(entries)));
    return true;
}

Value KeyedUnarchiver::decodeString(quint64 uid, Node node, int depth)
{
    const Node text = node.value("NS.string");
    switch (text.kind()) {
    case Kind::String:
        // Inline text is text, "$null" included.
        if (QString s = text.toString(); spend(quint64(s.size())))
            return Value(std::move(s));
        return Value();
    case Kind::Uid: {
        const Value v = decodeUid(text.toUid(), depth + 1);
        if (!m_error.isEmpty())
            return Value();
        if (v.isNull() || v.isString())
            return Value(v.toString());
        break;
    }
    case Kind::Other:
        if (text.isNull())
            return Value(QString());
        break;
    default:
        break;
    }
    return fail(u"string object %1 holds no text"_s.arg(uid));
}

Value KeyedUnarchiver::decodeDate(quint64 uid, Node node, int depth)
{
    double seconds = 0;
    if (node.kind() == Kind::Date) {
        seconds = node.toDateSince2001();
    } else {
        const Node time = node.value("NS.time");
        switch (time.kind()) {
        case Kind::Real:
            seconds = time.toReal();
            break;
        case Kind::Integer:
            seconds = double(time.toInteger());
            break;
        case Kind::Uid: {
            const Value v = decodeUid(time.toUid(), depth + 1);
            if (!m_error.isEmpty())
                return Value();
            if (!v.isNumber())
                return fail(u"date object %1 has no time"_s.arg(uid));
            seconds = v.toDouble();
            break;
        }
        default:
            return fail(u"date object %1 has no time"_s.arg(uid));
        }
    }
    if (!std::isfinite(seconds) || std::abs(seconds) > maxDateSeconds)
        return fail(u"date object %1 is out of range"_s.arg(uid));
    const qint64 msecs = std::llround(seconds * 1000.0) + referenceDateMSecs;
    return Value(QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC));
}

Value KeyedUnarchiver::decodeData(quint64 uid, Node node, int depth)
{
    const Node bytes = node.value("NS.data");
    switch (bytes.kind()) {
    case Kind::Data:
        if (QByteArray data = bytes.toData(); spend(quint64(data.size())))
            return Value(std::move(data));
        return Value();
    case Kind::Uid: {
        const Value v = decodeUid(bytes.toUid(), depth + 1);
        if (!m_error.isEmpty())
            return Value();
        if (v.isNull() || v.type() == Value::Type::Bytes)
            return Value(v.toBytes());
        break;
    }
    case Kind::Other:
        if (bytes.isNull())
            return Value(QByteArray());
        break;
    default:
        break;
    }
    return fail(u"data object %1 holds no bytes"_s.arg(uid));
}

} // namespace quillcast
