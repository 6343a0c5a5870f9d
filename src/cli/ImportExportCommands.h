#pragma once

#include "CliContext.h"

#include <QStringList>

namespace quillcast::cli {

class ImportExportCommands
{
public:
    explicit ImportExportCommands(CliContext context) : m_ctx(context) {}

    // Whether the command name belongs here.
    static bool handles(const QString &command);
    int run(const QString &command, const QStringList &arguments);
    static QString summary();

private:
    CliContext m_ctx;
};

} // namespace quillcast::cli
