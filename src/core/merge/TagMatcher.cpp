#include "merge/TagMatcher.h"

#include <algorithm>

namespace quillcast {

namespace {

// Below U+00C0 no character has a canonical decomposition or a combining class.
constexpr char16_t kFirstInteresting = 0x00C0;
// No other character decomposes to a sequence that begins with "_", so a tag
// that begins with it can only start where "_" itself stands in the text.
constexpr char16_t kIndexedLead = u'_';

char32_t codePointAt(QStringView s, qsizetype i, qsizetype *units)
{
    const QChar c = s[i];
    if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
        *units = 2;
        return QChar::surrogateToUcs4(c, s[i + 1]);
    }
    *units = 1;
    return c.unicode();
}

// A character that starts a new run under canonical ordering. A few Tibetan
// vowel signs have class 0 but decompose into combining marks, so they do not.
bool isStarter(char32_t cp)
{
    if (cp < kFirstInteresting)
        return true;
    if (cp == 0x0F73 || cp == 0x0F75 || cp == 0x0F81)
        return false;
    return QChar::combiningClass(cp) == 0;
}

bool startsRunAt(QStringView s, qsizetype i)
{
    if (i >= s.size() || s[i].unicode() < 0x0300)
        return true;
    qsizetype units = 0;
    return isStarter(codePointAt(s, i, &units));
}

// The end of the run of characters beginning at i: one character and the
// non-starters that follow it. Canonical decomposition and reordering never
// cross run boundaries, so a text's decomposition is the concatenation of the
// decompositions of its runs, and a tag can only begin and end between runs.
qsizetype runEnd(QStringView s, qsizetype i)
{
    qsizetype units = 0;
    codePointAt(s, i, &units);
    i += units;
    while (!startsRunAt(s, i)) {
        codePointAt(s, i, &units);
        i += units;
    }
    return i;
}

} // namespace

int TagMatcher::child(int node, char16_t unit) const
{
    const std::vector<Edge> &edges = m_nodes[size_t(node)].edges;
    const auto it =
        std::lower_bound(edges.begin(), edges.end(), unit, [](const Edge &e, char16_t u) { return e.unit < u; });
    return it != edges.end() && it->unit == unit ? it->node : -1;
}

int TagMatcher::follow(int node, QStringView units) const
{
    for (const QChar u : units) {
        node = child(node, u.unicode());
        if (node < 0)
            return -1;
    }
    return node;
}

void TagMatcher::add(const QString &tag, int id)
{
    const QString units = tag.normalized(QString::NormalizationForm_D);
    if (units.isEmpty())
        return;
    int node = 0;
    for (const QChar u : units) {
        int next = child(node, u.unicode());
        if (next < 0) {
            next = int(m_nodes.size());
            m_nodes.push_back(Node{});
            std::vector<Edge> &edges = m_nodes[size_t(node)].edges;
            edges.insert(std::lower_bound(edges.begin(), edges.end(), u.unicode(),
                                          [](const Edge &e, char16_t c) { return e.unit < c; }),
                         Edge{u.unicode(), next});
        }
        node = next;
    }
    if (m_nodes[size_t(node)].id < 0)
        m_nodes[size_t(node)].id = id;

    const char16_t lead = units.front().unicode();
    if (lead != kIndexedLead || (m_lead != 0 && m_lead != lead))
        m_mixedLeads = true;
    m_lead = lead;
}

TagMatcher::Match TagMatcher::longestAt(QStringView text, qsizetype pos) const
{
    Match best;
    const qsizetype n = text.size();
    if (pos >= n || !startsRunAt(text, pos))
        return best;
    int node = 0;
    qsizetype i = pos;
    while (i < n && !m_nodes[size_t(node)].edges.empty()) {
        const char16_t c = text[i].unicode();
        if (startsRunAt(text, i + 1) && !QChar::isSurrogate(c)
            && (c < kFirstInteresting || QChar::decompositionTag(c) == QChar::NoDecomposition)) {
            // A character that does not decompose, standing alone, is its own decomposition.
            node = child(node, c);
            ++i;
        } else {
            const qsizetype end = runEnd(text, i);
            node = follow(node, text.sliced(i, end - i).toString().normalized(QString::NormalizationForm_D));
            i = end;
        }
        if (node < 0)
            break;
        if (m_nodes[size_t(node)].id >= 0)
            best = Match{i - pos, m_nodes[size_t(node)].id};
    }
    return best;
}

QString TagMatcher::replaceAll(const QString &text, const std::vector<QString> &values) const
{
    if (text.isEmpty() || m_nodes.front().edges.empty())
        return text;
    const QStringView in(text);
    QString out;
    bool replaced = false;
    qsizetype copiedUpTo = 0;
    qsizetype pos = 0;
    while (pos < in.size()) {
        const qsizetype p = m_mixedLeads ? pos : in.indexOf(QChar(m_lead), pos);
        if (p < 0)
            break;
        const Match match = longestAt(in, p);
        if (match.length == 0) {
            pos = p + 1;
            continue;
        }
        if (!replaced) {
            out.reserve(in.size() + in.size() / 4);
            replaced = true;
        }
        Q_ASSERT(size_t(match.id) < values.size());
        out.append(in.sliced(copiedUpTo, p - copiedUpTo));
        out.append(values[size_t(match.id)]);
        pos = copiedUpTo = p + match.length;
    }
    if (!replaced)
        return text;
    out.append(in.sliced(copiedUpTo));
    return out;
}

} // namespace quillcast
