#pragma once

#include "CliApp.h"
#include "TestApplication.h"
#include "TestFiles.h"
#include "platform/FixedClock.h"

#include <QString>
#include <QTemporaryDir>
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

// A home folder of the test program's own, so that runs never touch the
// user's real settings or keyring. The settings location is fixed at its first use in a
// process, so the folder is set once, before any run.
inline const QTemporaryDir &privateHome()
{
    testing::application();
    static const QTemporaryDir folder;
    static const bool pointed = [] {
        qputenv("HOME", folder.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", folder.filePath(QStringLiteral(".config")).toLocal8Bit());
        // Nor the user's keyring: without a session bus the passwords stay in
        // the settings file.
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("XDG_RUNTIME_DIR", folder.path().toLocal8Bit());
        return true;
    }();
    Q_UNUSED(pointed);
    return folder;
}

using testing::fileContents;
using testing::writeFile;

} // namespace quillcast::clitest
