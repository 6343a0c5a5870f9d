#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace quillcast {

// The layouts an export offers, in code order (custom, tab-separated text,
// quoted CSV, HTML table, HTML page, plain CSV): what the settings sheet's
// menu shows and the command line's --format accepts.
class ExportLayouts
{
public:
    struct Layout
    {
        qint32 code; // ExportDelimiters' format code
        QString title; // what a menu shows
        QString name; // what the command line accepts
        QString extension; // what the save dialog proposes, without the dot
    };

    static const QList<Layout> &all();
    // The layout of a code or of a command-line name (any case); nothing when unknown.
    static std::optional<Layout> byCode(qint32 code);
    static std::optional<Layout> byName(const QString &name);
};

} // namespace quillcast
