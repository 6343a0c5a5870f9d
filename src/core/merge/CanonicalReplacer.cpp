#include "merge/CanonicalReplacer.h"

namespace quillcast {

namespace {

// Below U+00C0 no character has a canonical decomposition or a combining class.
constexpr char16_t kFirstInteresting = 0x00C0;

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

// Whether a new run starts at i; at the end of a partial text the answer is unknown.
enum class RunStart { Yes, No, Unknown };

RunStart startsRunAt(QStringView s, qsizetype i, bool textEndsHere)
{
    if (i >= s.size())
        return textEndsHere ? RunStart::Yes : RunStart::Unknown;
    if (s[i].unicode() < 0x0300)
        return RunStart::Yes;
    if (s[i].isHighSurrogate() && i + 1 >= s.size() && !textEndsHere)
        return RunStart::Unknown;
    qsizetype units = 0;
    return isStarter(codePointAt(s, i, &units)) ? RunStart::Yes : RunStart::No;
}

// The end of the run of characters beginning at i: one character and the
// non-starters that follow it. Canonical decomposition and reordering never
// cross run boundaries, so a text's decomposition is the concatenation of the
// decompositions of its runs. -1 when a partial text ends inside the run.
qsizetype runEnd(QStringView s, qsizetype i, bool textEndsHere)
{
    qsizetype units = 0;
    codePointAt(s, i, &units);
    i += units;
    for (;;) {
        const RunStart next = startsRunAt(s, i, textEndsHere);
        if (next == RunStart::Unknown)
            return -1;
        if (next == RunStart::Yes)
            return i;
        codePointAt(s, i, &units);
        i += units;
    }
}

} // namespace

CanonicalReplacer::CanonicalReplacer(const QString &tag) : m_decomposed(tag.normalized(QString::NormalizationForm_D))
{
}

QChar CanonicalReplacer::firstChar() const
{
    return m_decomposed.isEmpty() ? QChar() : m_decomposed.front();
}

qsizetype CanonicalReplacer::matchLengthAt(QStringView text, qsizetype pos, bool textEndsHere) const
{
    const QStringView tag(m_decomposed);
    if (tag.isEmpty())
        return NoMatch;
    qsizetype i = pos;
    qsizetype j = 0;
    const qsizetype n = text.size();
    while (j < tag.size()) {
        if (i >= n)
            return textEndsHere ? NoMatch : NeedMoreText;
        const char16_t c = text[i].unicode();
        // Fast path: a plain character followed by one that cannot be a combining mark.
        if (c < kFirstInteresting && i + 1 < n && text[i + 1].unicode() < 0x0300) {
            if (c != tag[j].unicode())
                return NoMatch;
            ++i;
            ++j;
            continue;
        }
        if (c < kFirstInteresting) {
            const RunStart next = startsRunAt(text, i + 1, textEndsHere);
            if (next == RunStart::Unknown)
                return NeedMoreText;
            if (next == RunStart::Yes) {
                // A plain character standing alone: compare directly.
                if (c != tag[j].unicode())
                    return NoMatch;
                ++i;
                ++j;
                continue;
            }
        }
        const qsizetype end = runEnd(text, i, textEndsHere);
        if (end < 0)
            return NeedMoreText;
        const QString run = text.sliced(i, end - i).toString().normalized(QString::NormalizationForm_D);
        if (run.size() > tag.size() - j || tag.sliced(j, run.size()) != QStringView(run))
            return NoMatch;
        j += run.size();
        i = end;
    }
    return i - pos;
}

bool CanonicalReplacer::replaceAll(QString &text, QStringView value, QString &scratch) const
{
    if (m_decomposed.isEmpty() || text.isEmpty())
        return false;
    const QStringView in(text);
    const QChar first = m_decomposed.front();
    qsizetype copiedUpTo = 0;
    qsizetype pos = 0;
    bool replaced = false;
    // Every tag starts with a character that decomposes to itself ("_"), so a
    // candidate occurrence starts where that character stands in the text.
    const bool firstIsPlain = first.unicode() < kFirstInteresting;
    while (pos < in.size()) {
        const qsizetype p = firstIsPlain ? in.indexOf(first, pos) : pos;
        if (p < 0)
            break;
        const qsizetype len =
            (firstIsPlain || startsRunAt(in, p, true) == RunStart::Yes) ? matchLengthAt(in, p) : NoMatch;
        if (len < 0) {
            pos = p + 1;
            continue;
        }
        if (!replaced) {
            scratch.resize(0);
            scratch.reserve(in.size() + value.size());
            replaced = true;
        }
        scratch.append(in.sliced(copiedUpTo, p - copiedUpTo));
        scratch.append(value);
        pos = copiedUpTo = p + len;
    }
    if (!replaced)
        return false;
    scratch.append(in.sliced(copiedUpTo));
    text.swap(scratch);
    return true;
}

bool CanonicalReplacer::replaceAll(QString &text, QStringView value) const
{
    QString scratch;
    return replaceAll(text, value, scratch);
}

} // namespace quillcast
