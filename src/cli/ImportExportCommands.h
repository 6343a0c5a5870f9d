#pragma once

#include "CliContext.h"

#include <QStringList>

namespace quillcast::cli {

// The commands that bring records into a mailing from a text file and write
// them out again:
//   import FILE.quill DATA [--exceptions] [--format F] [--encoding E] [--map MAPPING] [--skip-first]
//   export FILE.quill OUT [--exceptions] [--format F] [--keys NAME,...] [--names-row] [--custom-... T]
// Both check their arguments before anything is read or written; an import
// that is refused or fails leaves the mailing as it was.
class ImportExportCommands
{
public:
    explicit ImportExportCommands(CliContext context) : m_ctx(context) {}

    // Whether the command name belongs here.
    static bool handles(const QString &command);
    int run(const QString &command, const QStringList &arguments);
    static QString summary();

private:
    int runImport(const QStringList &arguments);
    int runExport(const QStringList &arguments);

    CliContext m_ctx;
};

} // namespace quillcast::cli
