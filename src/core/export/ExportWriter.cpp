#include "export/ExportWriter.h"

#include "document/ArchivedAddressList.h"
#include "document/DocumentKeys.h"
#include "platform/DurableSaveFile.h"

#include <QIODevice>
#include <QScopeGuard>
#include <QStringEncoder>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// The UTF-8 text is handed to the device in slices of about this many bytes.
constexpr qsizetype kFlushBytes = qsizetype(1) << 19;
// Pieces of text are encoded in stretches of about this many characters.
constexpr qsizetype kGatherChars = qsizetype(1) << 14;

// Which of the characters a layout folds a text holds, in one scan.
struct Folded
{
    bool tab = false;
    bool lineBreak = false;
    bool comma = false;
    bool quote = false;
};

Folded scan(QStringView text)
{
    Folded f;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        // Letters, digits and most signs come after all four.
        if (u > u',')
            continue;
        f.tab |= u == u'\t';
        f.lineBreak |= u == u'\r' || u == u'\n';
        f.comma |= u == u',';
        f.quote |= u == u'"';
    }
    return f;
}

// Whether fold() changes a text holding these characters in this format.
bool foldChanges(const Folded &has, qint32 format)
{
    switch (format) {
    case ExportDelimiters::FormatTsv:
        return has.tab || has.lineBreak;
    case ExportDelimiters::FormatQuotedCsv:
        return has.lineBreak || has.quote;
    case ExportDelimiters::FormatCsv:
        return has.lineBreak || has.comma;
    default:
        return false;
    }
}

bool foldsAnything(qint32 format)
{
    return format == ExportDelimiters::FormatTsv || format == ExportDelimiters::FormatQuotedCsv
        || format == ExportDelimiters::FormatCsv;
}

// Whether fold() would change the text in this format.
bool needsFolding(QStringView text, qint32 format)
{
    return foldsAnything(format) && foldChanges(scan(text), format);
}

// How many records go between two progress reports.
constexpr size_t kProgressStep = 512;

// Where each exported key sits among the entries of the records read last.
// The records of a mailing share one block of sorted keys, so the places are
// looked up once for the block, not once per value; the entries they were
// found in are held, so that the block cannot go and another take its
// address while it is the one compared with.
class KeyPlaces
{
public:
    explicit KeyPlaces(const std::vector<QString> &innerKeys) : m_innerKeys(innerKeys), m_places(innerKeys.size()) {}

    // The place of each key in entries (-1 when missing).
    const std::vector<qsizetype> &in(const Dict::EntryRange &entries)
    {
        const QString *keys = entries.empty() ? nullptr : &entries[0].first;
        if (m_held && keys == m_keys && entries.size() == m_held->size())
            return m_places;
        for (size_t k = 0; k < m_innerKeys.size(); ++k) {
            m_places[k] = -1;
            for (qsizetype i = 0; i < entries.size(); ++i) {
                if (entries[i].first == m_innerKeys[k]) {
                    m_places[k] = i;
                    break;
                }
            }
        }
        m_held.emplace(entries);
        m_keys = keys;
        return m_places;
    }

private:
    const std::vector<QString> &m_innerKeys;
    std::vector<qsizetype> m_places;
    std::optional<Dict::EntryRange> m_held;
    const QString *m_keys = nullptr;
};

// The inner keys (to look values up) and the public keys (for the names row)
// of the job's DB keys, in export order.
struct Columns
{
    std::vector<QString> innerKeys;
    std::vector<QString> publicKeys;
};

Columns columnsOf(const ExportWriter::Job &job)
{
    Columns columns;
    job.keys.read([&](const List::Items &keys) {
        for (const Value &key : keys) {
            const Dict::Snapshot dbKey = key.toDict().snapshot();
            columns.innerKeys.push_back(dbKey.stringValue(DocumentKeys::innerKey()));
            columns.publicKeys.push_back(dbKey.stringValue(DocumentKeys::publicKey()));
        }
    });
    return columns;
}

