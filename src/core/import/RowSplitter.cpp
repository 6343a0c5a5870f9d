#include "import/RowSplitter.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

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

// The line bounds the record splitter walks: those of an import text, or one
// line on its own.
struct TextLines
{
    const ImportLines &lines;
    qsizetype count() const { return lines.size(); }
    qsizetype begin(qsizetype i) const { return lines.startOf(i); }
    qsizetype end(qsizetype i) const { return lines.endOf(i); }
};

struct SingleLine
{
    qsizetype size;
    qsizetype count() const { return 1; }
    qsizetype begin(qsizetype) const { return 0; }
    qsizetype end(qsizetype) const { return size; }
};

// Where a field that does not open with a quote ends: at the first separator
// outside quotes, or at the line end. A quote inside it opens a stretch in
// which separators do not split, and that stretch ends with the line.
qsizetype unquotedEnd(const char16_t *text, qsizetype pos, qsizetype end, char16_t separator)
{
    bool inQuotes = false;
    for (; pos < end; ++pos) {
        const char16_t c = text[pos];
        if (c == kQuote)
            inQuotes = !inQuotes;
        else if (c == separator && !inQuotes)
            break;
    }
    return pos;
}

// Splits the record that begins at line `first` (not a blank line) and
// returns the line it ends on. Every field reaches the sink as one or more
// pieces of the text, sink.run(from, to), then sink.endField().
//
// Spreadsheets write CSV this way: a field that opens with a quote ends at
// the matching closing quote, "" inside it stands for one quote, and a line
// break inside it belongs to the value, so the record goes on over the next
// line. Text after the closing quote stays part of the field. A field whose
// quote is never closed, up to the end of the text, is the rest of its line
// as written (less a quote at both ends), so one stray quote costs one line
// rather than the rest of the file.
template<typename Lines, typename Sink>
qsizetype splitQuotedRecord(const char16_t *text, const Lines &lines, qsizetype first, char16_t separator,
                            Sink &sink)
{
    qsizetype line = first;
    qsizetype end = lines.end(line);
    qsizetype pos = lines.begin(line);
    for (;;) {
        if (pos < end && text[pos] == kQuote) {
            qsizetype closeLine = line;
            qsizetype closeEnd = end;
            qsizetype i = pos + 1;
            bool doubled = false;
            bool closed = false;
            for (;;) {
                if (i == closeEnd) {
                    if (closeLine + 1 >= lines.count())
                        break;
                    ++closeLine;
                    i = lines.begin(closeLine);
                    closeEnd = lines.end(closeLine);
                    continue;
                }
                if (text[i] == kQuote) {
                    if (i + 1 < closeEnd && text[i + 1] == kQuote) {
                        doubled = true;
                        i += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                ++i;
            }
            if (!closed) {
                qsizetype from = pos;
                qsizetype to = end;
                if (text[to - 1] == kQuote) {
                    // A lone quote is an opened, empty quoted field: it becomes empty.
                    ++from;
                    to = std::max(from, to - 1);
                }
                sink.run(from, to);
                sink.endField();
                return line;
            }
            if (!doubled) {
                sink.run(pos + 1, i);
            } else {
                // Inside the quotes every quote is the first of a pair.
                qsizetype piece = pos + 1;
                for (qsizetype j = piece; j < i; ++j) {
                    if (text[j] == kQuote) {
                        sink.run(piece, j + 1);
                        piece = j + 2;
                        ++j;
                    }
                }
                sink.run(piece, i);
            }
            line = closeLine;
            end = closeEnd;
            pos = i + 1;
            const qsizetype tailEnd = unquotedEnd(text, pos, end, separator);
            if (tailEnd > pos)
                sink.run(pos, tailEnd);
            pos = tailEnd;
        } else {
            const qsizetype fieldEnd = unquotedEnd(text, pos, end, separator);
            sink.run(pos, fieldEnd);
            pos = fieldEnd;
        }
        sink.endField();
        if (pos == end)
            return line;
        ++pos; // the separator
    }
}

// Counts fields only.
struct FieldCounter
{
    qint64 fields = 0;
    void run(qsizetype, qsizetype) {}
    void endField() { ++fields; }
};

// Collects the fields as strings.
struct FieldCollector
{
    const char16_t *text;
    QStringList fields;
    QString current;
    void run(qsizetype from, qsizetype to)
    {
        if (to > from)
            current.append(QStringView(text + from, to - from));
    }
    void endField()
    {
        fields.append(current);
        current.clear();
    }
};

// Records every field as a span of the rows' text. A field made of one piece
// is where the source has it; the pieces of a field with doubled quotes or
// text after its closing quote are moved together in the rows' text (a
// shared text is copied on the first such move), so no field needs a string
// of its own.
struct FieldSpans
{
    const char16_t *source;
    QString &target;
    std::vector<ImportRows::Span> &spans;
    qsizetype recordStart = 0;
    QChar *out = nullptr;
    qsizetype fieldStart = -1;
    qsizetype fieldEnd = 0;

    void run(qsizetype from, qsizetype to)
    {
        if (fieldStart < 0) {
            fieldStart = from;
            fieldEnd = to;
            return;
        }
        if (to == from)
            return;
        if (from != fieldEnd) {
            if (!out)
                out = target.data();
            // The same buffer when the rows own the text: pieces only move left.
            std::memmove(static_cast<void *>(out + fieldEnd), source + from, size_t(to - from) * sizeof(char16_t));
        }
        fieldEnd += to - from;
    }
    void endField()
    {
        spans.push_back(ImportRows::Span{quint32(fieldStart - recordStart), quint32(fieldEnd - fieldStart)});
        fieldStart = -1;
    }
};

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
    if (isBlank(line))
        return std::nullopt;
    FieldCollector collector{line.utf16(), {}, {}};
    splitQuotedRecord(line.utf16(), SingleLine{line.size()}, 0, separator, collector);
    return std::move(collector.fields);
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

namespace {

// Below this many lines a second thread costs more than it saves.
constexpr qsizetype kLinesPerThread = qsizetype(1) << 16;

// How many consecutive stretches of lines to cut a text into: more than one
// only when no record can span lines (no double quote anywhere), so that
// each stretch splits on its own exactly as one pass would.
qsizetype stretchesFor(const ImportLines &lines, int threads)
{
    if (threads <= 1 || lines.size() < 2 * kLinesPerThread || QStringView(lines.text()).contains(kQuote))
        return 1;
    return std::min<qsizetype>(threads, lines.size() / kLinesPerThread);
}

// Runs work(part, first, last) for each of `parts` consecutive stretches of
// count lines, the first on the calling thread.
template<typename Work>
void inStretches(qsizetype parts, qsizetype count, Work &&work)
{
    const auto bound = [&](qsizetype part) { return count * part / parts; };
    std::vector<std::jthread> others;
    for (qsizetype p = 1; p < parts; ++p)
        others.emplace_back([&, p] { work(p, bound(p), bound(p + 1)); });
    work(0, 0, bound(1));
}

} // namespace

RowSplitter::FieldStatistic RowSplitter::fieldStatistic(const ImportLines &lines, int threads)
{
    return statisticIn(lines, stretchesFor(lines, threads));
}

RowSplitter::FieldStatistic RowSplitter::statisticIn(const ImportLines &lines, qsizetype parts)
{
    if (parts > 1) {
        // Without quotes every line counts on its own: the sums add up.
        std::vector<FieldStatistic> sums(static_cast<size_t>(parts));
        inStretches(parts, lines.size(), [&](qsizetype part, qsizetype first, qsizetype last) {
            sums[size_t(part)] = statisticOf(lines, first, last);
        });
        FieldStatistic sum;
        for (const FieldStatistic &s : sums) {
            sum.comma += s.comma;
            sum.semicolon += s.semicolon;
            sum.tab += s.tab;
        }
        return sum;
    }
    return statisticOf(lines, 0, lines.size());
}

RowSplitter::FieldStatistic RowSplitter::statisticOf(const ImportLines &lines, qsizetype first, qsizetype last)
{
    // The three sums in one walk per line. A line whose quotes all close on
    // it splits alike in both quoted modes: its separators outside quotes
    // count. Only a line that ends inside quotes needs the record walk of
    // each mode, which may take the next lines too (where a quoted field
    // starts depends on the separator).
    FieldStatistic sum;
    const char16_t *text = reinterpret_cast<const char16_t *>(lines.text().constData());
    const TextLines bounds{lines};
    // The first line not yet taken by a record of that mode.
    qsizetype commaNext = first;
    qsizetype semicolonNext = first;
    for (qsizetype l = first; l < last; ++l) {
        const qsizetype begin = lines.startOf(l);
        const qsizetype end = lines.endOf(l);
        qint64 commas = 0;
        qint64 semicolons = 0;
        qint64 tabs = 0;
        bool inQuotes = false;
        bool blank = true;
        for (qsizetype i = begin; i < end; ++i) {
            const char16_t c = text[i];
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
        // An empty line says nothing about the format. Counting it for tab
        // made the empty line after a final LF tip a one-row "a,b" file over
        // to tab (2 against 2, and ties go to tab).
        if (end > begin)
            sum.tab += tabs + 1;
        if (blank)
            continue;
        // One quoted mode: a line already taken by an earlier record adds
        // nothing; one ending inside quotes is counted as its whole record.
        const auto countMode = [&](qsizetype &next, qint64 &total, qint64 separators, char16_t separator) {
            if (l < next)
                return;
            if (!inQuotes) {
                total += separators + 1;
                return;
            }
            FieldCounter counter;
            next = splitQuotedRecord(text, bounds, l, separator, counter) + 1;
            total += counter.fields;
        };
        countMode(commaNext, sum.comma, commas, u',');
        countMode(semicolonNext, sum.semicolon, semicolons, u';');
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

Result<ImportRows> RowSplitter::splitRows(const ImportLines &lines, qint32 format, int threads)
{
    return split(lines, format, nullptr, threads);
}

Result<ImportRows> RowSplitter::splitRows(ImportLines &&lines, qint32 format, int threads)
{
    ImportLines owned(std::move(lines));
    return split(owned, format, &owned, threads);
}

int RowSplitter::defaultThreads()
{
    return int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
}

// The rows of a stretch of lines, their fields counted from the stretch's
// first field.
struct RowSplitter::Stretch
{
    std::vector<ImportRows::Span> fields;
    std::vector<ImportRows::RowStart> rowStarts;
    qint64 maxFieldCount = 0;
};

bool RowSplitter::splitStretch(const ImportLines &lines, QString &text, qint32 format, qsizetype first,
                               qsizetype last, Stretch &stretch)
{
    const char16_t *source = reinterpret_cast<const char16_t *>(text.constData());
    const auto tooLong = [](qsizetype length) { return length > qsizetype(std::numeric_limits<quint32>::max()); };
    const auto lineAt = [&lines, source](qsizetype l) {
        return QStringView(source + lines.startOf(l), lines.endOf(l) - lines.startOf(l));
    };
    std::vector<ImportRows::Span> &fields = stretch.fields;
    if (format == FormatTab) {
        for (qsizetype l = first; l < last; ++l) {
            const QStringView line = lineAt(l);
            if (tooLong(line.size()))
                return false;
            const qsizetype firstField = qsizetype(fields.size());
            splitTab(line, [&fields](qsizetype start, qsizetype length) {
                fields.push_back(ImportRows::Span{quint32(start), quint32(length)});
            });
            const qsizetype fieldCount = qsizetype(fields.size()) - firstField;
            // The empty line gives no row but still counts one field.
            stretch.maxFieldCount = std::max<qint64>(stretch.maxFieldCount, fieldCount);
            if (!line.isEmpty())
                stretch.rowStarts.push_back(ImportRows::RowStart{lines.startOf(l), firstField});
            else
                fields.resize(size_t(firstField));
        }
        return true;
    }
    const char16_t separator = format == FormatComma ? u',' : u';';
    const TextLines bounds{lines};
    FieldSpans spans{source, text, fields};
    for (qsizetype l = first; l < last; ++l) {
        // A blank line gives no row and adds nothing to the width.
        if (isBlank(lineAt(l)))
            continue;
        const qsizetype recordStart = lines.startOf(l);
        const qsizetype firstField = qsizetype(fields.size());
        spans.recordStart = recordStart;
        l = splitQuotedRecord(source, bounds, l, separator, spans);
        if (tooLong(lines.endOf(l) - recordStart))
            return false;
        const qsizetype fieldCount = qsizetype(fields.size()) - firstField;
        stretch.maxFieldCount = std::max<qint64>(stretch.maxFieldCount, fieldCount);
        stretch.rowStarts.push_back(ImportRows::RowStart{recordStart, firstField});
    }
    return true;
}

Result<ImportRows> RowSplitter::split(const ImportLines &lines, qint32 format, ImportLines *owner, int threads)
{
    // In automatic mode the statistic's sum for the chosen format is the
    // exact number of fields to come, so the field table is allocated once
    // (one more: in tab mode an empty line stores its one field before it is
    // dropped).
    const qsizetype parts = stretchesFor(lines, threads);
    qint64 expectedFields = 0;
    if (format == FormatAutomatic) {
        const FieldStatistic statistic = statisticIn(lines, parts);
        format = chooseFormat(statistic);
        expectedFields = format == FormatComma ? statistic.comma
            : format == FormatSemicolon        ? statistic.semicolon
                                               : statistic.tab;
    }
    // From here on the text is read through `rows.m_text` alone: an owner's
    // text has moved into the rows (and is put right in place), another's is
    // shared until the first field that needs putting right copies it.
    ImportRows rows;
    rows.m_text = owner ? std::move(owner->m_text) : lines.text();
    if (format != FormatTab && format != FormatComma && format != FormatSemicolon)
        return rows;
    const auto tooLongFailure = [] {
        return Result<ImportRows>::failure(u"A line of the file is too long to import."_s);
    };

    const qsizetype count = lines.size();
    if (parts == 1) {
        Stretch all;
        all.rowStarts.reserve(size_t(count) + 1);
        all.fields.reserve(size_t(expectedFields) + 1);
        if (!splitStretch(lines, rows.m_text, format, 0, count, all))
            return tooLongFailure();
        rows.m_fields = std::move(all.fields);
        rows.m_rowStarts = std::move(all.rowStarts);
        rows.m_maxFieldCount = all.maxFieldCount;
    } else {
        // No record spans lines and nothing is put right in the text: each
        // stretch is split on its own, then the later stretches are appended
        // to the first, which has room for all of them.
        std::vector<Stretch> stretches(static_cast<size_t>(parts));
        std::vector<char> fine(static_cast<size_t>(parts), 0);
        inStretches(parts, count, [&](qsizetype part, qsizetype first, qsizetype last) {
            Stretch &stretch = stretches[size_t(part)];
            stretch.rowStarts.reserve(size_t(part == 0 ? count + 1 : last - first));
            stretch.fields.reserve(size_t(part == 0 ? expectedFields + 1 : expectedFields / parts + 1));
            fine[size_t(part)] = splitStretch(lines, rows.m_text, format, first, last, stretch);
        });
        if (std::find(fine.begin(), fine.end(), 0) != fine.end())
            return tooLongFailure();
        rows.m_fields = std::move(stretches[0].fields);
        rows.m_rowStarts = std::move(stretches[0].rowStarts);
        rows.m_maxFieldCount = stretches[0].maxFieldCount;
        for (size_t p = 1; p < stretches.size(); ++p) {
            const Stretch &stretch = stretches[p];
            const qsizetype offset = qsizetype(rows.m_fields.size());
            rows.m_fields.insert(rows.m_fields.end(), stretch.fields.begin(), stretch.fields.end());
            for (const ImportRows::RowStart &start : stretch.rowStarts)
                rows.m_rowStarts.push_back(ImportRows::RowStart{start.lineStart, start.firstField + offset});
            rows.m_maxFieldCount = std::max(rows.m_maxFieldCount, stretch.maxFieldCount);
        }
    }
    rows.m_rowStarts.push_back(ImportRows::RowStart{0, qsizetype(rows.m_fields.size())});
    return rows;
}

} // namespace quillcast
