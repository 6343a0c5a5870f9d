#pragma once

#include "document/archive/ArchiveOutput.h"
#include "util/Result.h"
#include "util/Value.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace quillcast {

// Writes a graph of Values as the platform's keyed archive: a binary property
// list holding an NSKeyedArchiver object graph that Foundation's
// NSKeyedUnarchiver reads as well as KeyedUnarchiver does.
//
// Layout: "$archiver" "NSKeyedArchiver", "$version" 100000, "$top" with the
// root under "root", and "$objects", whose element 0 is "$null" and whose
// other elements are the objects, referred to by their index (a UID).
//   Dict       NSMutableDictionary, NS.keys / NS.objects in the Dict's key order
//   List       NSMutableArray, NS.objects; a null item is UID 0 ($null)
//   QString    an inline string; the text "$null" (which would read back as
//              no value) as an NSMutableString object with inline NS.string
//   bool, integers, double   inline booleans, integers, reals
//   QDateTime  NSDate, NS.time seconds since 2001-01-01 UTC, to the millisecond
//   QByteArray inline data
//   null Value, invalid dates and dates beyond KeyedUnarchiver::maxDateSeconds:
//              no entry in a dictionary, $null in a list
//
// Every Dict and List gets one slot however often it is reachable, so the
// records shared by two lists come back shared. Equal dictionary keys, equal
// numbers and empty strings share a slot too; other strings are written where
// they occur (looking up each of a million texts in a table costs more time
// than merging the few repeated ones saves space). Slots are numbered in the
// order the graph is walked (an object, then its keys, then its values, then
// its class), and dictionary keys are walked in sorted order, so the same
// graph always gives the same bytes.
//
// The archive is made in two walks over the graph. The first numbers the
// objects and adds up their sizes, so that the second can write every object
// straight to its place in the output: no growing buffer, and the file's
// parts written in pieces. The first list of 8192 items or more met (the
// records, in a mailing) is split in two, and its halves are counted and
// written on two threads; the bytes are the same as with one. (The second
// half is counted from what was counted before the list, as if it came
// first, then renumbered after the first half; when both halves met an
// object that is numbered once, such as the same record or number, it is
// counted again after the first half.) The first walk keeps a snapshot of
// every dictionary and list it meets, so that an edit made meanwhile on
// another thread cannot make the walks disagree.
//
// Refused: a root that is not a Dict, a list or dictionary that contains
// itself, nesting deeper than KeyedUnarchiver::maxDepth, and unsigned numbers
// above 2^63-1 (libplist, which reads the file back, cannot tell them from
// negative numbers).
class KeyedArchiver
{
public:
    // threads: how many threads may write the archive (1, or 2 and more for
    // two); the result is the same for any number.
    static Result<QByteArray> archive(const Value &root, int threads = defaultThreads());
    // Writes the archive to output; a failure of the output is reported as
    // outputFailure().
    static Status archive(const Value &root, ArchiveOutput &output, int threads = defaultThreads());
    static QString outputFailure();
    // Up to two: the machine's cores, when it has more than one.
    static int defaultThreads();

    ~KeyedArchiver();

private:
    using Ref = quint32;
    using Uid = quint32;
    static constexpr Ref noRef = std::numeric_limits<Ref>::max();

    // How far a walk has come: the objects and bytes it has counted or written.
    struct Position
    {
        quint64 ref = 0; // the next property list object
        Uid uid = 0; // the next slot of $objects
        quint64 scalarBytes = 0;
        quint64 markerBytes = 0; // of the containers
        quint64 containerRefs = 0; // references inside the containers
        size_t dicts = 0; // snapshots taken
        size_t lists = 0;
        size_t found = 0; // look-ups read back (see Plan::foundBits)
        size_t foundBefore = 0; // of them, those that found an object
        friend bool operator==(const Position &, const Position &) = default;
    };
    struct Plan;
    class Stream;

    KeyedArchiver(Plan &plan, ArchiveOutput *output);

    static Status run(const Value &root, ArchiveOutput &output, int threads);
    Uid encodeRoot(const Value &root);
    void finishRoot(Uid rootUid);
    // Writes the second half of the split list (on a thread of its own).
    void encodeSplitHalf();
    void startStreams();
    bool flushStreams();