// One record's row; writeValue(k) writes its value under the k-th key.
template<typename Out, typename WriteValue>
void writeRow(const ExportWriter::Job &job, size_t keyCount, bool last, Out &&out, WriteValue &&writeValue)
{
    const ExportDelimiters &d = job.delimiters;
    out(d.startOfRecord);
    for (size_t k = 0; k < keyCount; ++k) {
        out(d.fieldOpenTag);
        writeValue(k);
        out(d.fieldCloseTag);
        if (k + 1 < keyCount)
            out(d.fieldSeparator);
    }
    if (!last || d.endOfRecordAfterLast)
        out(d.endOfRecord);
}

// A value that is text: most need no folding and are written where they
// are stored, without a copy.
template<typename Out>
void writeText(const QString &text, qint32 format, Out &&out)
{
    if (needsFolding(text, format))
        out(ExportWriter::fold(text, format));
    else
        out(text);
}

// Calls out(text) with the pieces of the rows of records[first, last), each
// a view valid for the call only.
template<typename Out>
void writeRecords(const ExportWriter::Job &job, const std::vector<QString> &innerKeys, KeyPlaces &places,
                  const List::Items &records, size_t first, size_t last, Out &&out)
{
    const size_t recordCount = records.size();
    static const Dict noRecord;
    static const Value noValue;
    for (size_t r = first; r < last; ++r) {
        const Dict *record = records[r].asDict();
        const Dict::EntryRange entries = (record ? *record : noRecord).snapshot().entries();
        const std::vector<qsizetype> &at = places.in(entries);
        writeRow(job, innerKeys.size(), r + 1 == recordCount, out, [&](size_t k) {
            const Value &value = at[k] < 0 ? noValue : entries[at[k]].second;
            if (const QString *text = value.asString())
                writeText(*text, job.format, out);
            else
                out(ExportWriter::fold(ExportWriter::valueText(value, job.locale), job.format));
        });
    }
}

// The same for records read from the mailing's file; false at a record the
// reader leaves to an open.
template<typename Out>
bool writeArchivedRecords(const ExportWriter::Job &job, size_t keyCount, ArchivedAddressList::Reader &reader,
                          size_t first, size_t last, Out &&out)
{
    const size_t recordCount = job.archived->size();
    for (size_t r = first; r < last; ++r) {
        if (!reader.seek(r))
            return false;
        writeRow(job, keyCount, r + 1 == recordCount, out, [&](size_t k) {
            switch (reader.field(k)) {
            case ArchivedAddressList::Reader::Field::Text:
                writeText(reader.text(k), job.format, out);
                break;
            case ArchivedAddressList::Reader::Field::Other:
                out(ExportWriter::fold(ExportWriter::valueText(reader.value(k), job.locale), job.format));
                break;
            case ArchivedAddressList::Reader::Field::None:
                break;
            }
        });
    }
    return true;
}

// The records' rows written in turn, with a progress report every few
// hundred; false when the job's progress handler stopped them.
template<typename Out>
bool writeRecordsInTurn(const ExportWriter::Job &job, const Columns &columns, const List::Items &records, Out &&out)
{
    KeyPlaces places(columns.innerKeys);
    const size_t recordCount = records.size();
    for (size_t r = 0; r < recordCount; r += kProgressStep) {
        if (job.onProgress && !job.onProgress(qint64(r), qint64(recordCount)))
            return false;
        writeRecords(job, columns.innerKeys, places, records, r, std::min(r + kProgressStep, recordCount), out);
    }
    return true;
}

// Calls out(text) with the pieces of the file in order, each a view valid
// for the call only; rows() writes the rows of the recordCount records and
// answers false when they were stopped. False then.
template<typename Out, typename Rows>
bool generate(const ExportWriter::Job &job, const Columns &columns, size_t recordCount, Out &&out, Rows &&rows)
{
    const ExportDelimiters &d = job.delimiters;
    const size_t keyCount = columns.innerKeys.size();

    out(d.startOfFile);
    if (job.namesRow) {
        out(d.startOfRecord);
        for (size_t k = 0; k < keyCount; ++k) {
            out(d.fieldOpenTag);
            out(ExportWriter::quoted(columns.publicKeys[k], job.format));
            out(d.fieldCloseTag);
            if (k + 1 < keyCount)
                out(d.fieldSeparator);
        }
        if (recordCount >= 1 || d.endOfRecordAfterLast)
            out(d.endOfRecord);
    }
    if (!rows())
        return false;
    if (job.onProgress && !job.onProgress(qint64(recordCount), qint64(recordCount)))
        return false;
    out(d.endOfFile);
    return true;
}

