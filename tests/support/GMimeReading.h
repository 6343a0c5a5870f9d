#pragma once

#include "ParsedMessage.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillcast::testing {

// The top-level headers of a message as GMime's parser reads them: a second
// reader besides Python's, the one the C++ side of a mail program would use.
struct GMimeReading
{
    QList<ParsedMessage::Address> from;
    QList<ParsedMessage::Address> to;
    QString subject; // decoded

    // Parses the bytes; none when GMime finds no message in them.
    static std::optional<GMimeReading> read(const QByteArray &bytes);
};

// Every way the top-level header block breaks the line limits of RFC 5322
// (78 characters, and 998 at most) and RFC 2047 (encoded words of 75
// characters at most), one text each; empty when there is none.
QStringList headerLimitProblems(const QByteArray &bytes);

} // namespace quillcast::testing