    Uid encode(const Value &v, int depth);
    Uid encodeDict(const Dict &d, int depth);
    Uid encodeList(const List &l, int depth);
    // uids: where the items' slots go, if anywhere.
    void encodeItems(const std::vector<Value> &items, size_t from, size_t to, int depth, std::vector<Uid> *uids);
    // First walk: counts the halves of the split list on two threads and
    // joins them, or counts them one after the other. False when it is not
    // worth a thread: nothing counted yet.
    bool countHalvesApart(const std::vector<Value> &items, int depth, size_t containers, std::vector<Uid> &values);
    // Adds the second half, counted apart from `fork` to `sideEnd` in side,
    // after the first; false, with nothing changed, when the two halves
    // numbered the same shared object. sideItems: the slots of its items, as
    // counted apart.
    bool joinSecondHalf(Plan &side, const Position &fork, const Position &sideEnd, std::span<const Uid> sideItems);
    Uid encodeString(const QString &s, bool merge);
    Uid encodeInteger(qint64 i);
    Uid encodeReal(double r);
    Uid encodeDate(const QDateTime &d);
    // Most objects (the texts of records) are referred to once only, and
    // their reference object needs no remembering.
    enum class Referred { once, maybeAgain };
    Uid newSlot(Referred referred);
    // The slot of a list or dictionary met before, if it was.
    std::optional<Uid> knownContainer(quint64 identity, int depth);
    // Notes the slot a look-up found (first walk).
    Uid found(Uid uid);
    // Notes a look-up that found nothing: the next object is numbered.
    void foundNothing();
    void noteLookUp(bool foundBefore);
    // What the first walk's look-up found here: nothing, when the writing
    // walk numbers the object now.
    std::optional<Uid> foundBefore();
    void setObject(Uid uid, Ref ref);
    Uid classUid(const QString &name, std::span<const QString> chain);
    Ref uidRef(Uid uid);
    Ref fixedString(const QString &s);
    // fixedString for the names every container writes: looked up once, then
    // kept in the member given, so that a million records hash no names.
    Ref fixedString(Ref &cached, const QString &s);
    // A dictionary key's slot, found by the key's characters when the same
    // key string was met last at this position of a dictionary.
    Uid encodeKey(const QString &key, size_t position);
    bool fail(const QString &message);

    // The property list objects. When counting (first walk) they only take
    // their numbers and sizes; when writing they go to the streams.
    Ref boolean(bool b);
    Ref integer(qint64 i);
    Ref real(double r);
    Ref string(QStringView s);
    Ref data(QByteArrayView bytes);
    Ref uid(quint32 value);
    Ref container(quint8 marker, quint64 count, std::span<const Ref> refs);
    Ref array(std::span<const Ref> items) { return container(0xA0, items.size(), items); }
    // keys and values: all keys, then all values.
    Ref dict(std::span<const Ref> keysThenValues) { return container(0xD0, keysThenValues.size() / 2, keysThenValues); }
    // An array of the UID objects of these slots.
    Ref arrayOfUids(std::span<const Uid> uids);
    // The array of all the objects' slots, $objects.
    Ref objectsArray();
    char *scalar(size_t size, Ref &ref);
    void putOffset(quint64 offset);

    Plan &m_plan;
    const bool m_writing;
    Position m_at;
    std::unique_ptr<Stream> m_scalars;
    std::unique_ptr<Stream> m_containers;
    std::unique_ptr<Stream> m_table;
    std::unique_ptr<Stream> m_objects; // the references of $objects
    Uid m_objectsNext = 0; // the first not yet taken from m_objects
    quint64 m_objectsPut = 0;
    bool m_streamFailed = false;
    // Reused lists of slots and references, one per nesting level.
    std::vector<std::vector<Uid>> m_uidScratch;
    std::vector<std::vector<Ref>> m_refScratch;
    Ref m_nsKeysRef = noRef;
    Ref m_nsObjectsRef = noRef;
    Ref m_classRef = noRef;
    Uid m_dictClass = 0;
    Ref m_dictClassRef = noRef; // its UID object, once made
    Uid m_arrayClass = 0;
    // By position in a dictionary: the key last written there, held so that
    // its characters cannot be freed and their address taken by another text.
    struct RecentKey
    {
        QString key;
        Uid uid = 0;
        Ref ref = noRef; // its UID object, once made
    };
    std::vector<RecentKey> m_recentKeys;
    std::vector<Uid> m_open; // the containers being written, outermost first
    QString m_error;
};

} // namespace quillcast
