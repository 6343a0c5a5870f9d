#pragma once

// Builders for property lists that our writer would never produce: keyed
// archives laid out the way Foundation and other programs write them (built
// and encoded with libplist, an independent encoder), and binary property
// lists assembled byte by byte to be damaged on purpose.

#include <QByteArray>

#include <plist/plist.h>

#include <initializer_list>
#include <utility>
#include <vector>

namespace plistcraft {

// A binary property list from raw object encodings, in this order, with a
// correct offset table and trailer; references are `refWidth` bytes wide.
inline QByteArray rawPlist(const std::vector<QByteArray> &objects, quint64 top = 0, int refWidth = 1)
{
    QByteArray out("bplist00");
    std::vector<quint64> offsets;
    for (const QByteArray &o : objects) {
        offsets.push_back(quint64(out.size()));
        out += o;
    }
    const quint64 table = quint64(out.size());
    for (quint64 offset : offsets) {
        out += char(offset >> 8);
        out += char(offset & 0xFF);
    }
    const auto be64 = [&](quint64 v) {
        for (int i = 7; i >= 0; --i)
            out += char((v >> (8 * i)) & 0xFF);
    };
    out += QByteArray(6, '\0');
    out += char(2);
    out += char(refWidth);
    be64(objects.size());
    be64(top);
    be64(table);
    return out;
}

inline QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out += char(b);
    return out;
}

// A keyed archive assembled node by node with libplist: "$objects" starts
// with "$null", add() appends an object and returns its UID.
class HandArchive
{
public:
    HandArchive() { add(plist_new_string("$null")); }
    ~HandArchive() { plist_free(m_objects); }
    HandArchive(const HandArchive &) = delete;
    HandArchive &operator=(const HandArchive &) = delete;

    quint64 add(plist_t node)
    {
        plist_array_append_item(m_objects, node);
        return m_count++;
    }

    // A class description {"$classname": name, "$classes": chain}.
    quint64 addClass(std::initializer_list<const char *> chain)
    {
        plist_t d = plist_new_dict();
        plist_dict_set_item(d, "$classname", plist_new_string(*chain.begin()));
        plist_t classes = plist_new_array();
        for (const char *c : chain)
            plist_array_append_item(classes, plist_new_string(c));
        plist_dict_set_item(d, "$classes", classes);
        return add(d);
    }

    // An object dictionary of class `cls` with the given coder entries.
    static plist_t object(quint64 cls, std::initializer_list<std::pair<const char *, plist_t>> entries)
    {
        plist_t d = plist_new_dict();
        for (const auto &[key, value] : entries)
            plist_dict_set_item(d, key, value);
        plist_dict_set_item(d, "$class", plist_new_uid(cls));
        return d;
    }

    static plist_t uids(std::initializer_list<quint64> list)
    {
        plist_t a = plist_new_array();
        for (quint64 u : list)
            plist_array_append_item(a, plist_new_uid(u));
        return a;
    }

    // The archive with `root` under "$top"; the top dictionary can be edited
    // before encoding through `edit`.
    template<typename Edit>
    QByteArray bytes(quint64 root, Edit &&edit) const
    {
        plist_t top = plist_new_dict();
        plist_dict_set_item(top, "$archiver", plist_new_string("NSKeyedArchiver"));
        plist_dict_set_item(top, "$version", plist_new_uint(100000));
        plist_t topDict = plist_new_dict();
        plist_dict_set_item(topDict, "root", plist_new_uid(root));
        plist_dict_set_item(top, "$top", topDict);
        plist_dict_set_item(top, "$objects", plist_copy(m_objects));
        edit(top);
        char *bin = nullptr;
        uint32_t length = 0;
        plist_to_bin(top, &bin, &length);
        QByteArray out(bin, qsizetype(length));
        plist_to_bin_free(bin);
        plist_free(top);
        return out;
    }
    QByteArray bytes(quint64 root = 1) const
    {
        return bytes(root, [](plist_t) {});
    }

private:
    plist_t m_objects = plist_new_array();
    quint64 m_count = 0;
};

} // namespace plistcraft
