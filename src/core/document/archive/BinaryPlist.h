#pragma once

#include "document/archive/BigEndian.h"
#include "util/Result.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <string>
#include <functional>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

namespace quillcast {

// A binary property list read in place: objects are decoded from the file's
// bytes when asked for, never gathered into a tree.
//
// parse() accepts the bytes only after BinaryPlistValidator has checked every
// object reachable from the root (offsets, lengths, references, key types,
// cycles, nesting), so a Node never meets a malformed object. The reads below
// still check every bound they rely on: the checks cost a few comparisons, a
// mistake in one place must not become a read outside the buffer, and open()
// reads objects while the check runs alongside.
//
// The file is held by a shallow copy of the QByteArray given to parse(): no
// bytes are copied, and Nodes stay valid while the BinaryPlist lives, moves
// included.
class BinaryPlist
{
    struct File;

public:
    enum class Kind { Other, Bool, Integer, Real, Date, Data, String, Uid, Array, Dict };

    class Items;

    // An object of the file; valid while its BinaryPlist lives. A default
    // Node stands for "no such object".
    class Node
    {
    public:
        Node() = default;

        bool isNull() const { return m_file == nullptr; }
        Kind kind() const;

        bool toBool() const;
        // 1, 2 and 4-byte integers are unsigned, 8-byte ones signed; a 16-byte
        // integer (its high half zero) keeps the bits of its low half, so
        // values above 2^63-1 read as negative numbers.
        qint64 toInteger() const;
        double toReal() const;
        double toDateSince2001() const; // seconds
        QString toString() const;
        // The same text into a string whose buffer is reused from call to
        // call; false, leaving it empty, when this is not a string.
        bool readString(QString &into) const;
        QByteArray toData() const;
        quint64 toUid() const;
        // The UID into out; false, leaving it alone, when this is not a UID.
        bool readUid(quint64 &out) const;

        // Array items in order; empty for other kinds.
        Items items() const;
        // A dictionary's value under key (compared byte for byte with a
        // one-byte string key, as UTF-8 text with a UTF-16 one); the first of
        // duplicate keys wins. A null Node when missing or not a dictionary.
        Node value(const char *key) const;
        // The values under several keys in one pass over the dictionary:
        // out[i] is what value(keys[i]) gives.
        static constexpr size_t maxLookUp = 4;
        template<size_t N>
            requires(N <= maxLookUp)
        void values(const char *const (&keys)[N], Node (&out)[N]) const
        {
            size_t lengths[N];
            for (size_t i = 0; i < N; ++i)
                lengths[i] = std::char_traits<char>::length(keys[i]);
            lookUp(keys, lengths, out, N);
        }
        // A dictionary's entries in file order; empty for other kinds.
        std::vector<std::pair<QString, Node>> entries() const;

    private:
        friend class BinaryPlist;
        friend struct File;
        Node(const File *file, quint64 offset) : m_file(file), m_offset(offset) {}
        void lookUp(const char *const *keys, const size_t *lengths, Node *out, size_t count) const;

        const File *m_file = nullptr;
        quint64 m_offset = 0; // of the object's marker byte
    };

    // The items of an array, read from its references as they are asked for.
    class Items
    {
    public:
        class const_iterator
        {
        public:
            using iterator_category = std::forward_iterator_tag;
            using value_type = Node;
            using difference_type = std::ptrdiff_t;
            using pointer = void;
            using reference = Node;

            const_iterator() = default;
            Node operator*() const { return m_items->at(m_index); }
            const_iterator &operator++()
            {
                ++m_index;
                return *this;
            }
            const_iterator operator++(int)
            {
                const_iterator before = *this;
                ++m_index;
                return before;
            }
            bool operator==(const const_iterator &other) const { return m_index == other.m_index; }

        private:
            friend class Items;
            const_iterator(const Items *items, size_t index) : m_items(items), m_index(index) {}
            const Items *m_items = nullptr;
            size_t m_index = 0;
        };
        using iterator = const_iterator;

        Items() = default;

        size_t size() const { return m_count; }
        bool empty() const { return m_count == 0; }
        // A null Node past the end.
        Node at(size_t index) const;
        Node operator[](size_t index) const { return at(index); }
        const_iterator begin() const { return const_iterator(this, 0); }
        const_iterator end() const { return const_iterator(this, m_count); }

    private:
        friend class BinaryPlist;
        Items(const File *file, quint64 refsAt, size_t count) : m_file(file), m_refsAt(refsAt), m_count(count) {}

        const File *m_file = nullptr;
        quint64 m_refsAt = 0;
        size_t m_count = 0;
    };

    // pagesRead: see BinaryPlistValidator::validate.
    static Result<BinaryPlist> parse(const QByteArray &bytes, const std::function<void()> &pagesRead = {});
    // The same after checking only the header and trailer
    // (BinaryPlistValidator::checkFrame): for a reader that runs the full
    // check alongside and keeps nothing it read unless the check passes.
    // Objects may then be malformed: the reads stay inside the buffer and
    // give "no such object" or the kind's empty value.
    static Result<BinaryPlist> open(const QByteArray &bytes);

    Node root() const;

private:
    struct File
    {
        QByteArray bytes;
        const uchar *data = nullptr;
        quint64 tableOffset = 0;
        quint64 objectCount = 0;
        quint64 top = 0;
        int offsetWidth = 0;
        int refWidth = 0;

        // The object a reference names; a null Node for a bad one.
        Node object(quint64 index) const;
        // The object named by the reference stored at position at.
        Node objectAt(quint64 at) const;
    };
    // Where an object's contents lie, after its marker and any length.
    struct Header
    {
        Kind kind = Kind::Other;
        int low = 0; // the marker's low nibble
        quint64 count = 0; // characters, bytes, references or entries
        quint64 contentAt = 0;
    };
    static Header header(const File *file, quint64 offset);

    explicit BinaryPlist(std::unique_ptr<File> file) : m_file(std::move(file)) {}

    static constexpr quint64 headerSize = 8; // "bplist00"

    std::unique_ptr<File> m_file;
};

// The reads below are made millions of times when a large mailing is read,
// a few per value: defined here, so that they are made where they are used.

inline BinaryPlist::Node BinaryPlist::File::object(quint64 index) const
{
    if (index >= objectCount)
        return Node();
    const quint64 offset = readBigEndian(data + tableOffset + index * quint64(offsetWidth), offsetWidth);
    if (offset < headerSize || offset >= tableOffset)
        return Node();
    return Node(this, offset);
}

inline BinaryPlist::Node BinaryPlist::File::objectAt(quint64 at) const
{
    if (at > tableOffset || tableOffset - at < quint64(refWidth))
        return Node();
    return object(readBigEndian(data + at, refWidth));
}

inline bool BinaryPlist::Node::readUid(quint64 &out) const
{
    // Most of an archive's objects are UIDs: the checks header() makes for
    // one, without its general decoding.
    if (!m_file)
        return false;
    const quint8 marker = m_file->data[m_offset];
    const int low = marker & 0x0F;
    const quint64 p = m_offset + 1;
    const quint64 end = m_file->tableOffset;
    if ((marker >> 4) != 0x8 || low > 7 || p > end || quint64(low) + 1 > end - p)
        return false;
    out = readBigEndian(m_file->data + p, low + 1);
    return true;
}

inline BinaryPlist::Node BinaryPlist::Items::at(size_t index) const
{
    if (index >= m_count)
        return Node();
    return m_file->objectAt(m_refsAt + quint64(index) * quint64(m_file->refWidth));
}

} // namespace quillcast
