#pragma once

#include "CliContext.h"

#include <QStringList>

namespace quillcast::cli {

// The sending commands: a real send run over a mailing ("send"), and the
// message one record of its send list would produce ("preview").
class SendCommands
{
public:
    explicit SendCommands(CliContext context) : m_ctx(context) {}

    static bool handles(const QString &command);
    static QString summary();
    int run(const QString &command, const QStringList &arguments);

private:
    int runSend(const QStringList &arguments);
    int runPreview(const QStringList &arguments);
    int refuse(const QString &command, int status, const QString &message);
    // The results of the run of a journal, or of the mailing's last run, as
    // CSV at csvPath, and their counts on the output.
    int writeReport(const QString &journalPath, const QString &csvPath);
    int writeLastReport(const QString &mailingPath, const QString &csvPath);

    CliContext m_ctx;
};

} // namespace quillcast::cli
