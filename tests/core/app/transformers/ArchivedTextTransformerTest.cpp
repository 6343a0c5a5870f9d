#include "TransformerTestSupport.h"
#include "app/transformers/ConversionTransformers.h"
#include "document/archive/BinaryPlistWriter.h"
#include "document/archive/KeyedArchiver.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <utility>
#include <vector>

using namespace quillcast;
using namespace quillcast::testing;
using namespace Qt::StringLiterals;

namespace {

using Ref = BinaryPlistWriter::Ref;

// How the characters of the archived rich text are stored.
enum class Characters {
    MutableStringObject, // NSString -> {NS.string: "text", $class: NSMutableString}
    TextOneReferenceAway, // NSString -> {NS.string: -> "text", $class: NSString}
    InlineString, // NSString -> "text"
    NullReference, // NSString -> UID 0
    NumberInstead, // NSString -> 42
};

const QStringList mutableAttributedString{u"NSMutableAttributedString"_s, u"NSAttributedString"_s, u"NSObject"_s};
const QStringList privateSubclass{u"NSConcreteAttributedString"_s, u"NSAttributedString"_s, u"NSObject"_s};
const QStringList notAttributed{u"NSURL"_s, u"NSObject"_s};

// A keyed archive of one rich-text object, laid out as Foundation writes it:
// $objects = [$null, root, characters, root class, string class, text].
QByteArray richTextArchive(const QString &text, Characters form, const QStringList &rootClasses,
                           const QString &archiver = u"NSKeyedArchiver"_s)
{
    BinaryPlistWriter w;
    auto key = [&](const char *s) { return w.string(QString::fromLatin1(s)); };
    auto classDescription = [&](const QStringList &chain) {
        std::vector<Ref> names;
        for (const QString &name : chain)
            names.push_back(w.string(name));
        const std::pair<Ref, Ref> entries[] = {{key("$classname"), w.string(chain.first())},
                                               {key("$classes"), w.array(names)}};
        return w.dict(entries);
    };

    const Ref charactersRef = form == Characters::NullReference ? w.uid(0) : w.uid(2);
    const std::pair<Ref, Ref> rootEntries[] = {{key("NSString"), charactersRef}, {key("$class"), w.uid(3)}};
    const Ref root = w.dict(rootEntries);

    Ref characters = 0;
    switch (form) {
    case Characters::MutableStringObject: {
        const std::pair<Ref, Ref> entries[] = {{key("NS.string"), w.string(text)}, {key("$class"), w.uid(4)}};
        characters = w.dict(entries);
        break;
    }
    case Characters::TextOneReferenceAway: {
        const std::pair<Ref, Ref> entries[] = {{key("NS.string"), w.uid(5)}, {key("$class"), w.uid(4)}};
        characters = w.dict(entries);
        break;
    }
    case Characters::InlineString:
    case Characters::NullReference:
        characters = w.string(text);
        break;
    case Characters::NumberInstead:
        characters = w.integer(42);
        break;
    }
    const QStringList stringClasses = form == Characters::TextOneReferenceAway
        ? QStringList{u"NSString"_s, u"NSObject"_s}
        : QStringList{u"NSMutableString"_s, u"NSString"_s, u"NSObject"_s};
    const Ref objects[] = {w.string(u"$null"_s), root, characters, classDescription(rootClasses),
                           classDescription(stringClasses), w.string(text)};

    const std::pair<Ref, Ref> topEntries[] = {{key("root"), w.uid(1)}};
    const std::pair<Ref, Ref> archiveEntries[] = {{key("$archiver"), w.string(archiver)},
                                                  {key("$version"), w.integer(100000)},
                                                  {key("$top"), w.dict(topEntries)},
                                                  {key("$objects"), w.array(objects)}};
    return w.finish(w.dict(archiveEntries));
}

TEST(ArchivedText, GivesThePlainText)
{
    const QString greeting = u"Dear «FirstName»,\n\tthank you ✉"_s;
    const QString hello = u"Hello"_s;
    const QByteArray whole = richTextArchive(hello, Characters::MutableStringObject, mutableAttributedString);
    const struct { const char *name; Value input; Value expected; } rows[] = {
        {"mutableStringObject",
         Value(richTextArchive(greeting, Characters::MutableStringObject, mutableAttributedString)), Value(greeting)},
        {"textOneReferenceAway",
         Value(richTextArchive(hello, Characters::TextOneReferenceAway, mutableAttributedString)), Value(hello)},
        {"inlineString", Value(richTextArchive(hello, Characters::InlineString, privateSubclass)), Value(hello)},
        {"emptyText", Value(richTextArchive(QString(), Characters::MutableStringObject, privateSubclass)),
         Value(QString())},
        {"noCharacters", Value(richTextArchive(hello, Characters::NullReference, mutableAttributedString)), Value()},
        {"numberForCharacters", Value(richTextArchive(hello, Characters::NumberInstead, mutableAttributedString)),
         Value()},
        {"rootOfAnotherClass", Value(richTextArchive(hello, Characters::MutableStringObject, notAttributed)),
         Value()},
        {"otherArchiver",
         Value(richTextArchive(hello, Characters::MutableStringObject, mutableAttributedString, u"NSArchiver"_s)),
         Value()},
        {"truncatedArchive", Value(whole.left(whole.size() - 9)), Value()},
        {"archivedDictionary",
         Value(KeyedArchiver::archive(Value(Dict{{u"NSString"_s, Value(hello)}})).value()), Value()},
        {"plainTextBytes", Value(QByteArray("Dear Ann")), Value()},
        {"textInsteadOfBytes", Value(u"Dear Ann"_s), Value()},
        {"none", Value(), Value()},
    };
    for (const auto &row : rows)
        EXPECT_EQ(describe(LXUnarchivieFromDataToText().transformedValue(row.input)), describe(row.expected))
            << row.name;
}

} // namespace
