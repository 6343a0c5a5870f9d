#pragma once

#include "util/Result.h"

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace quillcast {

// Checks the structure of a binary property list before BinaryPlist reads it.
//
// BinaryPlist decodes objects in place, following offsets and references it
// finds in the file; the keyed-archive reader above it decodes a shared object
// again for every reference to it that is not a UID (a few hundred objects
// that each refer twice to the next would expand to billions of values). So
// every property the readers rely on is checked here first, for every object
// reachable from the root:
//   - the trailer, and that the offset table exactly fills the file up to it
//     (as Apple's reader requires; a truncated file fails here);
//   - every offset lies between the header and the offset table;
//   - every object has a known type, its length and contents end before the
//     offset table, lengths are well-formed integers;
//   - every reference names an existing object, dictionary keys are strings;
//   - no container contains itself, nesting is at most maxNesting deep;
//   - the tree the objects expand to, with shared objects repeated, has at
//     most one node per byte of the file and at most four times the file's
//     size in text and data.
class BinaryPlistValidator
{
public:
    // Containers within containers. A keyed archive needs four levels;
    // references between its objects are not nesting.
    static constexpr int maxNesting = 32;

    // pagesRead, when given, is called after every stretch of objects
    // checked (some megabytes of the file), so that a mapped file's pages
    // can be given back as the walk goes through it.
    using PagesRead = std::function<void()>;
    static Status validate(QByteArrayView bytes, const PagesRead &pagesRead = {});
    // Only the header and the trailer, the first checks validate() makes and
    // with the same messages: what BinaryPlist needs to find objects and
    // read them with its own bounds checks, for a reader that decodes
    // alongside validate() and keeps nothing unless it succeeds.
    static Status checkFrame(QByteArrayView bytes);

private:
    // Type markers (high nibble) of the objects the checks know.
    enum Kind : quint8 {
        Bool = 0x0,
        Int = 0x1,
        Real = 0x2,
        Date = 0x3,
        Data = 0x4,
        Ascii = 0x5,
        Utf16 = 0x6,
        Uid = 0x8,
        Array = 0xA,
        Dict = 0xD,
    };
    // What the walk needs to know about one object.
    struct Object
    {
        Kind kind = Bool;
        quint64 count = 0; // characters, bytes or entries
        quint64 contentAt = 0; // where the references start
    };
    // A container on the walk's path, with what its children expand to so far.
    struct Frame
    {
        quint32 index = 0;
        Object object;
        quint64 refs = 0; // references to check: 2 per entry of a dictionary
        quint64 nextRef = 0;
        quint64 nodes = 1;
        quint64 payload = 0;
        int height = 1;
    };
    // Per object: Unvisited, InProgress, or, for a container checked,
    // what it expands to: with Inline::flag set, held in the word itself,
    // otherwise from FirstDone on its place in m_done.
    enum State : quint32 { Unvisited, InProgress, FirstDone };
    struct Inline
    {
        static constexpr quint32 flag = quint32(1) << 31;
        static constexpr quint32 maxNodes = (1u << 14) - 1;
        static constexpr int payloadShift = 14;
        static constexpr quint32 maxPayload = (1u << 11) - 1;
        static constexpr int heightShift = 25;
        static constexpr quint32 maxHeight = (1u << 6) - 1;
    };
    struct Expansion
    {
        quint32 nodes = 0;
        quint32 payload = 0;
        quint8 height = 0;
    };

    BinaryPlistValidator(QByteArrayView bytes, const PagesRead &pagesRead);
    // The magic and the smallest size.
    static Status checkStart(QByteArrayView bytes);
    Status run();
    std::optional<QString> readTrailer();
    std::optional<QString> checkOffsets();
    // An object's kind and extent: false when it is malformed, and
    // parseObject() then says how.
    bool readObject(quint32 index, Object &out) const;
    std::optional<QString> parseObject(quint32 index, Object &out) const;
    std::optional<QString> walk();
    // What an object adds to the text and data of the expanded tree.
    static quint64 payloadOf(const Object &o)
    {
        switch (o.kind) {
        case Ascii:
            return o.count + 1;
        case Utf16:
            return 3 * o.count + 1; // as UTF-8
        case Data:
            return o.count;
        default:
            return 0;
        }
    }
    // The state of a container whose references are all checked.
    quint32 finished(const Frame &done);
    Expansion doneOf(quint32 state) const
    {
        if (state & Inline::flag)
            return {state & Inline::maxNodes, (state >> Inline::payloadShift) & Inline::maxPayload,
                    quint8((state >> Inline::heightShift) & Inline::maxHeight)};
        return m_done[state - FirstDone];
    }
    static quint64 refsOf(const Object &o) { return o.kind == Dict ? 2 * o.count : o.kind == Array ? o.count : 0; }

    QByteArrayView m_bytes;
    const PagesRead &m_pagesRead;
    const uchar *m_data;
    int m_offsetWidth = 0;
    int m_refWidth = 0;
    quint64 m_objectCount = 0;
    quint64 m_top = 0;
    quint64 m_tableOffset = 0;

    // A word per object, and what each finished container too large for its
    // word expands to: most objects of a mailing are texts and numbers, and
    // most containers small records.
    std::vector<quint32> m_state;
    std::vector<Expansion> m_done;
};

} // namespace quillcast
