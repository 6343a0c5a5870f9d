#pragma once

#include "CliContext.h"

#include <QStringList>

namespace quillcast::cli {

// quillcast-cli merge: merges a template with one record given on the command
// line and prints the result, so the merge can be driven from a shell.
//
//   merge (FILE | --text TEXT) [--field NAME=VALUE]... [--email ADDRESS]
//         [--number N] [--checked] [--now DATETIME]
//
// Fields become the user columns in the order given. --now fixes the clock
// (ISO 8601, e.g. 2026-12-06T09:30:00Z) for reproducible output.
class MergeCommand
{
public:
    explicit MergeCommand(CliContext context) : m_ctx(context) {}
    int run(const QStringList &arguments);
    static QString summary();

private:
    CliContext m_ctx;
};

} // namespace quillcast::cli
