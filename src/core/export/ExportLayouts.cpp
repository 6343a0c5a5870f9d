#include "export/ExportLayouts.h"

#include "export/ExportDelimiters.h"

using namespace Qt::StringLiterals;

namespace quillcast {

const QList<ExportLayouts::Layout> &ExportLayouts::all()
{
    using D = ExportDelimiters;
    static const QList<Layout> table = [] {
        QList<Layout> layouts{
            {D::FormatCustom, u"Custom"_s, u"custom"_s, {}},
            {D::FormatTsv, u"Tab-separated text"_s, u"tsv"_s, {}},
            {D::FormatQuotedCsv, u"Quoted CSV"_s, u"quoted-csv"_s, {}},
            {D::FormatHtmlTable, u"HTML table"_s, u"html-table"_s, {}},
            {D::FormatHtmlPage, u"HTML page"_s, u"html-page"_s, {}},
            {D::FormatCsv, u"Plain CSV"_s, u"csv"_s, {}},
        };
        // One source for the extensions: the writer's own table.
        for (Layout &layout : layouts)
            layout.extension = D::fileExtension(layout.code);
        return layouts;
    }();
    return table;
}

std::optional<ExportLayouts::Layout> ExportLayouts::byCode(qint32 code)
{
    for (const Layout &layout : all()) {
        if (layout.code == code)
            return layout;
    }
    return std::nullopt;
}

std::optional<ExportLayouts::Layout> ExportLayouts::byName(const QString &name)
{
    const QString folded = name.toLower();
    for (const Layout &layout : all()) {
        if (layout.name == folded)
            return layout;
    }
    return std::nullopt;
}

} // namespace quillcast
