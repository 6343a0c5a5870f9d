#include "MergeCommand.h"

#include "merge/TagSubstitution.h"
#include "platform/FixedClock.h"
#include "platform/RegularFileReader.h"

#include <QCommandLineParser>

#include <memory>

using namespace Qt::StringLiterals;

namespace quillcast::cli {

namespace {

Dict dbKey(const QString &inner, const QString &name)
{
    return Dict{{u"innerKey"_s, inner}, {u"publicKey"_s, name}};
}

} // namespace

QString MergeCommand::summary()
{
    return u"  merge (FILE | --text TEXT) [--field NAME=VALUE]... [--email ADDRESS]\n"
           "        [--number N] [--checked] [--now DATETIME]\n"
           "                            print a template merged with one record\n"_s;
}

int MergeCommand::run(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption text(u"text"_s, u"The template text."_s, u"TEXT"_s);
    const QCommandLineOption field(u"field"_s, u"A field of the record."_s, u"NAME=VALUE"_s);
    const QCommandLineOption email(u"email"_s, u"The address field."_s, u"ADDRESS"_s);
    const QCommandLineOption number(u"number"_s, u"The record number."_s, u"N"_s);
    const QCommandLineOption checked(u"checked"_s, u"The record is checked."_s);
    const QCommandLineOption now(u"now"_s, u"The date and time to merge at."_s, u"DATETIME"_s);
    parser.addOptions({text, field, email, number, checked, now});
    if (!parser.parse(QStringList{u"merge"_s} + arguments)) {
        m_ctx.err << "merge: " << parser.errorText() << Qt::endl;
        return 2;
    }

    QString templateText;
    const QStringList files = parser.positionalArguments();
    if (parser.isSet(text) == !files.isEmpty() || files.size() > 1) {
        m_ctx.err << "merge: give either one template file or --text" << Qt::endl;
        return 2;
    }
    if (parser.isSet(text)) {
        templateText = parser.value(text);
    } else {
        const Result<QByteArray> bytes = RegularFileReader::read(files.first(), RegularFileReader::kTextFileLimit);
        if (!bytes) {
            m_ctx.err << "merge: cannot read " << files.first() << ": " << bytes.error() << Qt::endl;
            return 1;
        }
        templateText = QString::fromUtf8(bytes.value());
    }

    List keys({Value(dbKey(u"1"_s, u"#"_s)), Value(dbKey(u"2"_s, u"sel"_s)), Value(dbKey(u"3"_s, u"email"_s))});
    Dict record;
    if (parser.isSet(number)) {
        bool ok = false;
        const qint64 n = parser.value(number).toLongLong(&ok);
        if (!ok) {
            m_ctx.err << "merge: --number needs an integer, not '" << parser.value(number) << "'" << Qt::endl;
            return 2;
        }
        record.set(u"1"_s, n);
    }
    record.set(u"2"_s, parser.isSet(checked));
    record.set(u"3"_s, parser.value(email));
    int inner = 4;
    for (const QString &assignment : parser.values(field)) {
        const qsizetype eq = assignment.indexOf(u'=');
        if (eq < 0) {
            m_ctx.err << "merge: --field needs NAME=VALUE, not '" << assignment << "'" << Qt::endl;
            return 2;
        }
        const QString innerKey = QString::number(inner++);
        keys.append(dbKey(innerKey, assignment.left(eq)));
        record.set(innerKey, assignment.mid(eq + 1));
    }

    std::unique_ptr<FixedClock> fixed;
    if (parser.isSet(now)) {
        const QDateTime at = QDateTime::fromString(parser.value(now), Qt::ISODate);
        if (!at.isValid()) {
            m_ctx.err << "merge: --now needs an ISO 8601 date and time, not '" << parser.value(now) << "'"
                      << Qt::endl;
            return 2;
        }
        fixed = std::make_unique<FixedClock>(at, m_ctx.clock.timeZone(), m_ctx.clock.calendar());
    }
    const Clock &clock = fixed ? static_cast<const Clock &>(*fixed) : m_ctx.clock;

    m_ctx.out << TagSubstitution::merge(templateText, keys, record, clock);
    m_ctx.out.flush();
    return 0;
}

} // namespace quillcast::cli
