#include "CommandArguments.h"

namespace quillcast::cli {

CommandArguments::CommandArguments(const QStringList &arguments, const QStringList &knownFlags)
{
    for (const QString &argument : arguments) {
        if (knownFlags.contains(argument))
            m_flags.append(argument);
        else if (argument.startsWith(QLatin1StringView("--")))
            m_unknown.append(argument);
        else
            m_positional.append(argument);
    }
}

} // namespace quillcast::cli
