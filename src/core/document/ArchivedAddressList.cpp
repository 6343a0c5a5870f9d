#include "document/ArchivedAddressList.h"

#include "document/DocumentFile.h"
#include "document/archive/BinaryPlistValidator.h"
#include "document/archive/KeyedUnarchiver.h"

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

using Kind = BinaryPlist::Kind;

// How often the reading looks whether the structure check has failed.
constexpr size_t kRecordsBetweenChecks = 8192;

// The kinds of value a record holds that an open takes as they are.
bool plainKind(Kind kind)
{
    return kind == Kind::String || kind == Kind::Integer || kind == Kind::Real || kind == Kind::Bool
        || kind == Kind::Data;
}

} // namespace

ArchivedAddressList::ArchivedAddressList(MappedFile file, BinaryPlist plist)
    : m_file(std::move(file)), m_plist(std::move(plist))
{
}

ArchivedAddressList::~ArchivedAddressList()
{
    if (m_checker.joinable())
        m_checker.join();
}

Result<std::shared_ptr<ArchivedAddressList>> ArchivedAddressList::open(const QString &path, qsizetype from)
{
    using Opened = Result<std::shared_ptr<ArchivedAddressList>>;
    Result<MappedFile> file = MappedFile::map(path, KeyedUnarchiver::maxFileSize);
    if (!file)
        return Opened::failure(file.error());
    if (file->bytes().size() < from)
        return Opened::failure(u"a small file"_s);
    const QByteArray bytes = file->rawBytes();
    Result<BinaryPlist> plist = BinaryPlist::open(bytes);
    if (!plist)
        return Opened::failure(plist.error());
    std::shared_ptr<ArchivedAddressList> list(
        new ArchivedAddressList(std::move(file.value()), std::move(plist.value())));
    ArchivedAddressList &self = *list;
    self.m_budget = KeyedUnarchiver::workBudget(bytes.size());
    self.m_checker = std::thread([&self, bytes] {
        // The file's pages are not given back as they are read, as an open
        // gives them back to make room for the records: without the records,
        // they are most of the memory an export holds, and each give-back
        // would cost both cores their mappings of the file.
        self.m_check = BinaryPlistValidator::validate(bytes);
        if (!self.m_check)
            self.m_checkFailed.store(true, std::memory_order_relaxed);
    });

    KeyedUnarchiver::LeftInFile left;
    left.keys = QStringList{u"addressArray"_s, u"sendArray"_s};
    const Result<Value> root = KeyedUnarchiver::unarchiveLeaving(self.m_plist, bytes.size(), self.m_checkFailed, left);
    if (!root)
        return Opened::failure(root.error());
    if (!root->isDict())
        return Opened::failure(u"the root object is not a dictionary"_s);
    self.m_root = root->toDict();
    const BinaryPlist::Node top = self.m_plist.root();
    self.m_objects = top.value("$objects").items();
    // Both lists must be arrays, as an open requires; the send list names
    // the same records and is not read at all.
    for (size_t i = 0; i < 2; ++i) {
        if (!left.found[i])
            continue;
        const quint64 uid = left.uids[i];
        const BinaryPlist::Node array =
            uid != 0 && uid < self.m_objects.size() ? self.m_objects[uid] : BinaryPlist::Node();
        quint64 classUid = 0;
        if (array.kind() != Kind::Dict || !array.value("$class").readUid(classUid) || !self.isClass(classUid, true))
            return Opened::failure(u"\u201c%1\u201d is not an array"_s.arg(left.keys[qsizetype(i)]));
        const BinaryPlist::Node items = array.value("NS.objects");
        if (items.kind() != Kind::Array)
            return Opened::failure(u"\u201c%1\u201d is not an array of references"_s.arg(left.keys[qsizetype(i)]));
        (i == 0 ? self.m_records : self.m_sendItems) = items.items();
    }
    return Opened(std::move(list));
}

bool ArchivedAddressList::isClass(quint64 classUid, bool array) const
{
    if (classUid == 0 || classUid >= m_objects.size())
        return false;
    const BinaryPlist::Node name = m_objects[classUid].value("$classname");
    if (name.kind() != Kind::String)
        return false;
    const QString text = name.toString();
    return array ? text == u"NSArray" || text == u"NSMutableArray"
                 : text == u"NSDictionary" || text == u"NSMutableDictionary";
}

bool ArchivedAddressList::isDictionary(BinaryPlist::Node classRef, quint64 &known) const
{
    quint64 classUid = 0;
    if (!classRef.readUid(classUid) || classUid == 0)
        return false;
    if (classUid != known) {
        if (!isClass(classUid, false))
            return false;
        known = classUid;
    }
    return true;
}

Status ArchivedAddressList::checked() const
{
    const std::lock_guard locked(m_waiting);
    if (!m_checkResult) {
        if (m_checker.joinable())
            m_checker.join();
        m_checkResult = m_check ? success() : Status::failure(DocumentFile::damagedPrefix() + m_check.error());
        if (m_check)
            m_sendListPlain = sendListIsPlain();
    }
    return *m_checkResult;
}

