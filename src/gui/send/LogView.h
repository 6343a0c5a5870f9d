#pragma once

#include <QPlainTextEdit>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <chrono>

namespace quillcast {
class MyDocument;
}

namespace quillcast::gui {

// The document's log, read-only, in the normal text colour, kept at its end.
//
// A send run appends a line per message and per server answer; appending
// each to the text edit as it comes would make a long run's window crawl
// (every append lays out and repaints). Appended lines are collected and
// written in one piece at most every flushInterval, or at once when the
// whole log is replaced (cleared, or the clear undone).
class LogView : public QPlainTextEdit
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kDefaultFlushInterval{100};
    // Laying out lines takes time: a slice of this many keeps the window
    // answering while a long backlog is written.
    static constexpr qsizetype kLinesPerSlice = 2000;

    explicit LogView(QWidget *parent = nullptr);

    // Shows document's log and follows it; null: shows nothing.
    void setDocument(quillcast::MyDocument *document);
    // Writes the lines collected so far now.
    void flush();
    bool hasPendingLines() const { return !m_pending.isEmpty(); }

private:
    void append(const QString &text);
    // Writes the first lines collected, at most lines of them.
    void write(qsizetype lines);
    void replaceAll(const QString &text);
    void scrollToEnd();

    QPointer<quillcast::MyDocument> m_document;
    QStringList m_pending;
    QTimer m_flushTimer;
};

} // namespace quillcast::gui
