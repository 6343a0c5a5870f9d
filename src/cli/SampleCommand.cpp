#include "SampleCommand.h"

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/FixedClock.h"

#include <QCommandLineParser>
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
QString loadMailing(const QByteArray &json, MyDocument &doc, QSet<QString> &exceptions)
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
    for (const QJsonValue &address : root.value(u"exceptions").toArray())
        exceptions.insert(address.toString().trimmed().toLower());
    return QString();
}

} // namespace

QString SampleCommand::summary()
{
    return u"  sample [--file MAILING.json] [--now DATETIME]\n"
           "                            merge the built-in sample mailing and print its messages\n"_s;
}

int SampleCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption file(u"file"_s, u"A mailing description to use instead."_s, u"FILE"_s);
    const QCommandLineOption now(u"now"_s, u"The date and time to merge at."_s, u"DATETIME"_s);
    parser.addOptions({file, now});
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
    MyDocument doc(clock);
    QSet<QString> exceptions;
    const QString error = loadMailing(source.readAll(), doc, exceptions);
    if (!error.isEmpty()) {
        m_ctx.err << "sample: " << path << ": " << error << Qt::endl;
        return 1;
    }
    doc.windowControllerDidLoadNib();

    const auto merged = [&](const QString &text, const Dict &record) {
        return doc.performTextSubstitution(doc.performTextSubstitutionNoDB(text), record);
    };
    const List::Items records = doc.addressArray().items();
    qsizetype prepared = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const Dict record = records[i].toDict();
        const QString address = record.stringValue(DocumentKeys::emailInnerKey());
        m_ctx.out << "=== Record " << (i + 1) << " of " << records.size() << ": " << address << "\n";
        if (exceptions.contains(address.trimmed().toLower())) {
            m_ctx.out << "(not prepared: the address is on the exception list)\n\n";
            continue;
        }
        ++prepared;
        m_ctx.out << "From: " << merged(doc.mailFormFrom(), record) << "\n"
                  << "To: " << merged(doc.mailFormTo(), record) << "\n"
                  << "Subject: " << merged(doc.mailFormSubject(), record) << "\n\n"
                  << merged(doc.mailFormBody(), record) << "\n";
    }
    m_ctx.out << "Done. " << prepared << " prepared, " << (qsizetype(records.size()) - prepared)
              << " on the exception list; pause between messages " << doc.sendPrepTimeInterval() << " s."
              << Qt::endl;
    return 0;
}

} // namespace quillcast::cli
