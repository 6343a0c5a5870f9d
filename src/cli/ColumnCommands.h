#pragma once

#include "CliContext.h"

#include <QStringList>

namespace quillcast::cli {

// The columns (DB keys) of a mailing's database, by their public names:
//   column add FILE.quill [NAME]
//   column rename FILE.quill OLD NEW
//   column delete FILE.quill NAME --yes
// The fixed columns "#", "sel" and "email" are neither renamed nor deleted.
// The CLI names columns by their public names, so it refuses to give two
// columns the same name.
class ColumnCommands
{
public:
    explicit ColumnCommands(CliContext context) : m_ctx(context) {}

    // arguments start with the action: add, rename or delete.
    int run(const QStringList &arguments);
    static QString summary();

private:
    int runAdd(const QStringList &arguments);
    int runRename(const QStringList &arguments);
    int runDelete(const QStringList &arguments);
    int refuse(const QString &command, int status, const QString &message);

    CliContext m_ctx;
};

} // namespace quillcast::cli