// The UTF-8 text of generateText(out, failed) handed to the device in large
// slices; failed is set when the device refuses one.
template<typename GenerateText>
Status writeEncoded(QIODevice &device, GenerateText &&generateText)
{
    // Each piece is encoded straight into one buffer, handed to the device
    // in large slices. One encoder for the whole text: a character cut
    // between two pieces is joined as if the text were encoded in one go.
    QStringEncoder encoder(QStringConverter::Utf8);
    QByteArray buffer(kFlushBytes * 2, Qt::Uninitialized);
    qsizetype used = 0;
    bool failed = false;
    const auto flush = [&] {
        if (!failed && used > 0 && device.write(buffer.constData(), used) != used)
            failed = true;
        used = 0;
    };
    const auto encode = [&](QStringView text) {
        const qsizetype room = encoder.requiredSpace(text.size());
        if (used + room > buffer.size()) {
            flush();
            if (room > buffer.size())
                buffer.resize(room);
        }
        used = encoder.appendToBuffer(buffer.data() + used, text) - buffer.constData();
        if (used >= kFlushBytes)
            flush();
    };
    // A row comes in a dozen small pieces: they are gathered and encoded a
    // stretch at a time, which is the same text to the encoder.
    std::vector<char16_t> gathered(kGatherChars);
    qsizetype gatheredSize = 0;
    const auto encodeGathered = [&] {
        encode(QStringView(gathered.data(), gatheredSize));
        gatheredSize = 0;
    };
    const auto out = [&](QStringView piece) {
        if (gatheredSize + piece.size() > kGatherChars) {
            encodeGathered();
            if (piece.size() > kGatherChars) {
                encode(piece);
                return;
            }
        }
        std::copy(piece.utf16(), piece.utf16() + piece.size(), gathered.data() + gatheredSize);
        gatheredSize += piece.size();
    };
    const bool complete = generateText(out, failed);
    encodeGathered();
    if (failed)
        return Status::failure(device.errorString());
    if (!complete)
        return Status::failure(ExportWriter::cancelledMessage());
    flush();
    if (failed)
        return Status::failure(device.errorString());
    return success();
}

// Rows are made in blocks of this many records, claimed in order by the
// writing thread and a helper, once a list has at least two of them.
constexpr size_t kBlockRecords = 4096;

