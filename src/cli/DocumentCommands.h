#pragma once

#include "CliContext.h"

#include <QStringList>

namespace quillcast::cli {

// The commands that create, show and change a mailing file:
//   new FILE.quill
//   show FILE.quill [--json]
//   set FILE.quill NAME=VALUE... (NAME=@path reads the text from a UTF-8 file)
// A command that fails leaves the file as it was.
class DocumentCommands
{
public:
    explicit DocumentCommands(CliContext context) : m_ctx(context) {}

    int runNew(const QStringList &arguments);
    int runShow(const QStringList &arguments);
    int runSet(const QStringList &arguments);
    static QString summary();

private:
    CliContext m_ctx;
};

} // namespace quillcast::cli
