#include "DocumentCommands.h"

#include "OpenedMailing.h"
#include "document/DocumentFile.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "document/UserEdits.h"
#include "document/archive/KeyedUnarchiver.h"
#include "platform/MappedFile.h"
#include "platform/RegularFileReader.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>

#include <limits>

using namespace Qt::StringLiterals;

namespace quillcast::cli {

namespace {

QJsonValue toJson(const Value &v)
{
    switch (v.type()) {
    case Value::Type::Null:
        return QJsonValue(QJsonValue::Null);
    case Value::Type::Bool:
        return v.toBool();
    case Value::Type::Int:
        return v.toInt64();
    case Value::Type::UInt:
        return v.toUInt64() <= quint64(std::numeric_limits<qint64>::max()) ? QJsonValue(v.toInt64())
                                                                           : QJsonValue(double(v.toUInt64()));
    case Value::Type::Real:
        return v.toDouble();
    case Value::Type::String:
        return v.toString();
    case Value::Type::Date:
        return v.toDateTime().toUTC().toString(Qt::ISODateWithMs);
    case Value::Type::Bytes:
        return QString::fromLatin1(v.toBytes().toBase64());
    case Value::Type::List: {
        QJsonArray array;
        for (const Value &item : v.toList().items())
            array.append(toJson(item));
        return array;
    }
    case Value::Type::Dict: {
        QJsonObject object;
        for (const auto &[key, value] : v.toDict().snapshot().entries())
            object.insert(key, toJson(value));
        return object;
    }
    }
    return QJsonValue();
}

// For each record of the send list, the position of the same object in the
// database, or -1.
QJsonArray sendArrayShared(const Dict &root)
{
    QHash<const void *, qsizetype> positions;
    const List::Items database = root.value(u"addressArray"_s).toList().items();
    for (size_t i = 0; i < database.size(); ++i) {
        if (database[i].isDict())
            positions.insert(database[i].toDict().identity(), qsizetype(i));
    }
    QJsonArray shared;
    for (const Value &record : root.value(u"sendArray"_s).toList().items())
        shared.append(record.isDict() ? positions.value(record.toDict().identity(), -1) : -1);
    return shared;
}

bool readText(const QString &path, QString *text, QString *error)
{
    const Result<QByteArray> bytes = RegularFileReader::read(path, RegularFileReader::kTextFileLimit);
    if (!bytes) {
        *error = u"cannot read %1: %2"_s.arg(path, bytes.error());
        return false;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    *text = decoder.decode(bytes.value());
    if (decoder.hasError()) {
        *error = u"%1 is not UTF-8 text"_s.arg(path);
        return false;
    }
    return true;
}

enum class Setting { Text, Pause, Kind, Transport, ConnectionIndex, RefusedToExceptions };

const QHash<QString, Setting> &settings()
{
    static const QHash<QString, Setting> names{
        {u"mailFormFrom"_s, Setting::Text},
        {u"mailFormTo"_s, Setting::Text},
        {u"mailFormSubject"_s, Setting::Text},
        {u"mailFormBody"_s, Setting::Text},
        {u"mailFormBodyHtml"_s, Setting::Text},
        {u"mailFormBodyHtmlAltText"_s, Setting::Text},
        {u"sendPrepTimeInterval"_s, Setting::Pause},
        {u"emailKind"_s, Setting::Kind},
        {u"useMailServerToSend"_s, Setting::Transport},
        {u"selectedIndexConnection"_s, Setting::ConnectionIndex},
        {u"quillcastAddRefusedToExceptions"_s, Setting::RefusedToExceptions},
    };
    return names;
}

} // namespace

QString DocumentCommands::summary()
{
    return u"  new FILE.quill            create an empty mailing\n"
           "  show FILE.quill [--json]  print a mailing (--json: every saved value)\n"
           "  set FILE.quill NAME=VALUE...\n"
           "                            change the mail form or the settings and save;\n"
           "                            NAME=@path takes a text from a UTF-8 file. NAMEs:\n"
           "                            mailFormFrom mailFormTo mailFormSubject mailFormBody\n"
           "                            mailFormBodyHtml mailFormBodyHtmlAltText\n"
           "                            sendPrepTimeInterval (seconds, 1 or more), emailKind (0 text,\n"
           "                            1 HTML), useMailServerToSend (1 SMTP, 0 mail client),\n"
           "                            selectedIndexConnection (0 or more),\n"
           "                            quillcastAddRefusedToExceptions (1: an address the server\n"
           "                            refuses as unknown goes to the exceptions; 0, the default)\n"_s;
}

int DocumentCommands::runNew(const QStringList &arguments)
{
    if (arguments.size() != 1) {
        m_ctx.err << "new: give the path of the mailing to create" << Qt::endl;
        return 2;
    }
    OpenedMailing mailing(m_ctx, u"new"_s, false);
    if (!mailing.report(mailing.session().create(arguments.first())))
        return 1;
    m_ctx.out << "Created " << arguments.first() << Qt::endl;
    return 0;
}

int DocumentCommands::runShow(const QStringList &arguments)
{
    QStringList rest = arguments;
    const bool json = rest.removeAll(u"--json"_s) > 0;
    if (rest.size() != 1 || rest.first().startsWith(u'-')) {
        m_ctx.err << "show: give the path of one mailing, and --json for every saved value" << Qt::endl;
        return 2;
    }
    const QString path = rest.first();
    // Mapped, and read once for both the document and --json.
    const Result<MappedFile> contents = MappedFile::map(path, KeyedUnarchiver::maxFileSize);
    if (!contents) {
        m_ctx.err << "show: cannot open " << path << ": " << contents.error() << Qt::endl;
        return 1;
    }
    const QByteArray bytes = contents->rawBytes();
    OpenedMailing mailing(m_ctx, u"show"_s, false);
    if (const Status read = mailing.session().openData(path, bytes, [&contents] { contents->releasePages(); });
        !read) {
        m_ctx.err << "show: " << path << ": " << read.error() << Qt::endl;
        return 1;
    }
    const MyDocument &doc = mailing.document();

    if (json) {
        const Dict root = DocumentFile::readRoot(bytes).value();
        QJsonObject object = toJson(root).toObject();
        object.insert(u"sendArrayShared"_s, sendArrayShared(root));
        m_ctx.out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
        m_ctx.out.flush();
        return 0;
    }

    QStringList columns;
    for (const Value &key : doc.keyArray().items())
        columns.append(key.toDict().stringValue(DocumentKeys::publicKey()));
    // The open evaluated the database's checked view and nothing has ticked
    // or cleared a record since: its size is the count, without a second
    // walk of a million records.
    const qsizetype checked = doc.addresses().checked().size();
    const QStringList logLines = doc.myLog().split(u'\n', Qt::SkipEmptyParts);

    QTextStream &out = m_ctx.out;
    out << "Mailing: " << path << "\n"
        << "Format: " << doc.formatRead() << "\n"
        << "Columns: " << columns.join(u", "_s) << "\n"
        << "Records: " << doc.addressArray().size() << " (" << checked << " checked)\n"
        << "Exceptions: " << doc.exceptArray().size() << "\n"
        << "Send list: " << doc.sendArray().size() << "\n"
        << "From: " << doc.mailFormFrom() << "\n"
        << "To: " << doc.mailFormTo() << "\n"
        << "Subject: " << doc.mailFormSubject() << "\n"
        << "Message kind: " << (doc.emailKind() >= 1 ? "HTML with a text part" : "plain text") << "\n"
        << "Send through: ";
    if (doc.useMailServerToSend() == 1)
        out << "SMTP server, connection " << doc.selectedIndexConnection().value_or(0) << "\n";
    else
        out << "the system mail client\n";
    out << "Pause between messages: " << doc.sendPrepTimeInterval() << " s\n"
        << "Attachments: " << doc.attachmentBookmarks().size() << "\n"
        << "Log: " << logLines.size() << " lines\n";
    for (qsizetype i = std::max<qsizetype>(0, logLines.size() - 5); i < logLines.size(); ++i)
        out << "  " << logLines[i] << "\n";
    out.flush();
    return 0;
}

int DocumentCommands::runSet(const QStringList &arguments)
{
    if (arguments.size() < 2) {
        m_ctx.err << "set: give the mailing and at least one NAME=VALUE" << Qt::endl;
        return 2;
    }
    const QString path = arguments.first();

    // Check every assignment before touching the mailing.
    struct Assignment
    {
        QString name;
        Setting setting;
        QString text;
        qint64 number = 0;
    };
    QList<Assignment> assignments;
    for (const QString &argument : arguments.mid(1)) {
        const qsizetype eq = argument.indexOf(u'=');
        const QString name = eq < 0 ? argument : argument.left(eq);
        if (eq < 0 || !settings().contains(name)) {
            m_ctx.err << "set: unknown setting '" << name << "'; see quillcast-cli --help" << Qt::endl;
            return 2;
        }
        Assignment a{name, settings().value(name), argument.mid(eq + 1)};
        if (a.setting == Setting::Text) {
            if (a.text.startsWith(u'@')) {
                QString error;
                if (!readText(a.text.mid(1), &a.text, &error)) {
                    m_ctx.err << "set: " << name << ": " << error << Qt::endl;
                    return 1;
                }
            }
        } else {
            bool ok = false;
            a.number = a.text.trimmed().toLongLong(&ok);
            const bool inRange = a.setting == Setting::Pause              ? a.number >= 1
                                 : a.setting == Setting::ConnectionIndex ? a.number >= 0
                                                                          : (a.number == 0 || a.number == 1);
            if (!ok || !inRange) {
                const char *expected = a.setting == Setting::Pause ? "a whole number of seconds, 1 or more"
                                       : a.setting == Setting::ConnectionIndex ? "a connection index, 0 or more"
                                                                               : "0 or 1";
                m_ctx.err << "set: " << name << " needs " << expected << ", not '" << a.text << "'" << Qt::endl;
                return 2;
            }
        }
        assignments.append(a);
    }

    OpenedMailing mailing(m_ctx, u"set"_s, false);
    if (!mailing.report(mailing.session().open(path)))
        return 1;
    MyDocument &doc = mailing.document();
    for (const Assignment &a : assignments) {
        if (a.name == u"mailFormFrom")
            doc.setMailFormFrom(a.text);
        else if (a.name == u"mailFormTo")
            doc.setMailFormTo(a.text);
        else if (a.name == u"mailFormSubject")
            doc.setMailFormSubject(a.text);
        else if (a.name == u"mailFormBody")
            doc.setMailFormBody(a.text);
        else if (a.name == u"mailFormBodyHtml")
            doc.setMailFormBodyHtml(a.text);
        else if (a.name == u"mailFormBodyHtmlAltText")
            doc.setMailFormBodyHtmlAltText(a.text);
        else if (a.setting == Setting::Pause)
            doc.setSendPrepTimeInterval(a.number);
        else if (a.setting == Setting::Kind)
            doc.chooseEmailKind(a.number);
        else if (a.setting == Setting::Transport)
            doc.chooseTransport(a.number);
        else if (a.setting == Setting::ConnectionIndex)
            doc.setSelectedIndexConnection(a.number);
        else if (a.setting == Setting::RefusedToExceptions)
            UserEdits(doc).editAddRefusedToExceptions(a.number == 1);
    }
    if (!mailing.report(mailing.session().save()))
        return 1;
    m_ctx.out << "Saved " << path << Qt::endl;
    return 0;
}

} // namespace quillcast::cli