// The rows of recordCount records with a second thread: reading a million
// records is mostly waiting for memory, so the blocks of rows are claimed in
// order by whichever thread is free, a few ahead of the next to write at
// most. This thread writes them in order, its own straight to out when it is
// next, the helper's (rendered as UTF-16 text) from that text: the same text
// as in turn, piece for piece, encoded by the one encoder of out.
//
// makeRows() gives each thread its way of writing rows: rows(first, last,
// sink) writes those of records [first, last) to sink, false when it cannot
// (then rowsFailed is set, and the writing stops). The helper starts once
// helperMayStart() answers true, and not at all when it answers false. A
// progress report comes before every block. False when the handler or
// stopHere() stopped the writing, or a block failed.
template<typename Out, typename MakeRows, typename MayStart, typename StopHere>
bool writeWithHelper(const ExportWriter::Job &job, size_t recordCount, Out &&out, MakeRows &&makeRows,
                     MayStart &&helperMayStart, StopHere &&stopHere, bool &rowsFailed)
{
    const size_t blocks = (recordCount + kBlockRecords - 1) / kBlockRecords;
    constexpr size_t kAhead = 4; // blocks claimed beyond the next to write
    const auto rangeOf = [&](size_t b) {
        return std::pair(b * kBlockRecords, std::min((b + 1) * kBlockRecords, recordCount));
    };

    std::mutex lock;
    std::condition_variable changed;
    size_t claimed = 0; // blocks claimed so far
    size_t done = 0; // blocks written to out
    std::vector<std::optional<QString>> ready(blocks); // rendered, not yet written
    bool stop = false;
    bool helperFailed = false;
    // The next block, when it is not too far ahead; under the lock.
    const auto claim = [&]() -> std::optional<size_t> {
        if (stop || claimed == blocks || claimed >= done + kAhead)
            return std::nullopt;
        return claimed++;
    };

    // The records are read under the list's lock (if any), which the caller
    // holds until the helper has ended.
    std::thread helper([&] {
        if (!helperMayStart())
            return;
        auto rows = makeRows();
        for (;;) {
            std::optional<size_t> b;
            {
                std::unique_lock guard(lock);
                changed.wait(guard, [&] { return stop || claimed == blocks || claimed < done + kAhead; });
                b = claim();
            }
            if (!b)
                return;
            QString text;
            const auto [first, last] = rangeOf(*b);
            const bool rendered = rows(first, last, [&text](QStringView piece) { text += piece; });
            {
                const std::lock_guard guard(lock);
                if (rendered)
                    ready[*b] = std::move(text);
                else
                    helperFailed = stop = true;
            }
            changed.notify_all();
            if (!rendered)
                return;
        }
    });
    const auto ending = qScopeGuard([&] {
        {
            const std::lock_guard guard(lock);
            stop = true;
        }
        changed.notify_all();
        helper.join();
    });

    auto rows = makeRows();
    while (done < blocks) {
        if (job.onProgress && !job.onProgress(qint64(done * kBlockRecords), qint64(recordCount)))
            return false;
        std::unique_lock guard(lock);
        if (helperFailed) {
            rowsFailed = true;
            return false;
        }
        if (ready[done]) {
            // The next block, rendered already.
            const QString text = std::move(*ready[done]);
            ready[done].reset();
            guard.unlock();
            out(QStringView(text));
        } else if (const std::optional<size_t> b = claim()) {
            guard.unlock();
            const auto [first, last] = rangeOf(*b);
            if (*b == done) {
                if (!rows(first, last, out)) {
                    rowsFailed = true;
                    return false;
                }
            } else {
                // Beyond a block the helper is at: kept until that is written.
                QString text;
                if (!rows(first, last, [&text](QStringView piece) { text += piece; })) {
                    rowsFailed = true;
                    return false;
                }
                guard.lock();
                ready[*b] = std::move(text);
                continue;
            }
        } else {
            // Every block up to here is claimed: the helper is at the next.
            changed.wait(guard, [&] { return ready[done].has_value() || helperFailed; });
            continue;
        }
        guard.lock();
        ++done;
        guard.unlock();
        changed.notify_all();
        if (stopHere())
            return false;
    }
    return true;
}

} // namespace

QString ExportWriter::valueText(const Value &value, const QLocale &locale)
{
    switch (value.type()) {
    case Value::Type::String:
    case Value::Type::Bool:
    case Value::Type::Int:
    case Value::Type::UInt:
    case Value::Type::Real:
        return value.toString();
    case Value::Type::Date:
        return locale.toString(value.toDateTime().toLocalTime().date(), QLocale::ShortFormat);
    default:
        return QString();
    }
}

QString ExportWriter::fold(QString text, qint32 format)
{
    if (!foldsAnything(format))
        return text;
    // The three groups of replacements neither make nor remove each other's
    // characters, so a group whose characters the text lacks is skipped: most
    // values pass without any replacement.
    const Folded has = scan(text);
    if (!foldChanges(has, format))
        return text;
    if (format == ExportDelimiters::FormatTsv && has.tab) {
        text.replace(u" \t"_s, u" "_s);
        text.replace(u"\t "_s, u" "_s);
        text.replace(u'\t', u' ');
    }
    if (has.lineBreak) {
        text.replace(u"\r\n"_s, u"\n"_s);
        text.replace(u'\r', u'\n');
        text.replace(u" \n"_s, u" "_s);
        text.replace(u"\n "_s, u" "_s);
        text.replace(u'\n', u' ');
    }
    if (format == ExportDelimiters::FormatCsv && has.comma) {
        text.replace(u" ,"_s, u" "_s);
        text.replace(u", "_s, u" "_s);
        text.replace(u',', u' ');
    }
    if (format == ExportDelimiters::FormatQuotedCsv && has.quote)
        text.replace(u'"', u"\"\""_s);
    return text;
}

