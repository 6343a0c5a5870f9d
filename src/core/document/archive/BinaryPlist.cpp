#include "document/archive/BinaryPlist.h"

#include "document/archive/BinaryPlistValidator.h"

#include <plist/plist.h>

#include <cstdlib>
#include <limits>

using namespace Qt::StringLiterals;

namespace quillcast {

void BinaryPlist::Free::operator()(void *node) const
{
    plist_free(static_cast<plist_t>(node));
}

Result<BinaryPlist> BinaryPlist::parse(QByteArrayView bytes)
{
    // libplist takes the length as 32 bits.
    if (bytes.size() > qsizetype(std::numeric_limits<quint32>::max()))
        return Result<BinaryPlist>::failure(u"the file is too large"_s);
    const Status checked = BinaryPlistValidator::validate(bytes);
    if (!checked)
        return Result<BinaryPlist>::failure(checked.error());
    plist_t root = nullptr;
    plist_from_bin(bytes.data(), quint32(bytes.size()), &root);
    // libplist reports nothing but the missing tree.
    if (!root)
        return Result<BinaryPlist>::failure(u"damaged binary property list"_s);
    return BinaryPlist(root);
}

BinaryPlist::Kind BinaryPlist::Node::kind() const
{
    if (!m_node)
        return Kind::Other;
    switch (plist_get_node_type(m_node)) {
    case PLIST_BOOLEAN:
        return Kind::Bool;
    case PLIST_UINT:
        return Kind::Integer;
    case PLIST_REAL:
        return Kind::Real;
    case PLIST_DATE:
        return Kind::Date;
    case PLIST_DATA:
        return Kind::Data;
    case PLIST_STRING:
        return Kind::String;
    case PLIST_UID:
        return Kind::Uid;
    case PLIST_ARRAY:
        return Kind::Array;
    case PLIST_DICT:
        return Kind::Dict;
    default:
        return Kind::Other;
    }
}

bool BinaryPlist::Node::toBool() const
{
    uint8_t v = 0;
    if (kind() == Kind::Bool)
        plist_get_bool_val(m_node, &v);
    return v != 0;
}

qint64 BinaryPlist::Node::toInteger() const
{
    uint64_t v = 0;
    if (kind() == Kind::Integer)
        plist_get_uint_val(m_node, &v);
    return static_cast<qint64>(v);
}

double BinaryPlist::Node::toReal() const
{
    double v = 0;
    if (kind() == Kind::Real)
        plist_get_real_val(m_node, &v);
    return v;
}

double BinaryPlist::Node::toDateSince2001() const
{
    int32_t seconds = 0;
    int32_t microseconds = 0;
    if (kind() == Kind::Date)
        plist_get_date_val(m_node, &seconds, &microseconds);
    return double(seconds) + double(microseconds) / 1e6;
}

QString BinaryPlist::Node::toString() const
{
    if (kind() != Kind::String)
        return QString();
    uint64_t length = 0;
    const char *text = plist_get_string_ptr(m_node, &length);
    return text ? QString::fromUtf8(text, qsizetype(length)) : QString();
}

QByteArray BinaryPlist::Node::toData() const
{
    if (kind() != Kind::Data)
        return QByteArray();
    uint64_t length = 0;
    const char *bytes = plist_get_data_ptr(m_node, &length);
    return bytes ? QByteArray(bytes, qsizetype(length)) : QByteArray();
}

quint64 BinaryPlist::Node::toUid() const
{
    uint64_t v = 0;
    if (kind() == Kind::Uid)
        plist_get_uid_val(m_node, &v);
    return v;
}

std::vector<BinaryPlist::Node> BinaryPlist::Node::items() const
{
    std::vector<Node> out;
    if (kind() != Kind::Array)
        return out;
    out.reserve(plist_array_get_size(m_node));
    // plist_array_get_item counts from the first item every time; iterate instead.
    plist_array_iter it = nullptr;
    plist_array_new_iter(m_node, &it);
    for (;;) {
        plist_t item = nullptr;
        plist_array_next_item(m_node, it, &item);
        if (!item)
            break;
        out.push_back(Node(item));
    }
    std::free(it);
    return out;
}

BinaryPlist::Node BinaryPlist::Node::value(const char *key) const
{
    if (kind() != Kind::Dict)
        return Node();
    return Node(plist_dict_get_item(m_node, key));
}

std::vector<std::pair<QString, BinaryPlist::Node>> BinaryPlist::Node::entries() const
{
    std::vector<std::pair<QString, Node>> out;
    if (kind() != Kind::Dict)
        return out;
    out.reserve(plist_dict_get_size(m_node));
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(m_node, &it);
    for (;;) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(m_node, it, &key, &value);
        if (!value) {
            std::free(key);
            break;
        }
        out.emplace_back(key ? QString::fromUtf8(key) : QString(), Node(value));
        std::free(key);
    }
    std::free(it);
    return out;
}

} // namespace quillcast
