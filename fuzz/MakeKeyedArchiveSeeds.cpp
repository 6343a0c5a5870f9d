// Writes the seed corpus of keyed_archive_fuzzer into the directory given as
// the only argument: archives from KeyedArchiver, archives in the other forms
// Foundation writes (built object by object), and broken variants of both.
// The files are small on purpose; libFuzzer grows its own corpus from them.

#include "document/archive/BinaryPlistWriter.h"
#include "document/archive/KeyedArchiver.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <initializer_list>
#include <utility>
#include <vector>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

using Ref = BinaryPlistWriter::Ref;

// A keyed archive written object by object, for what KeyedArchiver does not write.
class HandArchive
{
public:
    HandArchive() { m_objects.push_back(m_w.string(u"$null")); }

    BinaryPlistWriter &w() { return m_w; }
    quint32 add(Ref object)
    {
        m_objects.push_back(object);
        return quint32(m_objects.size() - 1);
    }
    // The UID the next add() returns.
    quint32 next() const { return quint32(m_objects.size()); }

    Ref dict(std::initializer_list<std::pair<QString, Ref>> entries)
    {
        std::vector<std::pair<Ref, Ref>> refs;
        for (const auto &[key, value] : entries)
            refs.emplace_back(m_w.string(key), value);
        return m_w.dict(refs);
    }
    Ref uids(std::initializer_list<quint32> list)
    {
        std::vector<Ref> refs;
        for (quint32 u : list)
            refs.push_back(m_w.uid(u));
        return m_w.array(refs);
    }
    quint32 addClass(std::initializer_list<QString> chain)
    {
        std::vector<Ref> names;
        for (const QString &c : chain)
            names.push_back(m_w.string(c));
        return add(dict({{u"$classname"_s, m_w.string(*chain.begin())}, {u"$classes"_s, m_w.array(names)}}));
    }
    QByteArray finish(quint32 root, const QString &archiver = u"NSKeyedArchiver"_s)
    {
        const Ref objects = m_w.array(m_objects);
        const Ref top = dict({{u"root"_s, m_w.uid(root)}});
        return m_w.finish(dict({{u"$archiver"_s, m_w.string(archiver)},
                                {u"$version"_s, m_w.integer(100000)},
                                {u"$top"_s, top},
                                {u"$objects"_s, objects}}));
    }

private:
    BinaryPlistWriter m_w;
    std::vector<Ref> m_objects;
};

// A root NSDictionary {"v": value}; `addValue` must add the value first (UID 4).
template<typename AddValue>
QByteArray rootWith(AddValue addValue, const QString &archiver = u"NSKeyedArchiver"_s)
{
    HandArchive a;
    a.add(a.dict({{u"NS.keys"_s, a.uids({2})}, {u"NS.objects"_s, a.uids({4})}, {u"$class"_s, a.w().uid(3)}}));
    a.add(a.w().string(u"v"));
    a.addClass({u"NSDictionary"_s, u"NSObject"_s});
    addValue(a);
    return a.finish(1, archiver);
}

QByteArray archive(const Dict &root)
{
    return KeyedArchiver::archive(Value(root)).value();
}

Dict record(int n)
{
    return Dict{{u"1"_s, Value(n)}, {u"2"_s, Value(n % 2 == 0)}, {u"3"_s, Value(u"person%1@example.com"_s.arg(n))},
                {u"4"_s, Value(u"Name %1"_s.arg(n))}};
}

QByteArray document()
{
    const Dict a = record(1);
    const Dict b = record(2);
    const List keys(List::Items{Value(Dict{{u"innerKey"_s, Value(u"1"_s)}, {u"publicKey"_s, Value(u"#"_s)}}),
                                Value(Dict{{u"innerKey"_s, Value(u"2"_s)}, {u"publicKey"_s, Value(u"sel"_s)}}),
                                Value(Dict{{u"innerKey"_s, Value(u"3"_s)}, {u"publicKey"_s, Value(u"email"_s)}})});
    const Dict exception{{u"num"_s, Value(1)}, {u"sel"_s, Value(true)}, {u"email"_s, Value(u"no@example.com"_s)},
                         {u"date"_s, Value(QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC))},
                         {u"note"_s, Value(u"Grüße — 📧"_s)}};
    return archive(Dict{{u"appversion"_s, Value(quint64(20800))},
                        {u"addressArray"_s, Value(List(List::Items{Value(a), Value(b)}))},
                        {u"sendArray"_s, Value(List(List::Items{Value(b)}))},
                        {u"keyArray"_s, Value(keys)},
                        {u"exceptArray"_s, Value(List(List::Items{Value(exception)}))},
                        {u"attachmentBookmarks"_s,
                         Value(List(List::Items{Value(Dict{{u"path"_s, Value(u"/tmp/a.pdf"_s)},
                                                           {u"bookmark"_s, Value(QByteArray("\x00\x01\xFE", 3))}})}))},
                        {u"mailFormSubject"_s, Value(u"Hello _email_"_s)},
                        {u"sendPrepTimeInterval"_s, Value(5)},
                        {u"log"_s, Value(u"$null"_s)}});
}