QString ExportWriter::quoted(QString text, qint32 format)
{
    if (format == ExportDelimiters::FormatQuotedCsv && text.contains(u'"'))
        text.replace(u'"', u"\"\""_s);
    return text;
}

QString ExportWriter::cancelledMessage()
{
    return u"the export was cancelled"_s;
}

QString ExportWriter::render(const Job &job)
{
    QString text;
    const auto out = [&text](QStringView piece) { text += piece; };
    const Columns columns = columnsOf(job);
    job.records.read([&](const List::Items &records) {
        generate(job, columns, records.size(), out, [&] { return writeRecordsInTurn(job, columns, records, out); });
    });
    return text;
}

Status ExportWriter::write(QIODevice &device, const Job &job)
{
    const Columns columns = columnsOf(job);
    return writeEncoded(device, [&](const auto &out, const bool &failed) {
        bool complete = false;
        job.records.read([&](const List::Items &records) {
            complete = generate(job, columns, records.size(), out, [&] {
                if (records.size() >= 2 * kBlockRecords && std::thread::hardware_concurrency() > 1) {
                    bool unused = false;
                    const auto makeRows = [&] {
                        return [&, places = KeyPlaces(columns.innerKeys)](size_t first, size_t last,
                                                                         auto &&sink) mutable {
                            writeRecords(job, columns.innerKeys, places, records, first, last, sink);
                            return true;
                        };
                    };
                    return writeWithHelper(job, records.size(), out, makeRows, [] { return true; },
                                           [&failed] { return failed; }, unused);
                }
                return writeRecordsInTurn(job, columns, records, out);
            });
        });
        return complete;
    });
}

Status ExportWriter::writeArchived(QIODevice &device, const Job &job, bool &leftToOpen)
{
    leftToOpen = false;
    const Columns columns = columnsOf(job);
    ArchivedAddressList::Reader reader(*job.archived, columns.innerKeys);
    const size_t recordCount = job.archived->size();
    const Status written = writeEncoded(device, [&](const auto &out, const bool &failed) {
        return generate(job, columns, recordCount, out, [&] {
            if (recordCount >= 2 * kBlockRecords && std::thread::hardware_concurrency() > 1) {
                const auto makeRows = [&] {
                    return [&, reader = ArchivedAddressList::Reader(*job.archived, columns.innerKeys)](
                               size_t first, size_t last, auto &&sink) mutable {
                        return writeArchivedRecords(job, columns.innerKeys.size(), reader, first, last, sink);
                    };
                };
                // The helper's core checks the file's structure first.
                return writeWithHelper(job, recordCount, out, makeRows, [&] { return job.archived->checked().ok(); },
                                       [&failed] { return failed; }, leftToOpen);
            }
            for (size_t r = 0; r < recordCount && !failed; r += kProgressStep) {
                if (job.onProgress && !job.onProgress(qint64(r), qint64(recordCount)))
                    return false;
                if (!writeArchivedRecords(job, columns.innerKeys.size(), reader, r,
                                          std::min(r + kProgressStep, recordCount), out)) {
                    leftToOpen = true;
                    return false;
                }
            }
            return true;
        });
    });
    if (leftToOpen || !written)
        return written;
    // Nothing from a file that turns out to be damaged, or that an open
    // might refuse for its send list.
    if (const Status check = job.archived->checked(); !check)
        return check;
    leftToOpen = !job.archived->sendListPlain();
    return leftToOpen ? Status::failure(u"the send list is left to an open"_s) : success();
}

Status ExportWriter::writeFile(const QString &path, const Job &job)
{
    // The old file stays whole until the new one is complete and on the disk.
    DurableSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(file.errorString());
    bool leftToOpen = false;
    const Status written = job.archived ? writeArchived(file, job, leftToOpen) : write(file, job);
    if (!written) {
        file.cancelWriting();
        if (!leftToOpen)
            return written;
        // A record the reader does not take, or a damaged file: the list
        // read as an open reads it, which refuses what it would refuse.
        const Result<List> records = job.archived->decodeAll();
        if (!records)
            return Status::failure(records.error());
        Job decoded = job;
        decoded.archived.reset();
        decoded.records = records.value();
        return writeFile(path, decoded);
    }
    if (!file.commit())
        return Status::failure(file.errorString());
    return success();
}

} // namespace quillcast
