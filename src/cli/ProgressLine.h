#pragma once

#include <QString>
#include <QTextStream>

namespace quillcast::cli {

// One line on a terminal that a long run rewrites as it goes ("Importing:
// 412,000 of 1,000,000 rows (41%)"), and clears when it ends, so that the
// command's own messages follow on a clean line. Disabled, it writes nothing
// at all: then the output is the same as without it.
class ProgressLine
{
public:
    ProgressLine(QTextStream &stream, bool enabled) : m_stream(stream), m_enabled(enabled) {}
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    // "<label>: done of total <unit> (n%)"; the label alone with "..." when
    // the total is not known (0).
    void show(const QString &label, qint64 done, qint64 total, const QString &unit);
    // Removes the line.
    void clear();

    // The text show() draws, without the terminal's control characters.
    static QString text(const QString &label, qint64 done, qint64 total, const QString &unit);

private:
    QTextStream &m_stream;
    bool m_enabled;
    qsizetype m_drawn = 0; // characters on the line now
};

} // namespace quillcast::cli
