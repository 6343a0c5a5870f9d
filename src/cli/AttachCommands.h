#pragma once

#include "CliContext.h"

#include <QStringList>

namespace quillcast::cli {

// The attachment list of a mailing's message:
//   attach FILE.quill PATH     adds a readable file
//   detach FILE.quill INDEX    removes the entry at INDEX, counted from 1
class AttachCommands
{
public:
    explicit AttachCommands(CliContext context) : m_ctx(context) {}

    int runAttach(const QStringList &arguments);
    int runDetach(const QStringList &arguments);
    static QString summary();

private:
    int refuse(const QString &command, int status, const QString &message);

    CliContext m_ctx;
};

} // namespace quillcast::cli
