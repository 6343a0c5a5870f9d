#include "CliApp.h"

#include "ConnectionCommands.h"
#include "DatabaseCommands.h"
#include "DocumentCommands.h"
#include "ImportExportCommands.h"
#include "MergeCommand.h"
#include "SampleCommand.h"
#include "SendCommands.h"
#include "UpdateCheckCommand.h"
#include "platform/Clock.h"

namespace quillcast::cli {

CliApp::CliApp(QTextStream &out, QTextStream &err, const Clock &clock, bool progressLine)
    : m_out(out), m_err(err), m_clock(clock), m_progressLine(progressLine)
{
}

int CliApp::run(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return usage(2);
    const QString command = arguments.first();
    if (command == u"--version" || command == u"version") {
        m_out << "Quillcast " << QUILLCAST_RELEASE << Qt::endl;
        return 0;
    }
    if (command == u"--help" || command == u"help")
        return usage(0);
    const QStringList rest = arguments.mid(1);
    const CliContext context{m_out, m_err, m_clock, m_progressLine};
    if (command == u"merge")
        return MergeCommand(context).run(rest);
    if (command == u"sample")
        return SampleCommand(context).run(rest);
    if (command == u"new")
        return DocumentCommands(context).runNew(rest);
    if (command == u"show")
        return DocumentCommands(context).runShow(rest);
    if (command == u"set")
        return DocumentCommands(context).runSet(rest);
    if (DatabaseCommands::handles(command))
        return DatabaseCommands(context).run(command, rest);
    if (SendCommands::handles(command))
        return SendCommands(context).run(command, rest);
    if (ImportExportCommands::handles(command))
        return ImportExportCommands(context).run(command, rest);
    if (ConnectionCommands::handles(command))
        return ConnectionCommands(context).run(rest);
    if (UpdateCheckCommand::handles(command))
        return UpdateCheckCommand(context).run(rest);
    m_err << "quillcast-cli: unknown command '" << command << "'" << Qt::endl;
    return usage(2);
}

int CliApp::usage(int status)
{
    QTextStream &s = status == 0 ? m_out : m_err;
    s << "Usage: quillcast-cli COMMAND [ARGUMENTS]\n"
         "  --version                 print the release\n"
      << MergeCommand::summary() << SampleCommand::summary() << DocumentCommands::summary()
      << DatabaseCommands::summary() << ImportExportCommands::summary() << SendCommands::summary()
      << ConnectionCommands::summary() << UpdateCheckCommand::summary();
    s.flush();
    return status;
}

} // namespace quillcast::cli
