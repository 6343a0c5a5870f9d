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

using namespace Qt::StringLiterals;

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
    // Wherever it stands, as a user adds it to a line that went wrong; after
    // "--" it is an argument like any other.
    if (rest.mid(0, rest.indexOf(u"--"_s)).contains(u"--help"_s)) {
        const QString help = commandUsage(command);
        if (help.isEmpty()) {
            m_err << "quillcast-cli: unknown command '" << command << "'" << Qt::endl;
            return usage(2);
        }
        m_out << "Usage of quillcast-cli " << command << ":\n" << help;
        m_out.flush();
        return 0;
    }
    const CliContext context{m_out, m_err, m_clock, m_progressLine, m_endsProcess};
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

QString CliApp::summaries()
{
    return u"  --version                 print the release\n"_s + MergeCommand::summary() + SampleCommand::summary()
        + DocumentCommands::summary() + DatabaseCommands::summary() + ImportExportCommands::summary()
        + SendCommands::summary() + ConnectionCommands::summary() + UpdateCheckCommand::summary();
}

QString CliApp::commandUsage(const QString &command)
{
    // An entry of the summaries starts two spaces in with the command's name;
    // the lines indented further belong to it. Every entry of the command is
    // taken (connections and column have one per action).
    QString usage;
    bool inEntry = false;
    for (const QString &line : summaries().split(u'\n', Qt::SkipEmptyParts)) {
        const bool startsEntry = line.size() > 2 && line.startsWith(u"  "_s) && line.at(2) != u' ';
        if (startsEntry)
            inEntry = line.mid(2).section(u' ', 0, 0) == command;
        if (inEntry)
            usage += line + u'\n';
    }
    return usage;
}

int CliApp::usage(int status)
{
    QTextStream &s = status == 0 ? m_out : m_err;
    s << "Usage: quillcast-cli COMMAND [ARGUMENTS]\n" << summaries()
      << "  COMMAND --help            print the usage of one command\n";
    s.flush();
    return status;
}

} // namespace quillcast::cli
