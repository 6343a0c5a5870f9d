#pragma once

#include "document/archive/BinaryPlist.h"
#include "util/ColumnValuePool.h"
#include "util/Result.h"
#include "util/Value.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace quillcast {

// Reads a keyed archive (a binary property list holding an NSKeyedArchiver
// object graph) into Values: whatever KeyedArchiver writes, and every form
// Foundation writes for the same kinds of values.
//
//   NSDictionary, NSMutableDictionary   NS.keys / NS.objects, or NS.key.N / NS.object.N -> Dict
//   NSArray, NSMutableArray             NS.objects, or NS.object.N -> List ($null items stay null)
//   inline string, NSString / NSMutableString with NS.string -> QString
//   inline integer, real, boolean       -> qint64, double, bool
//   NSDate with NS.time (any number, inline or referenced), inline date -> QDateTime (UTC)
//   inline data, NSData / NSMutableData with NS.data -> QByteArray
//   UID 0 and the referenced string "$null" -> no value (a dictionary entry is left out)
// A class name it does not know is resolved through "$classes" (a private
// subclass of NSDictionary reads as a dictionary).
//
// Each list and dictionary is decoded once and kept by its UID, so one
// reachable twice comes back as one Dict or List.
//
// Nothing in the file is trusted: besides the checks of BinaryPlist, the
// reader refuses files over maxFileSize, references outside "$objects",
// reference cycles, containers nested deeper than maxDepth, and anything that
// is not a keyed archive of these kinds, with a message saying what was wrong.
// The work done is linear in the size of the file.
class KeyedUnarchiver
{
public:
    // 512 MiB: a mailing of 100,000 records with a dozen columns takes 30 to 70 MB.
    static constexpr qsizetype maxFileSize = qsizetype(512) * 1024 * 1024;
    // Lists and dictionaries within each other, the root dictionary being 1.
    static constexpr int maxDepth = 128;
    // Dates are read up to this many seconds either side of 2001 (about
    // 317,000 years): beyond any date a mailing holds, well inside what
    // QDateTime and a 64-bit count of milliseconds can carry.
    static constexpr double maxDateSeconds = 1e13;

    // pagesRead, when given, is called now and then as the reading goes
    // through the file (every few megabytes), so that the pages of a mapped
    // file can be given back rather than all held at once.
    using PagesRead = std::function<void()>;
    // How the structural check of the property list (BinaryPlistValidator)
    // and the decoding share the cores: the check first and the decoding
    // after it on one core, or the check on a second core alongside the
    // decoding, which is kept only when the check passes. Both give the same
    // value or the same refusal; BySize takes two cores for a file large
    // enough to gain from it.
    enum class Cores { One, Two, BySize };
    static Result<Value> unarchive(const QByteArray &bytes, const PagesRead &pagesRead = {},
                                   Cores cores = Cores::BySize);
    // From this size on, BySize checks on a second core.
    static constexpr qsizetype twoCoresFrom = qsizetype(4) * 1024 * 1024;
    // On two cores, once the check has passed, the second core also decodes
    // the records of a large array from its end while this one works from
    // its start, in stretches of splitChunk items. An array of splitFrom
    // items or more is shared this way.
    static constexpr size_t splitChunk = 1024;
    static constexpr size_t splitFrom = 2 * splitChunk;

    // A bound on the work (references and bytes) of a decoding alongside the
    // structure check of a file of fileSize bytes: a sound file decodes with
    // far less, and the bound keeps a hostile one from making the decoding
    // grow before the check has refused it.
    static quint64 workBudget(qsizetype fileSize);

    // The parts of an archived dictionary in its usual form: its "$class"
    // reference and its NS.keys and NS.objects lists; false when it has not
    // both lists, or they differ in length.
    static bool dictionaryParts(BinaryPlist::Node dictionary, BinaryPlist::Node &classRef, BinaryPlist::Items &keys,
                                BinaryPlist::Items &values);

    // Entries of the root dictionary whose values a reader takes from the
    // file itself, as it needs them: keys names them; for each, found tells
    // whether the root has it, and uid the object its value refers to (0
    // when the value is no reference).
    struct LeftInFile
    {
        QStringList keys;
        std::vector<bool> found;
        std::vector<quint64> uids;
    };
    // The root of a plist read with BinaryPlist::open, while its structure
    // is checked alongside (checkFailed is set when that check fails), the
    // values under left.keys left undecoded. Refused as unarchive() refuses,
    // and also when the check fails or the decoding grows beyond what a
    // sound file of fileSize bytes decodes to.
    static Result<Value> unarchiveLeaving(const BinaryPlist &plist, qsizetype fileSize,
                                          const std::atomic<bool> &checkFailed, LeftInFile &left);

private:
    struct Split;
    class SecondCore;

    using Node = BinaryPlist::Node;
    enum class ClassKind : quint8 { Dictionary, Array, String, Date, Data };
    // Per object, what decodeUid knows of it; from FirstKept on, where its
    // value is kept (see keep()), plus FirstKept.
    enum State : quint32 { Unread, Reading, DecodedOnce, FirstKept };

    // Handles on the dictionaries decoded, for their later references, that
    // do not own them: each is held by the tree being built (a list keeps
    // every item, a dictionary that may drop one keeps it in m_owned), so
    // that a million records cost neither a million releases at the end nor
    // a table copied as it grows, and a handle's word rather than a Value's
    // three.
    class BorrowedDicts
    {
    public:
        quint32 add(const Dict &dict);
        Value at(quint32 index) const;

    private:
        static constexpr quint32 chunk = 16384;
        struct Slot
        {
            alignas(Dict) unsigned char bytes[sizeof(Dict)];
        };
        std::vector<std::unique_ptr<Slot[]>> m_chunks;
        quint32 m_count = 0;
    };

