#pragma once

// The properties the row splitter and format detection must keep for any
// input, shared by the libFuzzer target and the test that replays its corpus.

#include "import/ImportLines.h"
#include "import/LXSmartStringFileReader.h"
#include "import/RowSplitter.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <string>

namespace quillcast::fuzz {

namespace detail {

inline bool fail(std::string *why, const char *what)
{
    if (why)
        *why = what;
    return false;
}

// A plain reading of the quoting rules, character by character, to hold the
// splitter's faster walk against: a field that opens with a quote runs to
// the closing quote over line ends ("" is one quote) and keeps what follows
// it; one left open to the end of the text is the rest of its line, less a
// quote at both ends; any other quote keeps separators from splitting until
// the next quote or the line end. Blank lines give no record.
inline QList<QStringList> referenceRecords(const ImportLines &lines, char16_t separator)
{
    const auto blank = [](QStringView line) {
        return std::all_of(line.begin(), line.end(), [](QChar c) { return c == u' '; });
    };
    QList<QStringList> records;
    for (qsizetype l = 0; l < lines.size(); ++l) {
        QStringView line = lines.at(l);
        if (blank(line))
            continue;
        QStringList fields;
        qsizetype p = 0;
        for (;;) {
            QString field;
            if (p < line.size() && line[p] == u'"') {
                qsizetype closeLine = l;
                QStringView current = line;
                qsizetype q = p + 1;
                bool closed = false;
                for (;;) {
                    if (q == current.size()) {
                        if (closeLine + 1 >= lines.size())
                            break;
                        current = lines.at(++closeLine);
                        q = 0;
                        field += u'\n';
                    } else if (current[q] == u'"') {
                        if (q + 1 < current.size() && current[q + 1] == u'"') {
                            field += u'"';
                            q += 2;
                        } else {
                            closed = true;
                            break;
                        }
                    } else {
                        field += current[q++];
                    }
                }
                if (!closed) {
                    QString raw = line.mid(p).toString();
                    if (raw.endsWith(u'"'))
                        raw = raw.size() >= 2 ? raw.mid(1, raw.size() - 2) : QString();
                    fields.append(raw);
                    break;
                }
                l = closeLine;
                line = current;
                p = q + 1;
            }
            bool inQuotes = false;
            while (p < line.size() && !(line[p] == separator && !inQuotes)) {
                if (line[p] == u'"')
                    inQuotes = !inQuotes;
                field += line[p++];
            }
            fields.append(field);
            if (p == line.size())
                break;
            ++p;
        }
        records.append(fields);
    }
    return records;
}

// The rows of one format must be exactly what the plain reading gives (tab:
// the line cut at every TAB, empty lines left out), and the widest row must
// match the column count.
inline bool checkFormat(const ImportLines &lines, qint32 format, std::string *why)
{
    const Result<ImportRows> rows = RowSplitter::splitRows(lines, format);
    if (!rows)
        return fail(why, "splitRows refused the text");
    QList<QStringList> expected;
    qint64 widest = 0;
    if (format == RowSplitter::FormatTab) {
        for (qsizetype l = 0; l < lines.size(); ++l) {
            const QStringList fields = RowSplitter::componentsOfTabRow(lines.at(l));
            widest = std::max<qint64>(widest, fields.size());
            if (!lines.at(l).isEmpty())
                expected.append(fields);
        }
    } else {
        expected = referenceRecords(lines, format == RowSplitter::FormatComma ? u',' : u';');
        for (const QStringList &fields : std::as_const(expected))
            widest = std::max<qint64>(widest, fields.size());
    }
    if (rows->rowCount() != expected.size())
        return fail(why, "row count differs from the plain reading");
    for (qsizetype r = 0; r < rows->rowCount(); ++r) {
        if (rows->fields(r) != expected[r])
            return fail(why, "row fields differ from the plain reading");
        if (expected[r].isEmpty())
            return fail(why, "a row without fields");
    }
    if (rows->maxFieldCount() != widest)
        return fail(why, "column count is not the widest row");
    // Rows that take the text over and put it right in place read the same.
    const Result<ImportRows> owned = RowSplitter::splitRows(ImportLines(lines.text()), format);
    if (!owned || owned->rowCount() != rows->rowCount())
        return fail(why, "rows over a taken text differ in number");
    for (qsizetype r = 0; r < rows->rowCount(); ++r) {
        if (owned->fields(r) != expected[r])
            return fail(why, "rows over a taken text differ");
    }
    return true;
}

inline bool checkText(QString text, std::string *why)
{
    LXSmartStringFileReader::replaceStringWithNewline(text);
    if (text.contains(u'\r'))
        return fail(why, "a CR survived line-end normalisation");
    const ImportLines lines(text);
    if (lines.size() != text.count(u'\n') + 1)
        return fail(why, "line count is not LF count + 1");

    // The statistic against the sums of the plain reading; each line alone
    // splits as the plain reading of that line.
    RowSplitter::FieldStatistic expected;
    for (const QStringList &fields : referenceRecords(lines, u','))
        expected.comma += fields.size();
    for (const QStringList &fields : referenceRecords(lines, u';'))
        expected.semicolon += fields.size();
    for (qsizetype l = 0; l < lines.size(); ++l) {
        // An empty line takes no part in the tab sum.
        if (!lines.at(l).isEmpty())
            expected.tab += RowSplitter::componentsOfTabRow(lines.at(l)).size();
        const ImportLines alone(lines.at(l).toString());
        const QList<QStringList> comma = referenceRecords(alone, u',');
        if (RowSplitter::componentsOfCsvRow(lines.at(l))
            != (comma.isEmpty() ? std::nullopt : std::optional<QStringList>(comma.first())))
            return fail(why, "a line's comma split differs from the plain reading");
        const QList<QStringList> semicolon = referenceRecords(alone, u';');
        if (RowSplitter::componentsOfCsvUsingSemicolonRow(lines.at(l))
            != (semicolon.isEmpty() ? std::nullopt : std::optional<QStringList>(semicolon.first())))
            return fail(why, "a line's semicolon split differs from the plain reading");
    }
    const RowSplitter::FieldStatistic statistic = RowSplitter::fieldStatistic(lines);
    if (!(statistic == expected))
        return fail(why, "field statistic differs from the per-line splits");
    const qint32 chosen = RowSplitter::resolveFormat(lines, RowSplitter::FormatAutomatic);
    if (chosen != RowSplitter::chooseFormat(expected))
        return fail(why, "automatic format is not the statistic's choice");

    for (qint32 format : {RowSplitter::FormatTab, RowSplitter::FormatComma, RowSplitter::FormatSemicolon}) {
        if (!checkFormat(lines, format, why))
            return false;
    }
    return true;
}

} // namespace detail

// Runs the input through decoding (the automatic chain and one fixed code
// chosen by the first byte) and through every splitter, as UTF-8 text too.
inline bool checkRowsInput(const uint8_t *data, size_t size, std::string *why = nullptr)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const Result<QString> text = LXSmartStringFileReader::autoReadFromDevice(buffer, 0);
        // Mac OS Roman reads any bytes, so automatic reading fails only for
        // a UTF-16 or UTF-32 file that ends inside a character.
        if (!text && size % 4 == 0)
            return detail::fail(why, "automatic reading failed");
        if (text && !detail::checkText(text.value(), why))
            return false;
    }
    if (size > 0) {
        static const qint32 codes[] = {1, 10, 11, 12, 20, 21, 22, 30, 50};
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        const Result<QString> text = LXSmartStringFileReader::autoReadFromDevice(buffer, codes[data[0] % 9]);
        if (text && !detail::checkText(text.value(), why))
            return false;
    }
    return detail::checkText(QString::fromUtf8(bytes), why);
}

} // namespace quillcast::fuzz
