#pragma once

#include "util/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

namespace quillcast {

// A binary property list parsed by libplist, owned for as long as it lives.
//
// parse() lets the bytes through to libplist 2.2 only after
// BinaryPlistValidator has checked them. Nodes are read through Node, a
// handle that keeps the rest of the code clear of libplist's C interface and
// of its pitfalls (array lookup by index walks the array from its start, and
// several getters return copies the caller must free).
class BinaryPlist
{
public:
    enum class Kind { Other, Bool, Integer, Real, Date, Data, String, Uid, Array, Dict };

    // A node of the tree; valid while its BinaryPlist lives. A default Node
    // stands for "no such node".
    class Node
    {
    public:
        Node() = default;

        bool isNull() const { return m_node == nullptr; }
        Kind kind() const;

        bool toBool() const;
        qint64 toInteger() const; // eight-byte values above 2^63-1 read as negative numbers
        double toReal() const;
        double toDateSince2001() const; // seconds; libplist keeps microseconds
        QString toString() const;
        QByteArray toData() const;
        quint64 toUid() const;

        // Array items in order; empty for other kinds.
        std::vector<Node> items() const;
        // A dictionary's value under key; a null Node when missing or not a dictionary.
        Node value(const char *key) const;
        // A dictionary's entries in file order; empty for other kinds.
        std::vector<std::pair<QString, Node>> entries() const;

    private:
        friend class BinaryPlist;
        explicit Node(void *node) : m_node(node) {}
        void *m_node = nullptr;
    };

    static Result<BinaryPlist> parse(QByteArrayView bytes);

    Node root() const { return Node(m_root.get()); }

private:
    struct Free
    {
        void operator()(void *node) const;
    };
    explicit BinaryPlist(void *root) : m_root(root) {}

    std::unique_ptr<void, Free> m_root;
};

} // namespace quillcast
