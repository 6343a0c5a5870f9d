#pragma once

#include <QString>

namespace quillcast {

// One replacement step of the merge: every occurrence of a tag in a text is
// replaced by a value, scanning left to right without overlap; the value
// inserted is not scanned again by the same step.
//
// Occurrences are found under canonical equivalence (a precomposed "é" in the
// text matches "e" + combining acute in the tag and the other way round) but
// never by folding case. A match always covers whole characters with their
// combining marks, and the text outside a match is copied unchanged: the text
// as a whole is never normalised.
class CanonicalReplacer
{
public:
    // Prepares the tag once (its canonical decomposition).
    explicit CanonicalReplacer(const QString &tag);

    // Replaces in `text`; returns whether anything was replaced. `scratch` is
    // working storage the caller may keep between calls to save allocations.
    bool replaceAll(QString &text, QStringView value, QString &scratch) const;
    bool replaceAll(QString &text, QStringView value) const;

    static constexpr qsizetype NoMatch = -1;
    static constexpr qsizetype NeedMoreText = -2;

    // The length, in code units of `text`, of the occurrence of the tag that
    // starts at `pos`; NoMatch when the tag does not occur there. When `text`
    // is only the beginning of a longer text (textEndsHere false) and the
    // answer depends on what follows, gives NeedMoreText.
    qsizetype matchLengthAt(QStringView text, qsizetype pos, bool textEndsHere = true) const;

    // The first character of the tag, where every occurrence starts.
    QChar firstChar() const;
    // The tag in canonical decomposition, as it is compared.
    const QString &decomposed() const { return m_decomposed; }

private:
    QString m_decomposed;
};

} // namespace quillcast
