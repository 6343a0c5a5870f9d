#pragma once

#include <QString>
#include <QStringView>

#include <vector>

namespace quillcast {

// A set of tags replaced together in one scan of a text.
//
// The scan goes left to right; where tags of the set start at the same
// position, the longest one wins, and the text after it is scanned on from its
// end. What is put in its place is never looked at again, so a value that
// happens to hold tag text arrives as it is, and a tag that holds a shorter
// tag is never broken up by it.
//
// Tags are found under canonical equivalence (a precomposed "é" in the text
// matches "e" + combining acute in the tag and the other way round) but never
// by folding case. An occurrence always covers whole characters with their
// combining marks, and the text outside occurrences is copied unchanged: the
// text as a whole is never normalised.
class TagMatcher
{
public:
    // Adds a tag that stands for the value at `id`. Of two tags spelled the
    // same, up to canonical equivalence, the one added first is kept.
    void add(const QString &tag, int id);

    struct Match
    {
        qsizetype length = 0; // in code units of the text; 0 when no tag starts there
        int id = -1;
    };
    // The longest tag of the set that occurs at `pos`.
    Match longestAt(QStringView text, qsizetype pos) const;

    // `text` with every occurrence replaced by values[id]; null for null. A
    // text without occurrences comes back as the same string, not a copy.
    QString replaceAll(const QString &text, const std::vector<QString> &values) const;

private:
    struct Edge
    {
        char16_t unit;
        int node;
    };
    struct Node
    {
        std::vector<Edge> edges; // sorted by unit
        int id = -1; // the tag that ends here, if any
    };

    int child(int node, char16_t unit) const;
    // Follows the units of `units` from `node`; -1 where the set has no such path.
    int follow(int node, QStringView units) const;

    std::vector<Node> m_nodes{Node{}};
    // The first code unit shared by every tag, when it is one that can only
    // stand for itself: the scan then only stops where it stands.
    char16_t m_lead = 0;
    bool m_mixedLeads = false;
};

} // namespace quillcast
