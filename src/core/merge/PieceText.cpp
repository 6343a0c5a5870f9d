#include "merge/PieceText.h"

#include <algorithm>

namespace quillcast {

PieceText::PieceText(const QString &text, QChar indexed) : m_indexed(indexed)
{
    const int s = addSource(text);
    if (!text.isEmpty())
        m_pieces.push_back(Piece{s, 0, text.size()});
    m_size = text.size();
}

int PieceText::addSource(const QString &text)
{
    Source source{text, {}};
    const QStringView view(source.text);
    for (qsizetype p = view.indexOf(m_indexed); p >= 0; p = view.indexOf(m_indexed, p + 1))
        source.marks.push_back(p);
    m_sources.push_back(std::move(source));
    return int(m_sources.size() - 1);
}

QString PieceText::window(size_t piece, qsizetype offset, qsizetype length) const
{
    QString out;
    out.reserve(length);
    for (; piece < m_pieces.size() && out.size() < length; ++piece, offset = 0) {
        const Piece &p = m_pieces[piece];
        const qsizetype take = std::min(p.size - offset, length - out.size());
        out.append(QStringView(m_sources[size_t(p.source)].text).sliced(p.offset + offset, take));
    }
    return out;
}

qsizetype PieceText::matchAt(const CanonicalReplacer &tag, size_t piece, qsizetype offset) const
{
    const Piece &p = m_pieces[piece];
    const QStringView here = QStringView(m_sources[size_t(p.source)].text).sliced(p.offset + offset, p.size - offset);
    qsizetype len = tag.matchLengthAt(here, 0, piece + 1 == m_pieces.size());
    // The occurrence may run on into the following pieces: look at a growing
    // stretch of the whole text until the answer no longer depends on what follows.
    qsizetype want = here.size() + 16;
    while (len == CanonicalReplacer::NeedMoreText) {
        const QString stretch = window(piece, offset, want);
        const bool reachesEnd = stretch.size() < want;
        len = tag.matchLengthAt(stretch, 0, reachesEnd);
        want *= 2;
    }
    return len;
}

bool PieceText::replaceAll(const CanonicalReplacer &tag, const QString &value)
{
    const QChar first = tag.firstChar();
    if (first.isNull() || m_pieces.empty())
        return false;
    // A first character that is not plain could also begin a decomposed
    // sequence; only plain first characters can use the index.
    const bool useIndex = first == m_indexed;
    const bool plainFirst = first.unicode() < 0x00C0;

    // The tag's second character, when plain, rejects most candidates at once:
    // after a plain first character, a plain second character of the text is
    // also the second character of the text's decomposition.
    const QString &tagText = tag.decomposed();
    const char16_t second = tagText.size() > 1 ? tagText[1].unicode() : 0;
    const bool quickReject = second != 0 && second < 0x00C0;

    std::vector<Match> matches;
    qsizetype pieceStart = 0;
    qsizetype resumeAt = 0; // occurrences do not overlap
    const auto consider = [&](size_t i, const QStringView piece, qsizetype local) {
        const qsizetype global = pieceStart + local;
        if (global < resumeAt)
            return;
        if (quickReject && local + 1 < piece.size()) {
            const char16_t next = piece[local + 1].unicode();
            if (next < 0x00C0 && next != second)
                return;
        }
        const qsizetype len = matchAt(tag, i, local);
        if (len > 0) {
            matches.push_back(Match{global, global + len});
            resumeAt = global + len;
        }
    };
    for (size_t i = 0; i < m_pieces.size(); ++i) {
        const Piece &p = m_pieces[i];
        const Source &src = m_sources[size_t(p.source)];
        const QStringView piece = QStringView(src.text).sliced(p.offset, p.size);
        if (useIndex) {
            auto it = std::lower_bound(src.marks.begin(), src.marks.end(), p.offset);
            for (; it != src.marks.end() && *it < p.offset + p.size; ++it)
                consider(i, piece, *it - p.offset);
        } else {
            for (qsizetype local = 0; local < piece.size(); ++local) {
                if (!plainFirst || piece[local] == first)
                    consider(i, piece, local);
            }
        }
        pieceStart += p.size;
    }
    if (matches.empty())
        return false;

    const int valueSource = value.isEmpty() ? -1 : addSource(value);
    std::vector<Piece> rebuilt;
    rebuilt.reserve(m_pieces.size() + 2 * matches.size());
    // Walk the old pieces, keeping the parts outside the matches and putting
    // the value where each match began.
    size_t m = 0;
    qsizetype skipUntil = 0;
    pieceStart = 0;
    for (const Piece &p : m_pieces) {
        const qsizetype pieceEnd = pieceStart + p.size;
        qsizetype cursor = std::max(pieceStart, skipUntil);
        while (cursor < pieceEnd) {
            if (m < matches.size() && matches[m].start == cursor) {
                if (valueSource >= 0)
                    rebuilt.push_back(Piece{valueSource, 0, value.size()});
                cursor = skipUntil = matches[m].end;
                ++m;
                continue;
            }
            const qsizetype keepEnd = m < matches.size() ? std::min(matches[m].start, pieceEnd) : pieceEnd;
            rebuilt.push_back(Piece{p.source, p.offset + (cursor - pieceStart), keepEnd - cursor});
            cursor = keepEnd;
        }
        pieceStart = pieceEnd;
    }
    qsizetype removed = 0;
    for (const Match &match : matches)
        removed += match.end - match.start;
    m_size += qsizetype(matches.size()) * value.size() - removed;
    m_pieces.swap(rebuilt);
    return true;
}

QString PieceText::toString() const
{
    if (m_pieces.size() == 1 && m_pieces.front().offset == 0
        && m_pieces.front().size == m_sources[size_t(m_pieces.front().source)].text.size())
        return m_sources[size_t(m_pieces.front().source)].text;
    QString out;
    out.reserve(m_size);
    for (const Piece &p : m_pieces)
        out.append(QStringView(m_sources[size_t(p.source)].text).sliced(p.offset, p.size));
    return out;
}

} // namespace quillcast
