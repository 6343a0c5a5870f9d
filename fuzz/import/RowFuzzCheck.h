#pragma once

// The properties the row splitter and format detection must keep for any
// input, shared by the libFuzzer target and the test that replays its corpus.

#include "import/ImportLines.h"
#include "import/LXSmartStringFileReader.h"
#include "import/RowSplitter.h"

#include <QBuffer>
#include <QByteArray>
#include <QString>

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

// The rows of one format must be exactly what the one-line splitters give,
// line by line, and the widest row must match the column count.
inline bool checkFormat(const ImportLines &lines, qint32 format, std::string *why)
{
    const Result<ImportRows> rows = RowSplitter::splitRows(lines, format);
    if (!rows)
        return fail(why, "splitRows refused the text");
    qsizetype next = 0;
    qint64 widest = 0;
    for (qsizetype l = 0; l < lines.size(); ++l) {
        const QStringView line = lines.at(l);
        std::optional<QStringList> expected;
        if (format == RowSplitter::FormatTab) {
            widest = std::max<qint64>(widest, RowSplitter::componentsOfTabRow(line).size());
            if (!line.isEmpty())
                expected = RowSplitter::componentsOfTabRow(line);
        } else {
            expected = format == RowSplitter::FormatComma ? RowSplitter::componentsOfCsvRow(line)
                                                          : RowSplitter::componentsOfCsvUsingSemicolonRow(line);
            if (expected)
                widest = std::max<qint64>(widest, expected->size());
        }
        if (!expected)
            continue;
        if (next >= rows->rowCount())
            return fail(why, "a line that gives a row is missing");
        if (rows->fields(next) != *expected)
            return fail(why, "row fields differ from the line's split");
        if (expected->isEmpty())
            return fail(why, "a row without fields");
        ++next;
    }
    if (next != rows->rowCount())
        return fail(why, "more rows than lines that give rows");
    if (rows->maxFieldCount() != widest)
        return fail(why, "column count is not the widest line");
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

    // The one-walk statistic against the sums of the per-line splits.
    RowSplitter::FieldStatistic expected;
    for (qsizetype l = 0; l < lines.size(); ++l) {
        if (const auto comma = RowSplitter::componentsOfCsvRow(lines.at(l)))
            expected.comma += comma->size();
        if (const auto semicolon = RowSplitter::componentsOfCsvUsingSemicolonRow(lines.at(l)))
            expected.semicolon += semicolon->size();
        // An empty line takes no part in the tab sum.
        if (!lines.at(l).isEmpty())
            expected.tab += RowSplitter::componentsOfTabRow(lines.at(l)).size();
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
        // Mac OS Roman reads any bytes, so automatic reading never fails.
        if (!text)
            return detail::fail(why, "automatic reading failed");
        if (!detail::checkText(text.value(), why))
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
