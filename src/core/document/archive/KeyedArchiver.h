#pragma once

#include "document/archive/BinaryPlistWriter.h"
#include "util/Result.h"
#include "util/Value.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <limits>
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
// Refused: a root that is not a Dict, a list or dictionary that contains
// itself, nesting deeper than KeyedUnarchiver::maxDepth, and unsigned numbers
// above 2^63-1 (libplist, which reads the file back, cannot tell them from
// negative numbers).
class KeyedArchiver
{
public:
    static Result<QByteArray> archive(const Value &root);

private:
    using Ref = BinaryPlistWriter::Ref;
    using Uid = quint32;
    struct Slot
    {
        Uid uid;
        bool done; // false while its contents are being written
    };

    KeyedArchiver() = default;

    Uid encode(const Value &v, int depth);
    Uid encodeDict(const Dict &d, int depth);
    Uid encodeList(const List &l, int depth);
    Uid encodeString(const QString &s, bool merge);
    Uid encodeInteger(qint64 i);
    Uid encodeDate(const QDateTime &d);
    Uid newSlot();
    Uid classUid(const QString &name, const QStringList &chain);
    Ref uidRef(Uid uid);
    Ref fixedString(const QString &s);
    // fixedString for the names every container writes: looked up once, then
    // kept in the member given, so that a million records hash no names.
    Ref fixedString(Ref &cached, const QString &s);
    // A dictionary key's slot, found by the key's characters when the same
    // key string was met last at this position of a dictionary.
    Uid encodeKey(const QString &key, size_t position);
    std::vector<Ref> uidRefs(const std::vector<Uid> &uids);
    bool fail(const QString &message);

    BinaryPlistWriter m_plist;
    std::vector<Ref> m_objects; // by UID: the property list object written for it
    std::vector<Ref> m_uidRefs; // by UID: its reference object, once written
    QHash<const void *, Slot> m_containers;
    QHash<QString, Uid> m_keys; // dictionary keys
    Uid m_emptyString = 0;
    QHash<qint64, Uid> m_integers;
    QHash<quint64, Uid> m_reals; // by bit pattern
    Uid m_booleans[2] = {0, 0};
    QHash<QString, Uid> m_classes;
    QHash<QString, Ref> m_fixedStrings; // keys and class names
    static constexpr Ref noRef = std::numeric_limits<Ref>::max();
    Ref m_nsKeysRef = noRef;
    Ref m_nsObjectsRef = noRef;
    Ref m_classRef = noRef;
    Uid m_dictClass = 0;
    Uid m_arrayClass = 0;
    // By position in a dictionary: the key last written there, held so that
    // its characters cannot be freed and their address taken by another text.
    struct RecentKey
    {
        QString key;
        Uid uid = 0;
    };
    std::vector<RecentKey> m_recentKeys;
    QString m_error;
};

} // namespace quillcast
