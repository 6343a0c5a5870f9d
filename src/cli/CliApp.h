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
    CliApp(QTextStream &out, QTextStream &err, const Clock &clock);

    int run(const QStringList &arguments);

    // The usage of one command as the full usage lists it; empty for a
    // command there is none of.
    static QString commandUsage(const QString &command);

private:
    static QString summaries();
    int usage(int status);

    QTextStream &m_out;
    QTextStream &m_err;
    const Clock &m_clock;
};

} // namespace cli
} // namespace quillcast
