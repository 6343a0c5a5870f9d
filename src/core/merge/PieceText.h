#pragma once

#include "merge/CanonicalReplacer.h"

#include <QString>

#include <vector>

namespace quillcast {

// A text under merge, kept as a sequence of pieces of the original text and of
// inserted values. A replacement step then costs in proportion to the number
// of pieces and of tag candidates, not to the length of the text: a 10 KB
// template with thirty tags is not copied thirty times.
//
// Candidates are the places where the tag's first character stands, found
// through an index of that character built once per source string. Every
// merge tag begins with "_"; tags that begin otherwise fall back to a scan.
class PieceText
{
public:
    explicit PieceText(const QString &text, QChar indexed = u'_');

    // One replacement step, with the semantics of CanonicalReplacer::replaceAll.
    bool replaceAll(const CanonicalReplacer &tag, const QString &value);

    QString toString() const;

private:
    struct Piece
    {
        int source; // index into m_sources
        qsizetype offset; // start within the source
        qsizetype size;
    };
    struct Source
    {
        QString text;
        std::vector<qsizetype> marks; // positions of the indexed character
    };
    struct Match
    {
        qsizetype start; // in the whole text
        qsizetype end;
    };

    int addSource(const QString &text);
    // The whole text from `piece`/`offset` on, as far as `length` code units or the end.
    QString window(size_t piece, qsizetype offset, qsizetype length) const;
    qsizetype matchAt(const CanonicalReplacer &tag, size_t piece, qsizetype offset) const;
    void collectCandidates(size_t piece, QChar first, bool useIndex, std::vector<qsizetype> &out) const;

    QChar m_indexed;
    std::vector<Source> m_sources;
    std::vector<Piece> m_pieces;
    qsizetype m_size = 0;
};

} // namespace quillcast
