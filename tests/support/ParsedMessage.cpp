#include "ParsedMessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace quillcast::testing {

namespace {

QList<ParsedMessage::Address> addressList(const QJsonValue &value)
{
    QList<ParsedMessage::Address> result;
    for (const QJsonValue &entry : value.toArray())
        result.append({entry[u"name"_s].toString(), entry[u"addr"_s].toString()});
    return result;
}

void appendParts(QList<ParsedMessage::Part> &parts, const QJsonObject &part)
{
    parts.append({part[u"content_type"_s].toString(), part[u"charset"_s].toString(), part[u"filename"_s].toString(),
                  part[u"disposition"_s].toString(), part[u"transfer_encoding"_s].toString().toLower(),
                  QByteArray::fromBase64(part[u"payload_b64"_s].toString().toLatin1()), part[u"text"_s].toString()});
    for (const QJsonValue &child : part[u"parts"_s].toArray())
        appendParts(parts, child.toObject());
}

} // namespace

ParsedMessage ParsedMessage::fromJson(const QJsonObject &root)
{
    ParsedMessage parsed;
    for (const QJsonValue &header : root[u"headers"_s].toArray())
        parsed.headers.append({header[0].toString(), header[1].toString()});
    parsed.from = addressList(root[u"from"_s]);
    parsed.to = addressList(root[u"to"_s]);
    parsed.subject = root[u"subject"_s].toString();
    parsed.date = root[u"date"_s].toString();
    appendParts(parsed.parts, root[u"structure"_s].toObject());
    for (const QJsonValue &defect : root[u"defects"_s].toArray())
        parsed.defects.append(defect.toString());
    return parsed;
}

QStringList ParsedMessage::headerValues(const QString &name) const
{
    QStringList values;
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            values.append(value);
    }
    return values;
}

int ParsedMessage::headerCount(const QString &name) const
{
    return int(headerValues(name).size());
}

QString ParsedMessage::header(const QString &name) const
{
    return headerValues(name).value(0);
}

QStringList ParsedMessage::toMailboxes() const
{
    QStringList result;
    for (const Address &address : to)
        result.append(address.addr);
    return result;
}

bool haveParser()
{
    return !QStandardPaths::findExecutable(u"python3"_s).isEmpty();
}

std::optional<ParsedMessage> parseMessage(const QByteArray &bytes, QString *error)
{
    QProcess python;
    python.start(u"python3"_s, {QStringLiteral(QUILLCAST_READ_MESSAGE_SCRIPT)});
    if (!python.waitForStarted()) {
        if (error)
            *error = u"python3 does not start"_s;
        return std::nullopt;
    }
    python.write(bytes);
    python.closeWriteChannel();
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
        if (error)
            *error = QString::fromUtf8(python.readAllStandardError());
        return std::nullopt;
    }
    return ParsedMessage::fromJson(QJsonDocument::fromJson(python.readAllStandardOutput()).object());
}

QByteArray rawHeaderBlock(const QByteArray &bytes)
{
    const qsizetype end = bytes.indexOf("\r\n\r\n");
    return end < 0 ? bytes : bytes.left(end + 2);
}

QString sevenBitProblem(const QByteArray &bytes)
{
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c > 127)
            return u"byte %1 at offset %2"_s.arg(c).arg(i);
        if (c == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n'))
            return u"bare CR at offset %1"_s.arg(i);
        if (c == '\n' && (i == 0 || bytes[i - 1] != '\r'))
            return u"bare LF at offset %1"_s.arg(i);
        if (c == '\n') {
            if (i - 1 - lineStart > 998)
                return u"line of %1 characters at offset %2"_s.arg(i - 1 - lineStart).arg(lineStart);
            lineStart = i + 1;
        }
    }
    if (bytes.size() - lineStart > 998)
        return u"last line of %1 characters"_s.arg(bytes.size() - lineStart);
    return QString();
}

} // namespace quillcast::testing
