#include "util/TextSet.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

using Texts = std::vector<std::optional<QString>>;

// What inserting the texts one by one into a set says of each.
std::vector<TextSet::Mark> insertedOneByOne(const Texts &texts, Qt::CaseSensitivity cs)
{
    TextSet set(cs);
    std::vector<TextSet::Mark> marks;
    for (const std::optional<QString> &text : texts) {
        if (!text)
            marks.push_back(TextSet::Mark::NoText);
        else
            marks.push_back(set.insert(*text) ? TextSet::Mark::First : TextSet::Mark::Repeat);
    }
    return marks;
}

std::vector<TextSet::Mark> marked(const Texts &texts, Qt::CaseSensitivity cs)
{
    return TextSet::marks(texts.size(), cs, [&](size_t i) { return texts[i]; });
}

// A long run is read on several threads and filled in order: each text must
// get the answer one set built in order gives, wherever its first
// occurrence fell, in either sensitivity.
TEST(TextSetMarks, MarkEachTextAsInsertingThemInOrderWould)
{
    Texts small = {u"Ann@Example.org"_s, std::nullopt, u"ann@example.ORG"_s, u""_s, QString(),
                         u"JÜRGEN@x.de"_s, u"jürgen@x.de"_s, u"\u212Aelvin@x.org"_s, u"kelvin@x.org"_s,
                         u"straße@x.de"_s, u"STRASSE@x.de"_s, u"Ann@Example.org"_s};
    Texts large;
    for (int i = 0; i < 250000; ++i) {
        // Repeats of texts far back (across the threads' shares), near, in
        // another case, non-ASCII ones, and records without a text.
        if (i % 11 == 0)
            large.emplace_back(std::nullopt);
        else if (i % 7 == 0)
            large.emplace_back(u"Person%1@EXAMPLE.org"_s.arg(i / 3));
        else if (i % 5 == 0)
            large.emplace_back(u"Jürgen%1@x.de"_s.arg(i % 1000));
        else
            large.emplace_back(u"person%1@example.org"_s.arg(i));
    }
    for (const auto &[name, texts] : {std::pair{"small", &small}, std::pair{"large", &large}}) {
        for (const Qt::CaseSensitivity cs : {Qt::CaseInsensitive, Qt::CaseSensitive}) {
            SCOPED_TRACE(std::string(name) + (cs == Qt::CaseSensitive ? ", exact" : ", ignoring case"));
            const std::vector<TextSet::Mark> expected = insertedOneByOne(*texts, cs);
            const std::vector<TextSet::Mark> got = marked(*texts, cs);
            ASSERT_EQ(got.size(), expected.size());
            for (size_t i = 0; i < got.size(); ++i)
                ASSERT_EQ(int(got[i]), int(expected[i])) << "text " << i;
        }
    }
    EXPECT_TRUE(marked({}, Qt::CaseInsensitive).empty());
}

} // namespace