QByteArray allKinds()
{
    return archive(Dict{{u"bool"_s, Value(false)}, {u"negative"_s, Value(-70000)}, {u"big"_s, Value(qint64(1) << 40)},
                        {u"real"_s, Value(0.1)}, {u"empty"_s, Value(QString(u""_s))}, {u"nul"_s, Value(QString(u"a\0b"_s))},
                        {u"data"_s, Value(QByteArray(20, 'd'))},
                        {u"list"_s, Value(List(List::Items{Value(), Value(1), Value(List())}))}});
}

QByteArray manyObjects()
{
    // Shared records and more than 255 objects: two-byte references.
    List records;
    for (int i = 0; i < 20; ++i)
        records.append(Value(record(i)));
    List numbers;
    for (int i = 0; i < 260; ++i)
        numbers.append(Value(i * 7));
    return archive(Dict{{u"addressArray"_s, Value(records)}, {u"sendArray"_s, Value(records)}, {u"numbers"_s, Value(numbers)}});
}

QByteArray nestedLists(int depth)
{
    Value v(u"bottom"_s);
    for (int i = 1; i < depth; ++i)
        v = Value(List(List::Items{v}));
    return archive(Dict{{u"v"_s, v}});
}

QByteArray numberedForms()
{
    return rootWith([](HandArchive &a) {
        // 4: NSDictionary {k: [a, b]} as NS.key.0 / NS.object.0, the array as NS.object.N
        a.add(a.dict({{u"NS.key.0"_s, a.w().uid(5)}, {u"NS.object.0"_s, a.w().uid(7)}, {u"$class"_s, a.w().uid(6)}}));
        a.add(a.w().string(u"k"));
        a.addClass({u"__NSDictionaryI"_s, u"NSDictionary"_s, u"NSObject"_s});
        a.add(a.dict({{u"NS.object.0"_s, a.w().uid(9)}, {u"NS.object.1"_s, a.w().uid(10)}, {u"$class"_s, a.w().uid(8)}}));
        a.addClass({u"NSArray"_s, u"NSObject"_s});
        a.add(a.w().string(u"a"));
        a.add(a.w().string(u"$null"));
    });
}

QByteArray objectForms()
{
    return rootWith([](HandArchive &a) {
        // 4: NSArray of a string object, a date with an integer time, a date
        // through a reference, wrapped data and an inline date.
        a.add(a.dict({{u"NS.objects"_s, a.uids({6, 8, 10, 12, 14})}, {u"$class"_s, a.w().uid(5)}}));
        a.addClass({u"NSMutableArray"_s, u"NSArray"_s, u"NSObject"_s});
        a.add(a.dict({{u"NS.string"_s, a.w().string(u"$null")}, {u"$class"_s, a.w().uid(7)}}));
        a.addClass({u"NSMutableString"_s, u"NSString"_s, u"NSObject"_s});
        a.add(a.dict({{u"NS.time"_s, a.w().integer(60)}, {u"$class"_s, a.w().uid(9)}}));
        a.addClass({u"NSDate"_s, u"NSObject"_s});
        a.add(a.dict({{u"NS.time"_s, a.w().uid(11)}, {u"$class"_s, a.w().uid(9)}}));
        a.add(a.w().real(-1.5));
        a.add(a.dict({{u"NS.data"_s, a.w().data("xyz")}, {u"$class"_s, a.w().uid(13)}}));
        a.addClass({u"NSMutableData"_s, u"NSData"_s, u"NSObject"_s});
        a.add(a.w().date(86400.25));
    });
}

QByteArray uidOutOfRange()
{
    return rootWith([](HandArchive &a) {
        a.add(a.dict({{u"NS.objects"_s, a.uids({812})}, {u"$class"_s, a.w().uid(5)}}));
        a.addClass({u"NSArray"_s, u"NSObject"_s});
    });
}

QByteArray archiveCycle()
{
    return rootWith([](HandArchive &a) {
        a.add(a.dict({{u"NS.keys"_s, a.uids({2})}, {u"NS.objects"_s, a.uids({1})}, {u"$class"_s, a.w().uid(3)}}));
    });
}

