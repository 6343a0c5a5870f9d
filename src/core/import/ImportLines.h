#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace quillcast {

// The lines of an import text: the text itself plus where each line starts,
// so that a million-line file is not copied into a million strings. A line
// never includes its LF.
class ImportLines
{
public:
    // No lines at all (what a failed read gives).
    ImportLines() = default;
    // Cuts the text at every LF. Empty lines stay; a text ending in LF has an
    // empty last line; the empty text is one empty line.
    explicit ImportLines(QString text);
    // Lines given one by one (a subclass hook may rebuild the list).
    static ImportLines fromLines(const QStringList &lines);

    qsizetype size() const { return m_starts.empty() ? 0 : qsizetype(m_starts.size()) - 1; }
    bool isEmpty() const { return size() == 0; }
    QStringView at(qsizetype i) const
    {
        const qsizetype start = m_starts[size_t(i)];
        return QStringView(m_text).mid(start, m_starts[size_t(i) + 1] - 1 - start);
    }
    // Where line i starts in text(); one LF separates it from the next line.
    qsizetype startOf(qsizetype i) const { return m_starts[size_t(i)]; }
    // One past the last character of line i in text().
    qsizetype endOf(qsizetype i) const { return m_starts[size_t(i) + 1] - 1; }
    QStringList toStringList() const;
    // The text the lines are views of (the lines joined by LF).
    const QString &text() const { return m_text; }

private:
    friend class RowSplitter; // takes the text over when the lines are done with

    QString m_text;
    // Start of every line, then one past the end of the last line's LF
    // (text size + 1), so that line i ends at m_starts[i + 1] - 1.
    std::vector<qsizetype> m_starts;
};

} // namespace quillcast
