#include "export/ExportDelimiters.h"

using namespace Qt::StringLiterals;

namespace quillcast {

ExportDelimiters ExportDelimiters::forFormat(qint32 format)
{
    ExportDelimiters d;
    switch (format) {
    case FormatTsv:
        d.endOfRecord = u"\n"_s;
        d.fieldSeparator = u"\t"_s;
        break;
    case FormatQuotedCsv:
        d.endOfRecord = u"\n"_s;
        d.fieldOpenTag = u"\""_s;
        d.fieldCloseTag = u"\""_s;
        d.fieldSeparator = u","_s;
        break;
    case FormatHtmlTable:
    case FormatHtmlPage:
        d.startOfFile = format == FormatHtmlPage ? u"<!DOCTYPE html><html><body><table>"_s : u"<table>"_s;
        d.endOfFile = format == FormatHtmlPage ? u"</table></body></html>"_s : u"</table>"_s;
        d.startOfRecord = u"<tr>"_s;
        d.endOfRecord = u"</tr>"_s;
        d.fieldOpenTag = u"<td>"_s;
        d.fieldCloseTag = u"</td>"_s;
        d.endOfRecordAfterLast = true;
        break;
    case FormatCsv:
        d.endOfRecord = u"\n"_s;
        d.fieldSeparator = u","_s;
        break;
    default:
        break;
    }
    return d;
}

QString ExportDelimiters::unescape(const QString &typed)
{
    QString text = typed;
    text.replace(u"\\n"_s, u"\n"_s);
    text.replace(u"\\t"_s, u"\t"_s);
    return text;
}

QString ExportDelimiters::fileExtension(qint32 format)
{
    switch (format) {
    case FormatTsv:
        return u"tsv"_s;
    case FormatQuotedCsv:
    case FormatCsv:
        return u"csv"_s;
    case FormatHtmlPage:
        return u"html"_s;
    default:
        return u"txt"_s;
    }
}

} // namespace quillcast
