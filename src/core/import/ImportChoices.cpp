#include "import/ImportChoices.h"

#include "import/LXSmartStringFileReader.h"
#include "import/RowSplitter.h"

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

std::optional<qint32> byName(const QList<ImportChoices::Choice> &table, const QString &name)
{
    const QString folded = name.toLower();
    for (const ImportChoices::Choice &choice : table) {
        if (choice.names.contains(folded))
            return choice.code;
    }
    return std::nullopt;
}

qsizetype indexOf(const QList<ImportChoices::Choice> &table, qint32 code)
{
    for (qsizetype i = 0; i < table.size(); ++i) {
        if (table[i].code == code)
            return i;
    }
    return -1;
}

} // namespace

const QList<ImportChoices::Choice> &ImportChoices::formats()
{
    static const QList<Choice> table{
        {RowSplitter::FormatAutomatic, u"Automatic"_s, {u"auto"_s}},
        {RowSplitter::FormatTab, u"Tab-separated"_s, {u"tab"_s}},
        {RowSplitter::FormatComma, u"Comma-separated"_s, {u"comma"_s}},
        {RowSplitter::FormatSemicolon, u"Semicolon-separated"_s, {u"semicolon"_s}},
    };
    return table;
}

const QList<ImportChoices::Choice> &ImportChoices::encodings()
{
    using R = LXSmartStringFileReader;
    static const QList<Choice> table{
        {R::EncodingAutomatic, u"Automatic"_s, {u"auto"_s}},
        {R::EncodingUtf8, u"UTF-8"_s, {u"utf-8"_s, u"utf8"_s}},
        {R::EncodingUtf16, u"UTF-16"_s, {u"utf-16"_s}},
        {R::EncodingUtf16BE, u"UTF-16 big-endian"_s, {u"utf-16be"_s}},
        {R::EncodingUtf16LE, u"UTF-16 little-endian"_s, {u"utf-16le"_s}},
        {R::EncodingUtf32, u"UTF-32"_s, {u"utf-32"_s}},
        {R::EncodingUtf32BE, u"UTF-32 big-endian"_s, {u"utf-32be"_s}},
        {R::EncodingUtf32LE, u"UTF-32 little-endian"_s, {u"utf-32le"_s}},
        {R::EncodingMacRoman, u"Mac OS Roman"_s, {u"macintosh"_s, u"macroman"_s, u"mac-roman"_s}},
        {R::EncodingAscii, u"ASCII"_s, {u"ascii"_s, u"us-ascii"_s}},
    };
    return table;
}

std::optional<qint32> ImportChoices::formatByName(const QString &name)
{
    return byName(formats(), name);
}

std::optional<qint32> ImportChoices::encodingByName(const QString &text)
{
    bool isNumber = false;
    const qint32 code = text.toInt(&isNumber);
    if (isNumber)
        return indexOf(encodings(), code) >= 0 ? std::optional<qint32>(code) : std::nullopt;
    return byName(encodings(), text);
}

qsizetype ImportChoices::formatIndex(qint32 code)
{
    return indexOf(formats(), code);
}

qsizetype ImportChoices::encodingIndex(qint32 code)
{
    const qsizetype at = indexOf(encodings(), code);
    return at >= 0 ? at : indexOf(encodings(), LXSmartStringFileReader::EncodingAutomatic);
}

} // namespace quillcast
