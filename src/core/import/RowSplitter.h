#pragma once

#include "import/ImportLines.h"
#include "import/ImportRows.h"
#include "util/Result.h"

#include <QStringList>
#include <QStringView>

#include <optional>

namespace quillcast {

// Cuts the lines of an import file into fields: by TAB, or by comma or
// semicolon with double-quote handling, and chooses among the three by
// counting fields over the whole file.
//
// Quote handling follows what spreadsheets write: a field that opens with a
// double quote ends at the matching closing quote, "" inside it is one quote,
// and separators and line breaks inside it belong to the value (the record
// goes on over the next line). A quote that does not open a field is text,
// but separators after it do not split until another quote or the line end.
// Nothing is trimmed. TAB-separated lines know no quotes.
class RowSplitter
{
public:
    // Import format codes.
    static constexpr qint32 FormatAutomatic = 0;
    static constexpr qint32 FormatTab = 1;
    static constexpr qint32 FormatComma = 2;
    static constexpr qint32 FormatSemicolon = 3;

    struct FieldStatistic
    {
        qint64 comma = 0;
        qint64 semicolon = 0;
        qint64 tab = 0;
        friend bool operator==(const FieldStatistic &, const FieldStatistic &) = default;
    };

    // The fields of one line split at commas (semicolons) outside quotes;
    // nothing for an empty line or one made only of spaces (U+0020). A quoted
    // field left open at the line end is the rest of the line as written.
    static std::optional<QStringList> componentsOfCsvRow(QStringView line);
    static std::optional<QStringList> componentsOfCsvUsingSemicolonRow(QStringView line);
    // The line cut at every TAB: n TABs give n + 1 fields, empty ones included.
    static QStringList componentsOfTabRow(QStringView line);

    // The field-count sums over the file: comma and semicolon count the
    // fields of every record of the quoted split (0 for a blank line), tab
    // counts TABs + 1 per line (0 for an empty line).
    static FieldStatistic fieldStatistic(const ImportLines &lines, int threads = defaultThreads());
    // Comma or semicolon when its sum beats both others; tab otherwise, ties included.
    static qint32 chooseFormat(const FieldStatistic &statistic);

    // The rows the lines give under a format code (0 is resolved first by the
    // statistic); an unknown code gives no rows. Fails only for a row longer
    // than 4 Gi characters.
    //
    // A text without double quotes, where every record is one line, is cut
    // into consecutive stretches of lines split side by side on `threads`
    // threads (by default the machine's cores, at most four), with the same
    // rows as one pass; a text with quotes is split in one pass.
    static Result<ImportRows> splitRows(const ImportLines &lines, qint32 format, int threads = defaultThreads());
    // The same, taking the text over instead of sharing it, so that values
    // with doubled quotes are put right in place rather than in a copy.
    static Result<ImportRows> splitRows(ImportLines &&lines, qint32 format, int threads = defaultThreads());
    // The format splitRows uses for a code: the statistic's choice for 0.
    static qint32 resolveFormat(const ImportLines &lines, qint32 format);

    static int defaultThreads();

private:
    // owner: the lines themselves when their text may be taken, else null.
    static Result<ImportRows> split(const ImportLines &lines, qint32 format, ImportLines *owner, int threads);
    // The statistic over `parts` stretches of lines (more than one only for
    // a text without quotes).
    static FieldStatistic statisticIn(const ImportLines &lines, qsizetype parts);
    // The statistic of lines [first, last); a record may read lines past last.
    static FieldStatistic statisticOf(const ImportLines &lines, qsizetype first, qsizetype last);
    struct Stretch;
    // Splits the records that start in lines [first, last) into stretch;
    // false for a record too long to import.
    static bool splitStretch(const ImportLines &lines, QString &text, qint32 format, qsizetype first, qsizetype last,
                             Stretch &stretch);
};

} // namespace quillcast
