#pragma once

#include <QStringList>
#include <QTextStream>

namespace quillcast {

class Clock;

namespace cli {

// quillcast-cli: parses the arguments (without the program name) and runs one
// command, writing results to out and messages to err. Returns the exit status.
class CliApp
{
public:
    // progressLine: err is a terminal, where long imports and exports show
    // how far they have got on one line that they rewrite.
    CliApp(QTextStream &out, QTextStream &err, const Clock &clock, bool progressLine = false);

    int run(const QStringList &arguments);

    // The process exits right after run(); see CliContext::endsProcess.
    void setEndsProcess(bool ends) { m_endsProcess = ends; }

    // The usage of one command as the full usage lists it; empty for a
    // command there is none of.
    static QString commandUsage(const QString &command);

private:
    static QString summaries();
    int usage(int status);

    QTextStream &m_out;
    QTextStream &m_err;
    const Clock &m_clock;
    bool m_progressLine;
    bool m_endsProcess = false;
};

} // namespace cli
} // namespace quillcast
