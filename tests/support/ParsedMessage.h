#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillcast::testing {

// A message as another program reads it: read_message.py parses the bytes
// with Python's email package, so the tests do not check GMime's output with
// GMime itself. The SMTP test server stores the same parse of what it takes.
struct ParsedMessage
{
    struct Address
    {
        QString name;
        QString addr;
    };
    struct Part
    {
        QString contentType; // lower case, without parameters
        QString charset;
        QString filename; // decoded
        QString disposition;
        QString transferEncoding;
        QByteArray payload; // transfer encoding undone; empty for multiparts
        QString text; // text parts: the payload decoded from its charset, with LF line ends
    };

    QList<QPair<QString, QString>> headers; // top level, in order, values decoded
    QList<Address> from;
    QList<Address> to;
    QString subject;
    QString date; // ISO 8601 with offset, as Python reads the Date header
    QList<Part> parts; // depth first, the message itself first
    QStringList defects;

    // From read_message.py's JSON.
    static ParsedMessage fromJson(const QJsonObject &root);

    int headerCount(const QString &name) const;
    QStringList headerValues(const QString &name) const;
    QString header(const QString &name) const; // the first, or ""
    QStringList toMailboxes() const;
};

// Parses message bytes; none (with the reason in error) when python3 cannot
// run or fails.
std::optional<ParsedMessage> parseMessage(const QByteArray &bytes, QString *error = nullptr);
bool haveParser();

// The top-level header block as it was written (up to the first empty line).
QByteArray rawHeaderBlock(const QByteArray &bytes);
// Why the bytes are not safe for a 7-bit SMTP server (a byte above 127, a bare
// CR or LF, a line over 998 characters), or "" when they are.
QString sevenBitProblem(const QByteArray &bytes);

} // namespace quillcast::testing
