#include "app/transformers/Conversions.h"

#include "document/archive/BinaryPlist.h"
#include "document/archive/KeyedUnarchiver.h"

#include <QString>

#include <optional>

using namespace Qt::StringLiterals;

// The plain text of a stored rich-text value: the bytes are a keyed archive
// (binary property list) whose root object is an NSAttributedString, or one
// of its subclasses, with its characters under "NSString", either as an
// inline string or as an NSString / NSMutableString object holding
// "NS.string". Character attributes are of no use to the caller and are not
// read.
//
// KeyedUnarchiver reads the archives of the document model, whose roots are
// dictionaries of plain values; it refuses other classes by design, so this
// reads the one object graph it needs straight from the validated property
// list, within the same size limit.
namespace quillcast::conversions {

namespace {

using Node = BinaryPlist::Node;
using Kind = BinaryPlist::Kind;

// The object a reference names; a null Node for anything else.
Node referenced(const BinaryPlist::Items &objects, Node reference)
{
    if (reference.kind() != Kind::Uid || reference.toUid() == 0)
        return Node();
    return objects.at(reference.toUid());
}

// Whether an archived object is of the class or one of its subclasses.
bool isKindOf(const BinaryPlist::Items &objects, Node object, QStringView className)
{
    const Node description = referenced(objects, object.value("$class"));
    const Node name = description.value("$classname");
    if (name.kind() == Kind::String && name.toString() == className)
        return true;
    for (const Node &super : description.value("$classes").items()) {
        if (super.kind() == Kind::String && super.toString() == className)
            return true;
    }
    return false;
}

// An archived string: inline, or an NSString object with its text inline or
// one reference away. "$null" stands for no string.
std::optional<QString> stringOf(const BinaryPlist::Items &objects, Node object)
{
    if (object.kind() == Kind::String) {
        QString text = object.toString();
        if (text == u"$null")
            return std::nullopt;
        return text;
    }
    if (object.kind() != Kind::Dict
        || !(isKindOf(objects, object, u"NSString") || isKindOf(objects, object, u"NSMutableString")))
        return std::nullopt;
    Node text = object.value("NS.string");
    if (text.kind() == Kind::Uid)
        text = referenced(objects, text);
    if (text.kind() != Kind::String)
        return std::nullopt;
    return text.toString();
}

} // namespace

Value plainTextOfRichTextArchive(const Value &value)
{
    if (value.type() != Value::Type::Bytes)
        return Value();
    const QByteArray bytes = value.toBytes();
    if (bytes.size() > KeyedUnarchiver::maxFileSize)
        return Value();
    const Result<BinaryPlist> plist = BinaryPlist::parse(bytes);
    if (!plist)
        return Value();

    const Node top = plist->root();
    const Node archiver = top.value("$archiver");
    if (archiver.kind() != Kind::String || archiver.toString() != u"NSKeyedArchiver")
        return Value();
    const Node objectArray = top.value("$objects");
    if (objectArray.kind() != Kind::Array)
        return Value();
    const BinaryPlist::Items objects = objectArray.items();

    const Node root = referenced(objects, top.value("$top").value("root"));
    if (root.kind() != Kind::Dict || !isKindOf(objects, root, u"NSAttributedString"))
        return Value();
    Node characters = root.value("NSString");
    if (characters.kind() == Kind::Uid)
        characters = referenced(objects, characters);
    const std::optional<QString> text = stringOf(objects, characters);
    if (!text)
        return Value();
    return Value(*text);
}

} // namespace quillcast::conversions
