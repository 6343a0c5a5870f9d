#include "ParsedMessage.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace quillcast::testing {

namespace {

const QString kParser = uR"PY(
import base64, email, json, sys
from email import policy

msg = email.message_from_bytes(sys.stdin.buffer.read(), policy=policy.default)

def addresses(name):
    value = msg.get(name)
    if value is None:
        return []
    return [{"name": a.display_name, "addr": a.addr_spec} for a in value.addresses]

parts = []
defects = [type(d).__name__ for d in msg.defects]
for part in msg.walk():
    defects += [type(d).__name__ for d in part.defects]
    entry = {
        "type": part.get_content_type(),
        "charset": part.get_content_charset() or "",
        "filename": part.get_filename() or "",
        "disposition": part.get_content_disposition() or "",
        "cte": str(part.get("Content-Transfer-Encoding", "")),
        "payload": "",
        "text": "",
    }
    if not part.is_multipart():
        entry["payload"] = base64.b64encode(part.get_payload(decode=True) or b"").decode()
        if part.get_content_maintype() == "text":
            entry["text"] = part.get_content().replace("\r\n", "\n")
    parts.append(entry)

date = msg.get("Date")
json.dump({
    "headers": [[k, str(v)] for k, v in msg.items()],
    "from": addresses("From"),
    "to": addresses("To"),
    "subject": str(msg.get("Subject", "")),
    "date": date.datetime.isoformat() if date is not None and date.datetime is not None else "",
    "parts": parts,
    "defects": defects,
}, sys.stdout)
)PY"_s;

QList<ParsedMessage::Address> addressList(const QJsonValue &value)
{
    QList<ParsedMessage::Address> result;
    for (const QJsonValue &entry : value.toArray())
        result.append({entry[u"name"_s].toString(), entry[u"addr"_s].toString()});
    return result;
}

} // namespace

int ParsedMessage::headerCount(const QString &name) const
{
    int count = 0;
    for (const auto &[key, value] : headers)
        count += key.compare(name, Qt::CaseInsensitive) == 0 ? 1 : 0;
    return count;
}

QString ParsedMessage::header(const QString &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return QString();
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
    python.start(u"python3"_s, {u"-c"_s, kParser});
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
    const QJsonObject root = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    ParsedMessage parsed;
    for (const QJsonValue &header : root[u"headers"_s].toArray())
        parsed.headers.append({header[0].toString(), header[1].toString()});
    parsed.from = addressList(root[u"from"_s]);
    parsed.to = addressList(root[u"to"_s]);
    parsed.subject = root[u"subject"_s].toString();
    parsed.date = root[u"date"_s].toString();
    for (const QJsonValue &entry : root[u"parts"_s].toArray()) {
        parsed.parts.append({entry[u"type"_s].toString(), entry[u"charset"_s].toString(),
                             entry[u"filename"_s].toString(), entry[u"disposition"_s].toString(),
                             entry[u"cte"_s].toString().toLower(),
                             QByteArray::fromBase64(entry[u"payload"_s].toString().toLatin1()),
                             entry[u"text"_s].toString()});
    }
    for (const QJsonValue &defect : root[u"defects"_s].toArray())
        parsed.defects.append(defect.toString());
    return parsed;
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
