#include "document/archive/KeyedUnarchiver.h"

#include "document/archive/BinaryPlistValidator.h"

#include <QDateTime>

#include <cmath>
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

} // namespace

KeyedUnarchiver::KeyedUnarchiver(BinaryPlist::Items objects, const PagesRead &pagesRead)
    : m_objects(objects), m_pagesRead(pagesRead), m_state(m_objects.size(), Unread)
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
    std::thread checker([&] {
        checked = BinaryPlistValidator::validate(bytes, pagesRead);
        if (!checked)
            checkFailed.store(true, std::memory_order_relaxed);
    });
    // A file that passes the check decodes with far less work than this
    // (each object at most twice, the tree it expands to at most one node
    // per byte and four bytes of text per byte): the bound keeps a hostile
    // file from making the decoding grow before the check has refused it.
    const quint64 budget = 16 * quint64(bytes.size()) + 65536;
    bool overBudget = false;
    Result<Value> value = decode(plist.value(), pagesRead, &checkFailed, budget, &overBudget);
    checker.join();
    // The check's refusal comes first, as when it runs before the decoding.
    if (!checked)
        return Result<Value>::failure(checked.error());
    if (overBudget)
        return decode(plist.value(), pagesRead, nullptr, 0, nullptr);
    return value;
}

Result<Value> KeyedUnarchiver::decode(const BinaryPlist &plist, const PagesRead &pagesRead,
                                      const std::atomic<bool> *checkFailed, quint64 budget, bool *overBudget)
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
    reader.m_checkFailed = checkFailed;
    reader.m_budget = budget;
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
        return m_kept[state - FirstKept];
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
        m_kept.push_back(value);
        m_state[uid] = quint32(m_kept.size() - 1) + FirstKept;
    } else {
        m_state[uid] = DecodedOnce;
    }
    return value;
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

    Dict::Entries entries;
    entries.reserve(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        const Value key = decodeReference(keys[i], depth + 1, uid);
        if (!m_error.isEmpty())
            return Value();
        if (!key.isString())
            return fail(u"dictionary %1 has a key that is not a string"_s.arg(uid));
        if (m_pools.size() <= i)
            m_pools.resize(i + 1);
        Value value = decodeReference(values[i], depth + 1, uid, &m_pools[i]);
        if (!m_error.isEmpty())
            return Value();
        // A key without a value is no entry at all.
        if (!value.isNull())
            entries.emplace_back(*key.asString(), std::move(value));
    }
    return Value(Dict(std::move(entries)));
}

Value KeyedUnarchiver::decodeArray(quint64 uid, Node node, int depth, Node itemArray)
{
    if (depth > maxDepth)
        return fail(u"nesting deeper than %1 levels"_s.arg(maxDepth));
    std::vector<Node> refs;
    if (!itemArray.isNull()) {
        if (itemArray.kind() != Kind::Array)
            return fail(u"array %1 lacks its items"_s.arg(uid));
        const BinaryPlist::Items itemRefs = itemArray.items();
        refs.assign(itemRefs.begin(), itemRefs.end());
    } else if (!numberedItems(uid, node, u"NS.object."_s, refs)) {
        return Value();
    }
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
