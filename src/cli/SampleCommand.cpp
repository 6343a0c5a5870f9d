#include "SampleCommand.h"

#include "OpenedMailing.h"
#include "SendCommands.h"

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/FixedClock.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <memory>

using namespace Qt::StringLiterals;

namespace quillcast::cli {

namespace {

// Fills a document from the JSON description of a mailing (the format of
// examples/sample-mailing.json). Returns an error text, empty on success.
QString loadMailing(const QByteArray &json, MyDocument &doc)
{
    QJsonParseError parseError;
    const QJsonDocument parsed = QJsonDocument::fromJson(json, &parseError);
    if (!parsed.isObject())
        return u"not a mailing description: "_s + parseError.errorString();
    const QJsonObject root = parsed.object();

    doc.setMailFormFrom(root.value(u"mailFormFrom").toString());
    doc.setMailFormTo(root.value(u"mailFormTo").toString(u"_email_"_s));
    doc.setMailFormSubject(root.value(u"mailFormSubject").toString());
    doc.setMailFormBody(root.value(u"mailFormBody").toString());
    doc.setSendPrepTimeInterval(root.value(u"sendPrepTimeInterval").toInteger(5));
    doc.InitialSetupKeyArrayController();

    QStringList columns;
    for (const QJsonValue &column : root.value(u"columns").toArray())
        columns.append(column.toString());
    List keys = doc.keyArray();
    QStringList innerKeys;
    for (const QString &column : columns) {
        const QString inner = doc.getUniqueNewInnerColName();
        keys.append(DocumentKeys::makeDbKey(inner, column));
        innerKeys.append(inner);
    }

    List records = doc.addressArray();
    qint64 number = 0;
    for (const QJsonValue &row : root.value(u"records").toArray()) {
        const QJsonObject r = row.toObject();
        Dict record;
        record.set(DocumentKeys::numberInnerKey(), ++number);
        record.set(DocumentKeys::checkedInnerKey(), r.value(u"sel").toBool());
        record.set(DocumentKeys::emailInnerKey(), r.value(u"email").toString());
        for (qsizetype i = 0; i < columns.size(); ++i)
            record.set(innerKeys[i], r.value(columns[i]).toString());
        records.append(record);
    }
    List exceptions = doc.exceptArray();
    qint64 exceptionNumber = 0;
    for (const QJsonValue &address : root.value(u"exceptions").toArray()) {
        exceptions.append(Dict{{DocumentKeys::exceptNumber(), Value(++exceptionNumber)},
                               {DocumentKeys::exceptChecked(), Value(false)},
                               {DocumentKeys::exceptEmail(), Value(address.toString())},
                               {DocumentKeys::exceptNote(), Value(QString(u""_s))}});
    }
    return QString();
}

} // namespace

QString SampleCommand::summary()
{
    return u"  sample [--out DIR] [--file MAILING.json] [--now DATETIME]\n"
           "                            write the built-in sample mailing into DIR (default\n"
           "                            quillcast-sample) and prepare its messages as drafts\n"
           "                            in DIR/drafts, with the send run (no mail server needed)\n"_s;
}

int SampleCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption out(u"out"_s, u"The folder to write the mailing and its drafts into."_s, u"DIR"_s);
    const QCommandLineOption file(u"file"_s, u"A mailing description to use instead."_s, u"FILE"_s);
    const QCommandLineOption now(u"now"_s, u"The date and time to merge at."_s, u"DATETIME"_s);
    parser.addOptions({out, file, now});
    if (!parser.parse(QStringList{u"sample"_s} + arguments) || !parser.positionalArguments().isEmpty()) {
        m_ctx.err << "sample: " << (parser.errorText().isEmpty() ? u"unexpected argument"_s : parser.errorText())
                  << Qt::endl;
        return 2;
    }

    std::unique_ptr<FixedClock> fixed;
    if (parser.isSet(now)) {
        const QDateTime at = QDateTime::fromString(parser.value(now), Qt::ISODate);
        if (!at.isValid()) {
            m_ctx.err << "sample: --now needs an ISO 8601 date and time, not '" << parser.value(now) << "'"
                      << Qt::endl;
            return 2;
        }
        fixed = std::make_unique<FixedClock>(at, m_ctx.clock.timeZone(), m_ctx.clock.calendar());
    }
    const Clock &clock = fixed ? static_cast<const Clock &>(*fixed) : m_ctx.clock;

    const QString path = parser.isSet(file) ? parser.value(file) : u":/examples/sample-mailing.json"_s;
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        m_ctx.err << "sample: cannot read " << path << ": " << source.errorString() << Qt::endl;
        return 1;
    }
    const QDir folder(parser.isSet(out) ? parser.value(out) : u"quillcast-sample"_s);
    const QString mailingPath = folder.filePath(u"sample.quill"_s);
    const QString drafts = folder.filePath(u"drafts"_s);
    {
        // Let go of (unlocked) before the send below opens the mailing.
        OpenedMailing mailing(CliContext{m_ctx.out, m_ctx.err, clock}, u"sample"_s, false);
        const QByteArray description = source.readAll();
        const Status made = mailing.session().newDocument([&](MyDocument &doc) {
            const QString error = loadMailing(description, doc);
            return error.isEmpty() ? success() : Status::failure(error);
        });
        if (!made) {
            m_ctx.err << "sample: " << path << ": " << made.error() << Qt::endl;
            return 1;
        }
        // Drafts of an earlier run would mix with this one's.
        if (QDir(drafts).exists() && !QDir(drafts).removeRecursively()) {
            m_ctx.err << "sample: cannot empty " << drafts << Qt::endl;
            return 1;
        }
        if (!QDir().mkpath(folder.path())) {
            m_ctx.err << "sample: cannot create " << folder.path() << Qt::endl;
            return 1;
        }
        if (!mailing.report(mailing.session().saveAs(mailingPath)))
            return 1;
    }
    m_ctx.out << "Sample mailing written to " << QDir::toNativeSeparators(mailingPath) << Qt::endl;

    const int status = SendCommands(CliContext{m_ctx.out, m_ctx.err, clock})
                           .run(u"send"_s, {mailingPath, u"--all"_s, u"--prepare"_s, u"--yes"_s,
                                            u"--drafts"_s, drafts});
    if (status != 0)
        return status;

    const QStringList files = QDir(drafts).entryList({u"*.eml"_s}, QDir::Files, QDir::Name);
    for (const QString &name : files)
        m_ctx.out << "  " << name << "\n";
    m_ctx.out << "\n" << files.size() << " drafts in " << QDir::toNativeSeparators(drafts)
              << " (open them with your mail program)" << Qt::endl;
    m_ctx.out << "See one message as it would be sent: quillcast-cli preview "
              << QDir::toNativeSeparators(mailingPath) << " --record 0 --eml" << Qt::endl;
    return 0;
}

} // namespace quillcast::cli
