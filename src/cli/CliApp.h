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

private:
    int usage(int status);

    QTextStream &m_out;
    QTextStream &m_err;
    const Clock &m_clock;
};

} // namespace cli
} // namespace quillcast
