#include "CliApp.h"

#include "platform/HugePageHeap.h"
#include "platform/SystemClock.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    if (quillcast::HugePageHeap::namesLargeFile(argc, argv))
        quillcast::HugePageHeap::restartWithHugePages(argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Quillcast"));
    QCoreApplication::setOrganizationName(QStringLiteral("Quillcast"));

    QTextStream out(stdout);
    QTextStream err(stderr);
    quillcast::cli::CliApp cli(out, err, quillcast::SystemClock::instance(), ::isatty(::fileno(stderr)) == 1);
    cli.setEndsProcess(true);
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    const int status = cli.run(arguments);
    out.flush();
    err.flush();
    return status;
}