bool ArchivedAddressList::sendListPlain() const
{
    const std::lock_guard locked(m_waiting);
    return m_sendListPlain;
}

bool ArchivedAddressList::sendListIsPlain() const
{
    // An open takes the send list only if it holds nothing but dictionaries.
    quint64 dictionaryClass = 0;
    for (const BinaryPlist::Node &item : m_sendItems) {
        quint64 uid = 0;
        if (!item.readUid(uid) || uid == 0 || uid >= m_objects.size())
            return false;
        const BinaryPlist::Node node = m_objects[uid];
        if (node.kind() != Kind::Dict || !isDictionary(node.value("$class"), dictionaryClass))
            return false;
    }
    return true;
}

Result<List> ArchivedAddressList::decodeAll() const
{
    if (const Status check = checked(); !check)
        return Result<List>::failure(check.error());
    const Result<Dict> root = DocumentFile::readRoot(m_file.rawBytes(), [this] { m_file.releasePages(); });
    if (!root)
        return Result<List>::failure(root.error());
    const Result<quint64> format = DocumentFile::formatNumber(root.value());
    if (!format)
        return Result<List>::failure(format.error());
    if (const Status entries = DocumentFile::checkEntries(root.value(), format.value()); !entries)
        return Result<List>::failure(entries.error());
    const Value list = root->value(u"addressArray"_s);
    return list.isList() ? list.toList() : List();
}

ArchivedAddressList::Reader::Reader(const ArchivedAddressList &list, std::vector<QString> innerKeys)
    : m_list(list), m_innerKeys(std::move(innerKeys)), m_fields(m_innerKeys.size(), Field::None),
      m_texts(m_innerKeys.size()), m_others(m_innerKeys.size())
{
}

bool ArchivedAddressList::Reader::seek(size_t at)
{
    if (++m_sinceCheck % kRecordsBetweenChecks == 0 && m_list.m_checkFailed.load(std::memory_order_relaxed))
        return false;
    const BinaryPlist::Items &objects = m_list.m_objects;
    quint64 uid = 0;
    if (!m_list.m_records[at].readUid(uid) || uid == 0 || uid >= objects.size())
        return false;
    std::fill(m_fields.begin(), m_fields.end(), Field::None);
    BinaryPlist::Node classRef;
    BinaryPlist::Items keys;
    BinaryPlist::Items values;
    if (!KeyedUnarchiver::dictionaryParts(objects[uid], classRef, keys, values)
        || !m_list.isDictionary(classRef, m_classUid))
        return false;
    // A hostile file may name one large record a million times; a sound
    // one stays well within this before its check has passed.
    m_spent += 1 + 2 * keys.size();
    if (m_spent > m_list.m_budget)
        return false;
    if (!readShape(keys))
        return false;
    // Every value is looked at, written or not: a record whose values an
    // open would not take as they are is left to it. Those written are read
    // as an open decodes them.
    for (size_t i = 0; i < values.size(); ++i) {
        quint64 valueUid = 0;
        if (!values[i].readUid(valueUid) || valueUid >= objects.size())
            return false;
        if (valueUid == 0)
            continue;
        const BinaryPlist::Node value = objects[valueUid];
        const qsizetype key = m_keyOf[i];
        if (key < 0) {
            if (!plainKind(value.kind()))
                return false;
            continue;
        }
        const size_t k = size_t(key);
        if (value.readString(m_texts[k])) {
            m_fields[k] = m_texts[k] == u"$null" ? Field::None : Field::Text;
            continue;
        }
        switch (value.kind()) {
        case Kind::Integer:
            m_others[k] = Value(value.toInteger());
            break;
        case Kind::Real:
            m_others[k] = Value(value.toReal());
            break;
        case Kind::Bool:
            m_others[k] = Value(value.toBool());
            break;
        case Kind::Data:
            continue; // written as no text
        default:
            return false;
        }
        m_fields[k] = Field::Other;
    }
    return true;
}

bool ArchivedAddressList::Reader::readShape(const BinaryPlist::Items &keys)
{
    // The records of a list name the same key objects in the same order.
    bool same = keys.size() == m_keyUids.size();
    for (size_t i = 0; same && i < keys.size(); ++i) {
        quint64 keyUid = 0;
        same = keys[i].readUid(keyUid) && keyUid == m_keyUids[i];
    }
    if (same)
        return true;
    const BinaryPlist::Items &objects = m_list.m_objects;
    m_keyUids.assign(keys.size(), 0);
    QStringList texts;
    for (size_t i = 0; i < keys.size(); ++i) {
        quint64 &keyUid = m_keyUids[i];
        QString text;
        if (!keys[i].readUid(keyUid) || keyUid == 0 || keyUid >= objects.size() || !objects[keyUid].readString(text)
            || text == u"$null" || texts.contains(text)) {
            m_keyUids.clear();
            return false;
        }
        texts.append(text);
    }
    m_keyOf.assign(keys.size(), -1);
    for (size_t k = 0; k < m_innerKeys.size(); ++k) {
        if (const qsizetype place = texts.indexOf(m_innerKeys[k]); place >= 0)
            m_keyOf[size_t(place)] = qsizetype(k);
    }
    return true;
}

} // namespace quillcast
