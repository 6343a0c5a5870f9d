#pragma once

#include "CliApp.h"
#include "TestFiles.h"
#include "platform/FixedClock.h"

#include <QString>
#include <QTextStream>

namespace quillcast::clitest {

// One in-process run of quillcast-cli with its streams captured and the clock
// fixed at 2026-12-06 09:05:03 UTC.
struct CliRun
{
    int status = -1;
    QString out;
    QString err;
};

inline CliRun runCli(const QStringList &arguments)
{
    CliRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    const FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3), QTimeZone::utc()));
    run.status = cli::CliApp(out, err, clock).run(arguments);
    out.flush();
    err.flush();
    return run;
}

using testing::fileContents;
using testing::writeFile;

} // namespace quillcast::clitest
