#pragma once

#include "CliContext.h"

#include <QStringList>

namespace quillcast::cli {

// quillcast-cli sample: the main job on the mailing built into the program.
// The sample mailing is written into a folder as a mailing file, and a send
// run prepares a message for every record of its send list (the database
// minus the exception list) as a draft in the folder's "drafts" folder. No
// mail server is needed.
//
//   sample [--out DIR] [--file MAILING.json] [--now DATETIME]
class SampleCommand
{
public:
    explicit SampleCommand(CliContext context) : m_ctx(context) {}
    int run(const QStringList &arguments);
    static QString summary();

private:
    CliContext m_ctx;
};

} // namespace quillcast::cli
