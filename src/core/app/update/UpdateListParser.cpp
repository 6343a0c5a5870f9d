#include "app/update/UpdateListParser.h"

#include "document/archive/BinaryPlist.h"

#include <QTimeZone>

#include <plist/plist.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

struct PlistFree
{
    void operator()(void *node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

struct MallocFree
{
    void operator()(void *p) const { std::free(p); }
};
template<typename T>
using MallocPtr = std::unique_ptr<T, MallocFree>;

const QDateTime &epoch2001()
{
    static const QDateTime epoch(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
    return epoch;
}

// The deepest nesting of <array> and <dict> elements. Comments and CDATA are
// not told apart, which can only make a list look deeper than it is.
int xmlNesting(const QByteArray &bytes)
{
    int depth = 0;
    int deepest = 0;
    const auto opensAt = [&](qsizetype i, QByteArrayView tag) {
        return QByteArrayView(bytes).sliced(i).startsWith(tag);
    };
    for (qsizetype i = bytes.indexOf('<'); i >= 0; i = bytes.indexOf('<', i + 1)) {
        if (opensAt(i, "</array") || opensAt(i, "</dict")) {
            --depth;
            continue;
        }
        if (!opensAt(i, "<array") && !opensAt(i, "<dict"))
            continue;
        const qsizetype end = bytes.indexOf('>', i);
        if (end < 0)
            break;
        if (bytes.at(end - 1) != '/')
            deepest = std::max(deepest, ++depth);
    }
    return deepest;
}

std::optional<Value> convert(plist_t node, int depth);

std::optional<Dict> convertDict(plist_t node, int depth)
{
    Dict::Entries entries;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(node, &iter);
    const MallocPtr<void> iterOwner(iter);
    for (;;) {
        char *rawKey = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, iter, &rawKey, &item);
        const MallocPtr<char> key(rawKey);
        if (!item)
            break;
        std::optional<Value> value = convert(item, depth + 1);
        if (!value)
            return std::nullopt;
        if (!value->isNull())
            entries.emplace_back(QString::fromUtf8(key.get()), std::move(*value));
    }
    return Dict(std::move(entries));
}

// None when the tree is too deep; the null Value for a kind a list does
// not use (keys, UIDs), which is left out.
std::optional<Value> convert(plist_t node, int depth)
{
    if (depth > UpdateListParser::maxNesting)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        // libplist keeps negative numbers as their 64-bit pattern.
        return Value(static_cast<qint64>(u));
    }
    case PLIST_REAL: {
        double r = 0;
        plist_get_real_val(node, &r);
        return Value(r);
    }
    case PLIST_STRING: {
        char *raw = nullptr;
        plist_get_string_val(node, &raw);
        const MallocPtr<char> text(raw);
        return Value(QString::fromUtf8(text.get()));
    }
    case PLIST_DATA: {
        char *raw = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &raw, &length);
        const MallocPtr<char> data(raw);
        return Value(QByteArray(data.get(), qsizetype(length)));
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        return Value(epoch2001().addMSecs(qint64(seconds) * 1000 + microseconds / 1000));
    }
    case PLIST_ARRAY: {
        List::Items items;
        const uint32_t count = plist_array_get_size(node);
        for (uint32_t i = 0; i < count; ++i) {
            std::optional<Value> item = convert(plist_array_get_item(node, i), depth + 1);
            if (!item)
                return std::nullopt;
            items.push_back(std::move(*item));
        }
        return Value(List(std::move(items)));
    }
    case PLIST_DICT: {
        std::optional<Dict> dict = convertDict(node, depth);
        if (!dict)
            return std::nullopt;
        return Value(*dict);
    }
    default:
        return Value();
    }
}

// The same for a binary list, read by our own reader.
std::optional<Value> convert(const BinaryPlist::Node &node, int depth)
{
    if (depth > UpdateListParser::maxNesting)
        return std::nullopt;
    switch (node.kind()) {
    case BinaryPlist::Kind::Bool:
        return Value(node.toBool());
    case BinaryPlist::Kind::Integer:
        return Value(node.toInteger());
    case BinaryPlist::Kind::Real:
        return Value(node.toReal());
    case BinaryPlist::Kind::String:
        return Value(node.toString());
    case BinaryPlist::Kind::Data:
        return Value(node.toData());
    case BinaryPlist::Kind::Date: {
        // Ten thousand years either side of 2001 is more than any list means.
        const double seconds = node.toDateSince2001();
        if (!std::isfinite(seconds) || std::abs(seconds) > 3.2e11)
            return Value();
        return Value(epoch2001().addMSecs(std::llround(seconds * 1000)));
    }
    case BinaryPlist::Kind::Array: {
        List::Items items;
        for (const BinaryPlist::Node &item : node.items()) {
            std::optional<Value> value = convert(item, depth + 1);
            if (!value)
                return std::nullopt;
            items.push_back(std::move(*value));
        }
        return Value(List(std::move(items)));
    }
    case BinaryPlist::Kind::Dict: {
        Dict::Entries entries;
        for (const auto &[key, item] : node.entries()) {
            std::optional<Value> value = convert(item, depth + 1);
            if (!value)
                return std::nullopt;
            if (!value->isNull())
                entries.emplace_back(key, std::move(*value));
        }
        return Value(Dict(std::move(entries)));
    }
    default:
        return Value();
    }
}

} // namespace

std::optional<Dict> UpdateListParser::parse(const QByteArray &bytes)
{
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    if (bytes.startsWith("bplist00")) {
        // libplist 2.2 lacks several of the checks later releases added
        // against malformed binary lists (a damaged list can abort the
        // process in it); our own reader validates the whole file first.
        const Result<BinaryPlist> binary = BinaryPlist::parse(bytes);
        if (!binary || binary->root().kind() != BinaryPlist::Kind::Dict)
            return std::nullopt;
        std::optional<Value> root = convert(binary->root(), 0);
        if (!root)
            return std::nullopt;
        return root->toDict();
    }
    // XML has no NUL character; libplist would cut a text short at one.
    if (bytes.contains('\0') || xmlNesting(bytes) > maxNesting)
        return std::nullopt;
    plist_t raw = nullptr;
    plist_from_xml(bytes.constData(), uint32_t(bytes.size()), &raw);
    const PlistPtr root(raw);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;
    return convertDict(root.get(), 0);
}

} // namespace quillcast
