#include "export/ExportWriter.h"

#include "document/DocumentKeys.h"
#include "platform/DurableSaveFile.h"

#include <QIODevice>
#include <QStringEncoder>

#include <vector>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// Text is handed to the device in slices of about this many characters.
constexpr qsizetype kFlushThreshold = qsizetype(1) << 18;

// Which of the characters a layout folds a text holds, in one scan.
struct Folded
{
    bool tab = false;
    bool lineBreak = false;
    bool comma = false;
    bool quote = false;
};

Folded scan(const QString &text)
{
    Folded f;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        f.tab |= u == u'\t';
        f.lineBreak |= u == u'\r' || u == u'\n';
        f.comma |= u == u',';
        f.quote |= u == u'"';
    }
    return f;
}

// How many records go between two progress reports.
constexpr size_t kProgressStep = 512;

// Calls out(text) with the pieces of the file in order; false when the job's
// progress handler stopped it.
template<typename Out>
bool generate(const ExportWriter::Job &job, Out &&out)
{
    const ExportDelimiters &d = job.delimiters;
    std::vector<QString> innerKeys;
    std::vector<QString> publicKeys;
    job.keys.read([&](const List::Items &keys) {
        for (const Value &key : keys) {
            const Dict::Snapshot dbKey = key.toDict().snapshot();
            innerKeys.push_back(dbKey.stringValue(DocumentKeys::innerKey()));
            publicKeys.push_back(dbKey.stringValue(DocumentKeys::publicKey()));
        }
    });
    const size_t keyCount = innerKeys.size();

    out(d.startOfFile);
    bool stopped = false;
    job.records.read([&](const List::Items &records) {
        const size_t recordCount = records.size();
        if (job.namesRow) {
            out(d.startOfRecord);
            for (size_t k = 0; k < keyCount; ++k) {
                out(d.fieldOpenTag);
                out(ExportWriter::quoted(publicKeys[k], job.format));
                out(d.fieldCloseTag);
                if (k + 1 < keyCount)
                    out(d.fieldSeparator);
            }
            if (recordCount >= 1 || d.endOfRecordAfterLast)
                out(d.endOfRecord);
        }
        for (size_t r = 0; r < recordCount; ++r) {
            if (job.onProgress && r % kProgressStep == 0 && !job.onProgress(qint64(r), qint64(recordCount))) {
                stopped = true;
                return;
            }
            const Dict::Snapshot record = records[r].toDict().snapshot();
            out(d.startOfRecord);
            for (size_t k = 0; k < keyCount; ++k) {
                out(d.fieldOpenTag);
                out(ExportWriter::fold(ExportWriter::valueText(record.value(innerKeys[k]), job.locale), job.format));
                out(d.fieldCloseTag);
                if (k + 1 < keyCount)
                    out(d.fieldSeparator);
            }
            if (r + 1 < recordCount || d.endOfRecordAfterLast)
                out(d.endOfRecord);
        }
        if (job.onProgress && !job.onProgress(qint64(recordCount), qint64(recordCount)))
            stopped = true;
    });
    if (stopped)
        return false;
    out(d.endOfFile);
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
    if (format != ExportDelimiters::FormatTsv && format != ExportDelimiters::FormatQuotedCsv
        && format != ExportDelimiters::FormatCsv)
        return text;
    // The three groups of replacements neither make nor remove each other's
    // characters, so a group whose characters the text lacks is skipped: most
    // values pass without any replacement.
    const Folded has = scan(text);
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
    generate(job, [&text](const QString &piece) { text += piece; });
    return text;
}

Status ExportWriter::write(QIODevice &device, const Job &job)
{
    QStringEncoder encoder(QStringConverter::Utf8);
    QString pending;
    pending.reserve(kFlushThreshold + 4096);
    QByteArray bytes;
    bool failed = false;
    const auto flush = [&] {
        if (failed || pending.isEmpty())
            return;
        bytes.resize(encoder.requiredSpace(pending.size()));
        char *end = encoder.appendToBuffer(bytes.data(), pending);
        const qint64 size = end - bytes.constData();
        if (device.write(bytes.constData(), size) != size)
            failed = true;
        pending.resize(0); // keeps the capacity, unlike clear()
    };
    const bool complete = generate(job, [&](const QString &piece) {
        pending += piece;
        if (pending.size() >= kFlushThreshold)
            flush();
    });
    if (!complete)
        return Status::failure(cancelledMessage());
    flush();
    if (failed)
        return Status::failure(device.errorString());
    return success();
}

Status ExportWriter::writeFile(const QString &path, const Job &job)
{
    // The old file stays whole until the new one is complete and on the disk.
    DurableSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status::failure(file.errorString());
    const Status written = write(file, job);
    if (!written) {
        file.cancelWriting();
        return written;
    }
    if (!file.commit())
        return Status::failure(file.errorString());
    return success();
}

} // namespace quillcast
