#include "send/RunJournalContents.h"

#include <QFile>

#include <zlib.h>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

QString unescaped(QByteArrayView field)
{
    if (!field.contains('\\'))
        return QString::fromUtf8(field);
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\\' || i + 1 == field.size()) {
            out += c;
            continue;
        }
        const char next = field[++i];
        out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return QString::fromUtf8(out);
}

// The fields of one intact line (without its line feed), still escaped, or
// none when its checksum does not match.
using Fields = QVarLengthArray<QByteArrayView, 6>;
std::optional<Fields> fieldsOf(QByteArrayView line)
{
    const qsizetype tab = line.lastIndexOf('\t');
    if (tab < 0 || line.size() - tab - 1 != 8)
        return std::nullopt;
    const QByteArrayView payload = line.first(tab);
    bool ok = false;
    const qulonglong stored = line.sliced(tab + 1).toULongLong(&ok, 16);
    if (!ok)
        return std::nullopt;
    const uLong crc = ::crc32(0L, reinterpret_cast<const Bytef *>(payload.data()), uInt(payload.size()));
    if (stored != crc)
        return std::nullopt;
    Fields fields;
    qsizetype from = 0;
    for (;;) {
        const qsizetype next = payload.indexOf('\t', from);
        fields.append(payload.sliced(from, (next < 0 ? payload.size() : next) - from));
        if (next < 0)
            break;
        from = next + 1;
    }
    return fields;
}

std::optional<qint64> number(QByteArrayView text)
{
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

} // namespace

Result<RunJournalContents> RunJournalContents::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result<RunJournalContents>::failure(
            u"The run's journal %1 could not be read: %2"_s.arg(path, file.errorString()));
    return parse(file.readAll());
}

Result<RunJournalContents> RunJournalContents::parse(const QByteArray &bytes)
{
    RunJournalContents contents;
    qsizetype from = 0;
    bool header = false;
    while (from < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', from);
        if (end < 0)
            break;
        const std::optional<Fields> fields = fieldsOf(QByteArrayView(bytes).sliced(from, end - from));
        if (!fields)
            break;
        if (!header) {
            const std::optional<qint64> started = fields->size() == 4 ? number(fields->at(3)) : std::nullopt;
            if (fields->at(0) != "quillcast-run" || fields->at(1) != "1" || !started)
                break;
            contents.m_mailingPath = unescaped(fields->at(2));
            contents.m_start = QDateTime::fromMSecsSinceEpoch(*started, Qt::UTC);
            header = true;
        } else if (!contents.take(*fields)) {
            break;
        }
        from = end + 1;
    }
    if (!header)
        return Result<RunJournalContents>::failure(u"This is not the journal of a send run"_s);
    contents.m_validLength = from;
    contents.m_tornTail = from < bytes.size();
    return contents;
}

bool RunJournalContents::take(const QVarLengthArray<QByteArrayView, 6> &fields)
{
    const QByteArrayView kind = fields.at(0);
    if (kind == "Q") {
        const std::optional<qint64> index = fields.size() == 3 ? number(fields[1]) : std::nullopt;
        // Queued lines come in the run's order, numbered from 0.
        if (!index || *index != qint64(m_recipients.size()))
            return false;
        Recipient recipient;
        recipient.index = *index;
        recipient.recordId = unescaped(fields[2]);
        m_recipients.push_back(std::move(recipient));
        return true;
    }
    if (kind == "S") {
        if (fields.size() != 3)
            return false;
        if (fields[2] == "resend-unknown" || fields[2] == "skip-unknown")
            m_resendUnknown = fields[2] == "resend-unknown";
        m_end.reset(); // the run goes on
        m_endReason.clear();
        return true;
    }
    if (kind == "E") {
        if (fields.size() != 4)
            return false;
        m_end = fields[2] == "finished"    ? RunJournal::End::Finished
                : fields[2] == "cancelled" ? RunJournal::End::Cancelled
                                           : RunJournal::End::Stopped;
        m_endReason = unescaped(fields[3]);
        return true;
    }
    const std::optional<qint64> index = fields.size() >= 4 ? number(fields[1]) : std::nullopt;
    const std::optional<qint64> millis = fields.size() >= 4 ? number(fields[2]) : std::nullopt;
    if (!index || !millis || *index < 0 || *index >= qint64(m_recipients.size()))
        return false;
    Recipient &recipient = m_recipients[size_t(*index)];
    if (kind == "H" && fields.size() == 4) {
        recipient.address = unescaped(fields[3]);
        recipient.outcome = Outcome::Unknown;
        recipient.code = 0;
        recipient.reply.clear();
    } else if (kind == "A" && fields.size() == 4) {
        recipient.outcome = Outcome::Accepted;
        recipient.reply = unescaped(fields[3]);
    } else if (kind == "R" && fields.size() == 5) {
        recipient.outcome = Outcome::Refused;
        recipient.code = int(number(fields[3]).value_or(0));
        recipient.reply = unescaped(fields[4]);
    } else if (kind == "F" && fields.size() == 4) {
        recipient.outcome = Outcome::Failed;
        recipient.reply = unescaped(fields[3]);
    } else {
        return false;
    }
    recipient.time = QDateTime::fromMSecsSinceEpoch(*millis, Qt::UTC);
    return true;
}

qint64 RunJournalContents::count(Outcome outcome) const
{
    qint64 n = 0;
    for (const Recipient &recipient : m_recipients)
        n += recipient.outcome == outcome ? 1 : 0;
    return n;
}

QString RunJournalContents::outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::NotAttempted:
        return u"not sent"_s;
    case Outcome::Unknown:
        return u"unknown"_s;
    case Outcome::Accepted:
        return u"accepted"_s;
    case Outcome::Refused:
        return u"refused"_s;
    case Outcome::Failed:
        return u"failed"_s;
    }
    return QString();
}

} // namespace quillcast
