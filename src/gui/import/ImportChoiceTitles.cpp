#include "import/ImportChoiceTitles.h"

#include "import/LXSmartStringFileReader.h"
#include "import/RowSplitter.h"

using namespace Qt::StringLiterals;

namespace quillcast::gui {

QList<ImportChoiceTitles::Choice> ImportChoiceTitles::formats()
{
    return {{RowSplitter::FormatAutomatic, u"auto"_s},
            {RowSplitter::FormatTab, u"tab"_s},
            {RowSplitter::FormatComma, u"comma"_s},
            {RowSplitter::FormatSemicolon, u"semicolon"_s}};
}

QList<ImportChoiceTitles::Choice> ImportChoiceTitles::encodings()
{
    using R = LXSmartStringFileReader;
    return {{R::EncodingAutomatic, u"auto"_s}, {R::EncodingUtf8, u"utf-8"_s},
            {R::EncodingUtf16, u"utf-16"_s},   {R::EncodingUtf16BE, u"utf-16be"_s},
            {R::EncodingUtf16LE, u"utf-16le"_s}, {R::EncodingUtf32, u"utf-32"_s},
            {R::EncodingUtf32BE, u"utf-32be"_s}, {R::EncodingUtf32LE, u"utf-32le"_s},
            {R::EncodingMacRoman, u"macintosh"_s}, {R::EncodingAscii, u"ascii"_s}};
}

} // namespace quillcast::gui