    KeyedUnarchiver(BinaryPlist::Items objects, const PagesRead &pagesRead);
    // The root of a BinaryPlist, or why it is not a keyed archive.
    // secondCore: where the records of large arrays are shared out, if anywhere.
    static Result<Value> decode(const BinaryPlist &plist, const PagesRead &pagesRead,
                                const std::atomic<bool> *checkFailed, quint64 budget, bool *overBudget,
                                SecondCore *secondCore = nullptr, LeftInFile *left = nullptr);
    // Counts references and bytes decoded against m_budget.
    bool spend(quint64 work);

    // pool: where a dictionary's value at its place shares its text with the
    // same value of other dictionaries (the records' towns, say).
    Value decodeUid(quint64 uid, int depth, ColumnValuePool *pool = nullptr);
    Value decodeReference(Node node, int depth, quint64 owner, ColumnValuePool *pool = nullptr);
    Value decodeObject(quint64 uid, Node node, int depth, ColumnValuePool *pool);
    // keyArray, valueArray, itemArray: the object's NS.keys and NS.objects.
    Value decodeDictionary(quint64 uid, Node node, int depth, Node keyArray, Node valueArray);
    template<typename Refs>
    Value decodeEntries(quint64 uid, int depth, const Refs &keys, const Refs &values);
    Value decodeArray(quint64 uid, Node node, int depth, Node itemArray);
    template<typename Refs>
    Value decodeItems(quint64 uid, int depth, const Refs &refs);
    // Whether the items of an array look like records not met yet, worth
    // sharing with the second core.
    bool worthSplitting(const BinaryPlist::Items &refs) const;
    Value decodeSplit(quint64 uid, int depth, const BinaryPlist::Items &refs);
    // On the second core: the items of split from its end, as long as they
    // are plain records.
    void help(Split &split);
    // A dictionary whose keys are texts and whose values are texts, numbers,
    // booleans, data or dates, decoded without the table of objects met;
    // false, having decoded nothing, for anything else.
    bool plainRecord(Node ref, int depth, Value &out);
    Value decodeString(quint64 uid, Node node, int depth);
    Value decodeDate(quint64 uid, Node node, int depth);
    Value decodeData(quint64 uid, Node node, int depth);
    // Dictionaries and arrays in the NS.key.N / NS.object.N form.
    bool numberedItems(quint64 uid, Node node, const QString &prefix, std::vector<Node> &out);
    // classRef: the object's "$class".
    bool classOf(quint64 uid, Node classRef, ClassKind &kind);
    Value fail(const QString &message);
    // Records the value of object uid for every later reference to it.
    void keep(quint64 uid, const Value &value);
    Value kept(quint32 state) const;

    BinaryPlist::Items m_objects;
    const PagesRead &m_pagesRead;
    quint64 m_decoded = 0; // objects decoded, for pagesRead
    // While the structure is checked alongside: set when that check fails,
    // and a bound on the work done before it has passed (references and
    // bytes decoded), which a sound file stays well within.
    const std::atomic<bool> *m_checkFailed = nullptr;
    quint64 m_budget = 0; // 0: none
    quint64 m_spent = 0;
    bool m_stopped = false; // the check failed or the budget ran out
    struct FreeWords
    {
        void operator()(quint32 *words) const { std::free(words); }
    };
    std::unique_ptr<quint32[], FreeWords> m_state; // by object
    std::vector<Value> m_kept; // lists; texts, numbers... met a second time
    BorrowedDicts m_dicts;
    // Lists and dictionaries that are values in a dictionary, which drops
    // all but the last of duplicate keys.
    std::vector<Value> m_owned;
    QHash<quint64, ClassKind> m_classes;
    QString m_error;
    // By place in a dictionary: a pool of the texts found there.
    std::vector<ColumnValuePool> m_pools;
    QString m_scratch; // a text being read for a pool
    SecondCore *m_secondCore = nullptr;
    LeftInFile *m_left = nullptr; // entries of the root dictionary not to decode
    // On the second core, the keys of the records by place: most records
    // name the same key objects in the same order.
    std::vector<std::pair<quint64, QString>> m_keyCache;

    // The records of a list name the same key objects in the same order. A
    // shape is such a sequence of key objects with the key set over their
    // texts and each key's place in it (a file need not list keys in the
    // set's order); a dictionary of that shape is made from its values
    // alone: no key decoded or looked up, no entries sorted.
    struct Shape
    {
        std::vector<quint64> keyUids;
        std::vector<quint32> places;
        Dict::KeySet keys;
        bool usable = false; // false: these key objects make no key set (a repeated text)
    };
    // What the dictionaries at one depth use while their values, which may
    // be dictionaries too, are decoded one level deeper.
    struct Level
    {
        Shape shape;
        std::vector<quint64> keyUids; // of the dictionary being read
        std::vector<QString> keyTexts; // of the dictionary being read, when it has no shape
        std::vector<Value> values; // by place in the shape's key set
        bool hasShape() const { return shape.usable && shape.keyUids == keyUids; }
    };
    // The key objects of a dictionary into level.keyUids; false when one is no reference.
    template<typename Refs>
    static bool readKeyUids(const Refs &keys, Level &level);
    // The shape of level.keyUids, whose texts are level.keyTexts, unless it is the one tried last.
    static void rememberShape(Level &level);
    // By depth, up to maxDepth; made up front, so that a level stays where
    // it is while deeper ones are used.
    std::vector<Level> m_levels = std::vector<Level>(size_t(maxDepth) + 1);
};

} // namespace quillcast
