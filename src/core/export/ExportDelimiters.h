#pragma once

#include <QString>

namespace quillcast {

// The texts an export writes around the file, each record and each field,
// and whether the record end also follows the last record.
struct ExportDelimiters
{
    // Export format codes.
    static constexpr qint32 FormatCustom = 0;
    static constexpr qint32 FormatTsv = 1;
    static constexpr qint32 FormatQuotedCsv = 2;
    static constexpr qint32 FormatHtmlTable = 3;
    static constexpr qint32 FormatHtmlPage = 4;
    static constexpr qint32 FormatCsv = 5;

    QString startOfFile;
    QString endOfFile;
    QString startOfRecord;
    QString endOfRecord;
    QString fieldOpenTag;
    QString fieldCloseTag;
    QString fieldSeparator;
    bool endOfRecordAfterLast = false;

    // The fixed delimiters of layouts 1 to 5; all empty for any other code
    // (the custom layout takes the user's fields instead).
    static ExportDelimiters forFormat(qint32 format);
    // Typed text to characters: every backslash-n becomes LF, then every
    // backslash-t TAB; no other escape is known.
    static QString unescape(const QString &typed);
    // "tsv", "csv", "html" or "txt".
    static QString fileExtension(qint32 format);

    friend bool operator==(const ExportDelimiters &, const ExportDelimiters &) = default;
};

} // namespace quillcast
