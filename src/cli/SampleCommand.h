#pragma once

#include "CliContext.h"

#include <QStringList>

namespace quillcast::cli {

// quillcast-cli sample: the main job on the mailing built into the program.
// Every recipient of the sample mailing not on its exception list gets the
// mail form merged with their record, printed as the message would leave.
//
//   sample [--file MAILING.json] [--now DATETIME]
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
