#include "send/RunResults.h"

#include "platform/DurableSaveFile.h"

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

QString cell(QString text)
{
    if (!text.isEmpty() && (text[0] == u'=' || text[0] == u'+' || text[0] == u'-' || text[0] == u'@'))
        text.prepend(u'\'');
    if (text.contains(u',') || text.contains(u'"') || text.contains(u'\n') || text.contains(u'\r') ||
        text.contains(u'\'')) {
        text.replace(u"\""_s, u"\"\""_s);
        return u'"' + text + u'"';
    }
    return text;
}

} // namespace

Result<RunResults> RunResults::read(const QString &journalPath)
{
    Result<RunJournalContents> run = RunJournalContents::read(journalPath);
    if (!run)
        return Result<RunResults>::failure(run.error());
    return RunResults(std::move(run).value());
}

RunResults::Counts RunResults::counts() const
{
    using Outcome = RunJournalContents::Outcome;
    Counts counts;
    for (const RunJournalContents::Recipient &row : rows()) {
        switch (row.outcome) {
        case Outcome::Accepted:
            ++counts.accepted;
            break;
        case Outcome::Refused:
            ++counts.refused;
            break;
        case Outcome::Failed:
            ++counts.failed;
            break;
        case Outcome::Unknown:
            ++counts.unknown;
            break;
        case Outcome::NotAttempted:
            ++counts.notSent;
            break;
        }
    }
    return counts;
}

QByteArray RunResults::csv() const
{
    QString text = u"record,address,outcome,code,reply,time\r\n"_s;
    for (const RunJournalContents::Recipient &row : rows()) {
        text += cell(row.recordId) + u',' + cell(row.address) + u',' +
                cell(RunJournalContents::outcomeName(row.outcome)) + u',' +
                (row.code ? QString::number(row.code) : QString()) + u',' + cell(row.reply) + u',' +
                (row.time.isValid() ? row.time.toUTC().toString(Qt::ISODateWithMs) : QString()) + u"\r\n"_s;
    }
    return text.toUtf8();
}

Status RunResults::writeCsv(const QString &path) const
{
    return DurableSaveFile::replaceWith(path, csv());
}

} // namespace quillcast
