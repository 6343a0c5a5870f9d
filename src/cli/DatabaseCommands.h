#pragma once

#include "CliContext.h"

#include <QStringList>

namespace quillcast::cli {

// The commands that edit the recipient database and the exception list of a
// mailing file, and the dispatch to the column and attachment commands:
//   add-record FILE.quill NAME=VALUE...
//   add-exception FILE.quill ADDRESS [NOTE]
//   check FILE.quill all|none|invert|valid|invalid|duplicate|unique [--exceptions]
//   delete-checked FILE.quill --yes [--exceptions]
//   renumber FILE.quill
//   column add|rename|delete ...       (ColumnCommands)
//   attach FILE.quill PATH, detach FILE.quill INDEX   (AttachCommands)
// Each saves the mailing when it succeeds and leaves the file as it was when
// it fails: status 2 for bad arguments, 1 for any other failure. The CLI has
// no search text, so every command acts on the whole list.
class DatabaseCommands
{
public:
    explicit DatabaseCommands(CliContext context) : m_ctx(context) {}

    // Whether the command name belongs here.
    static bool handles(const QString &command);
    int run(const QString &command, const QStringList &arguments);
    static QString summary();

private:
    int runAddRecord(const QStringList &arguments);
    int runAddException(const QStringList &arguments);
    int runCheck(const QStringList &arguments);
    int runDeleteChecked(const QStringList &arguments);
    int runRenumber(const QStringList &arguments);
    // Prints "command: message" on standard error and returns status.
    int refuse(const QString &command, int status, const QString &message);

    CliContext m_ctx;
};

} // namespace quillcast::cli
