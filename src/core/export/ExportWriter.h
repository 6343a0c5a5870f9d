#pragma once

#include "export/ExportDelimiters.h"
#include "util/Result.h"
#include "util/Value.h"

#include <QLocale>
#include <QString>

#include <functional>
#include <memory>

class QIODevice;

namespace quillcast {

class ArchivedAddressList;

// Writes records as text in one of the export layouts: the start of the file,
// an optional row of column names, one row per record with its values for the
// chosen keys, the end of the file. Values are folded so that they cannot
// break the layout (no line break in the line-based layouts, no TAB in TSV,
// no comma in plain CSV), and a quote inside a quoted CSV value is doubled,
// as spreadsheets read it.
class ExportWriter
{
public:
    struct Job
    {
        List records; // dictionaries, in export order
        // When set, the records are instead read from the mailing's file as
        // they are written (writeFile only): a mailing opened to be exported.
        std::shared_ptr<const ArchivedAddressList> archived;
        List keys; // DB keys: innerKey to look values up, publicKey for the names row
        qint32 format = ExportDelimiters::FormatTsv; // chooses the folding
        ExportDelimiters delimiters = ExportDelimiters::forFormat(ExportDelimiters::FormatTsv);
        bool namesRow = false;
        QLocale locale = QLocale::system(); // dates: short date style, no time
        // Told how many records are written of how many, every few hundred
        // records (every few thousand in write() on a long list) and once at
        // the end, on the writing thread; answering false stops the writing,
        // which then fails with cancelledMessage() (writeFile leaves no file).
        std::function<bool(qint64 written, qint64 total)> onProgress;
    };

    // "the export was cancelled"
    static QString cancelledMessage();

    // The whole text, built in memory.
    static QString render(const Job &job);
    // Streams the text to the device as UTF-8, a slice at a time; a long list
    // is rendered with the help of a second thread, into the same bytes.
    static Status write(QIODevice &device, const Job &job);
    // Writes the file as UTF-8, replacing any existing one in one step (the
    // text goes to a file beside it, then takes its name), so a failed write
    // leaves the old file whole.
    static Status writeFile(const QString &path, const Job &job);

    // A value as text: numbers in decimal, dates in the locale's short date
    // style, strings unchanged, no value as "".
    static QString valueText(const Value &value, const QLocale &locale);
    // The folding of one value for a format code.
    static QString fold(QString text, qint32 format);
    // The text with its quotes doubled in quoted CSV; unchanged otherwise.
    // Column names are written so, unfolded.
    static QString quoted(QString text, qint32 format);

private:
    // write() for a job whose records are read from the file; leftToOpen
    // when the reader met a record it leaves to an open (the text is then
    // incomplete).
    static Status writeArchived(QIODevice &device, const Job &job, bool &leftToOpen);
};

} // namespace quillcast
