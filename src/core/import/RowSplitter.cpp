#include "import/RowSplitter.h"

#include <limits>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

constexpr char16_t kQuote = u'"';
constexpr char16_t kTab = u'\t';

bool isBlank(QStringView line)
{
    for (QChar c : line) {
        if (c != u' ')
            return false;
    }
    return true;
}

// Calls push(start, length) for every field of a quoted split, quotes at both
// ends already removed. Returns false (emitting nothing) for a blank line.
template<typename Emit>
bool splitQuoted(QStringView line, char16_t separator, Emit &&push)
{
    if (isBlank(line))
        return false;
    const char16_t *data = line.utf16();
    const qsizetype size = line.size();
    const auto field = [&](qsizetype start, qsizetype end) {
        qsizetype length = end - start;
        if (length >= 1 && data[start] == kQuote && data[end - 1] == kQuote) {
            // A lone quote is an opened, empty quoted field: it becomes empty.
            ++start;
            length = length >= 2 ? length - 2 : 0;
        }
        push(start, length);
    };
    bool inQuotes = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = data[i];
        if (c == kQuote) {
            inQuotes = !inQuotes;
        } else if (c == separator && !inQuotes) {
            field(start, i);
            start = i + 1;
        }
    }
    field(start, size);
    return true;
}

template<typename Emit>
void splitTab(QStringView line, Emit &&push)
{
    const char16_t *data = line.utf16();
    const qsizetype size = line.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        if (data[i] == kTab) {
            push(start, i - start);
            start = i + 1;
        }
    }
    push(start, size - start);
}

std::optional<QStringList> quotedComponents(QStringView line, char16_t separator)
{
    QStringList fields;
    const bool any = splitQuoted(line, separator, [&](qsizetype start, qsizetype length) {
        fields.append(line.mid(start, length).toString());
    });
    if (!any)
        return std::nullopt;
    return fields;
}

} // namespace

std::optional<QStringList> RowSplitter::componentsOfCsvRow(QStringView line)
{
    return quotedComponents(line, u',');
}

std::optional<QStringList> RowSplitter::componentsOfCsvUsingSemicolonRow(QStringView line)
{
    return quotedComponents(line, u';');
}

QStringList RowSplitter::componentsOfTabRow(QStringView line)
{
    QStringList fields;
    splitTab(line, [&](qsizetype start, qsizetype length) { fields.append(line.mid(start, length).toString()); });
    return fields;
}

RowSplitter::FieldStatistic RowSplitter::fieldStatistic(const ImportLines &lines)
{
    // The three sums in one walk per line: the inside-quotes flag does not
    // depend on the separator, so the comma and semicolon splits share it.
    FieldStatistic sum;
    const qsizetype count = lines.size();
    for (qsizetype l = 0; l < count; ++l) {
        const QStringView line = lines.at(l);
        const char16_t *data = line.utf16();
        const qsizetype size = line.size();
        qint64 commas = 0;
        qint64 semicolons = 0;
        qint64 tabs = 0;
        bool inQuotes = false;
        bool blank = true;
        for (qsizetype i = 0; i < size; ++i) {
            const char16_t c = data[i];
            if (c != u' ')
                blank = false;
            if (c == kQuote)
                inQuotes = !inQuotes;
            else if (c == kTab)
                ++tabs;
            else if (!inQuotes) {
                if (c == u',')
                    ++commas;
                else if (c == u';')
                    ++semicolons;
            }
        }
        if (!blank) {
            sum.comma += commas + 1;
            sum.semicolon += semicolons + 1;
        }
        // An empty line says nothing about the format. Counting it for tab
        // made the empty line after a final LF tip a one-row "a,b" file over
        // to tab (2 against 2, and ties go to tab).
        if (size > 0)
            sum.tab += tabs + 1;
    }
    return sum;
}

qint32 RowSplitter::chooseFormat(const FieldStatistic &s)
{
    if (s.comma > s.tab && s.comma > s.semicolon)
        return FormatComma;
    if (s.semicolon > s.comma && s.semicolon > s.tab)
        return FormatSemicolon;
    return FormatTab;
}

qint32 RowSplitter::resolveFormat(const ImportLines &lines, qint32 format)
{
    return format == FormatAutomatic ? chooseFormat(fieldStatistic(lines)) : format;
}

Result<ImportRows> RowSplitter::splitRows(const ImportLines &lines, qint32 format)
{
    // In automatic mode the statistic's sum for the chosen format is the
    // exact number of fields to come, so the field table is allocated once
    // (one more: in tab mode an empty line stores its one field before it is
    // dropped).
    qint64 expectedFields = 0;
    if (format == FormatAutomatic) {
        const FieldStatistic statistic = fieldStatistic(lines);
        format = chooseFormat(statistic);
        expectedFields = format == FormatComma ? statistic.comma
            : format == FormatSemicolon        ? statistic.semicolon
                                               : statistic.tab;
    }
    ImportRows rows;
    rows.m_text = lines.text();
    if (format != FormatTab && format != FormatComma && format != FormatSemicolon)
        return rows;

    const qsizetype count = lines.size();
    rows.m_rowStarts.reserve(size_t(count) + 1);
    rows.m_fields.reserve(size_t(expectedFields) + 1);
    const QChar *base = lines.text().constData();
    for (qsizetype l = 0; l < count; ++l) {
        const QStringView line = lines.at(l);
        if (line.size() > qsizetype(std::numeric_limits<quint32>::max()))
            return Result<ImportRows>::failure(u"A line of the file is too long to import."_s);
        const qsizetype lineStart = line.data() - base;
        const qsizetype firstField = qsizetype(rows.m_fields.size());
        const auto push = [&rows](qsizetype start, qsizetype length) {
            rows.m_fields.push_back(ImportRows::Span{quint32(start), quint32(length)});
        };
        bool givesRow = false;
        if (format == FormatTab) {
            splitTab(line, push);
            givesRow = !line.isEmpty();
        } else {
            givesRow = splitQuoted(line, format == FormatComma ? u',' : u';', push);
        }
        const qsizetype fieldCount = qsizetype(rows.m_fields.size()) - firstField;
        // A line that gives no row still widens the mapping in tab mode (the
        // empty line counts one field); a blank quoted line adds nothing.
        rows.m_maxFieldCount = std::max<qint64>(rows.m_maxFieldCount, fieldCount);
        if (givesRow)
            rows.m_rowStarts.push_back(ImportRows::RowStart{lineStart, firstField});
        else
            rows.m_fields.resize(size_t(firstField));
    }
    rows.m_rowStarts.push_back(ImportRows::RowStart{0, qsizetype(rows.m_fields.size())});
    return rows;
}

} // namespace quillcast
