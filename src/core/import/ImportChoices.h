#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillcast {

// The choices an import offers beside the file chooser: the format a file is
// split by and the text encoding it is read in. One table each, in the order
// a menu lists them, shared by the desktop's chooser and the command line.
class ImportChoices
{
public:
    struct Choice
    {
        qint32 code; // the format code of RowSplitter, the encoding code of LXSmartStringFileReader
        QString title; // what a menu shows
        QStringList names; // what the command line accepts; the first is the one it lists
    };

    // Automatic, tab, comma, semicolon. Automatic comes first, the start of every import.
    static const QList<Choice> &formats();
    // Automatic, then the nine encodings by code: 1, 10, 11, 12, 20, 21, 22, 30, 50.
    static const QList<Choice> &encodings();

    // The code of a name (any case), or nothing.
    static std::optional<qint32> formatByName(const QString &name);
    // The code of a name (any case) or of a code in decimal that is automatic
    // or one of the nine; nothing otherwise.
    static std::optional<qint32> encodingByName(const QString &text);
    // Where a code stands in its table; -1 when it is not there.
    static qsizetype formatIndex(qint32 code);
    // Every code that is not one of the nine encodings means automatic
    // detection, so it stands where automatic stands.
    static qsizetype encodingIndex(qint32 code);
};

} // namespace quillcast