QByteArray selfContainingArray()
{
    return rootWith([](HandArchive &a) {
        a.add(a.dict({{u"NS.objects"_s, a.uids({4})}, {u"$class"_s, a.w().uid(5)}}));
        a.addClass({u"NSMutableArray"_s, u"NSArray"_s, u"NSObject"_s});
    });
}

QByteArray deepArchive(int depth)
{
    return rootWith([depth](HandArchive &a) {
        const quint32 cls = 4 + quint32(depth);
        for (int i = 0; i < depth; ++i) {
            const quint32 uid = a.next();
            a.add(i + 1 < depth ? a.dict({{u"NS.objects"_s, a.uids({uid + 1})}, {u"$class"_s, a.w().uid(cls)}})
                                : a.dict({{u"NS.objects"_s, a.uids({})}, {u"$class"_s, a.w().uid(cls)}}));
        }
        a.addClass({u"NSArray"_s, u"NSObject"_s});
    });
}

QByteArray unknownClass()
{
    return rootWith([](HandArchive &a) {
        a.add(a.dict({{u"NS.relative"_s, a.w().string(u"x")}, {u"$class"_s, a.w().uid(5)}}));
        a.addClass({u"NSURL"_s, u"NSObject"_s});
    });
}

QByteArray rootNotADictionary()
{
    HandArchive a;
    a.add(a.w().string(u"just text"));
    return a.finish(1);
}

QByteArray plistSelfContainingArray()
{
    BinaryPlistWriter w;
    const Ref self = Ref(w.objectCount());
    const std::vector<Ref> items{self};
    return w.finish(w.array(items));
}

QByteArray plistExponentialSharing()
{
    BinaryPlistWriter w;
    Ref r = w.integer(1);
    for (int i = 0; i < 25; ++i) {
        const std::vector<Ref> twice{r, r};
        r = w.array(twice);
    }
    return w.finish(r);
}

QByteArray plistDeep()
{
    BinaryPlistWriter w;
    Ref r = w.integer(1);
    for (int i = 0; i < 60; ++i) {
        const std::vector<Ref> one{r};
        r = w.array(one);
    }
    return w.finish(r);
}

QByteArray hugeCount()
{
    // An array claiming 2^63 items in a file of 50 bytes.
    QByteArray b("bplist00");
    b += QByteArray::fromHex("af137fffffffffffffff");
    b += QByteArray::fromHex("0008");
    b += QByteArray(6, '\0');
    b += QByteArray::fromHex("0201");
    b += QByteArray::fromHex("0000000000000001" "0000000000000000" "0000000000000012");
    return b;
}

QByteArray withTrailerByte(QByteArray b, int at, char value)
{
    b[b.size() - 32 + at] = value;
    return b;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const QByteArray doc = document();
    const std::vector<std::pair<const char *, QByteArray>> seeds{
        {"good-empty-root", archive(Dict())},
        {"good-document", doc},
        {"good-all-kinds", allKinds()},
        {"good-many-objects", manyObjects()},
        {"good-nested-lists", nestedLists(12)},
        {"good-numbered-forms", numberedForms()},
        {"good-object-forms", objectForms()},
        {"bad-truncated-half", doc.left(doc.size() / 2)},
        {"bad-truncated-by-one", doc.chopped(1)},
        {"bad-trailer-reference-width", withTrailerByte(doc, 7, 0)},
        {"bad-trailer-object-count", withTrailerByte(doc, 8, 0x40)},
        {"bad-uid-out-of-range", uidOutOfRange()},
        {"bad-archive-cycle", archiveCycle()},
        {"bad-self-containing-array", selfContainingArray()},
        {"bad-deep-archive", deepArchive(140)},
        {"bad-unknown-class", unknownClass()},
        {"bad-wrong-archiver", rootWith([](HandArchive &a) { a.add(a.w().integer(1)); }, u"NSArchiver"_s)},
        {"bad-root-not-a-dictionary", rootNotADictionary()},
        {"bad-plist-self-containing-array", plistSelfContainingArray()},
        {"bad-plist-exponential-sharing", plistExponentialSharing()},
        {"bad-plist-deep", plistDeep()},
        {"bad-plist-huge-count", hugeCount()},
        {"bad-xml-plist", QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict/></plist>\n")},
        {"bad-not-a-plist", QByteArray("Dear customer,\nthis is not a document.\n")},
    };
    for (const auto &[name, bytes] : seeds) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
    }
    return 0;
}
