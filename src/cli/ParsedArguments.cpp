#include "ParsedArguments.h"

using namespace Qt::StringLiterals;

namespace quillcast::cli {

ParsedArguments ParsedArguments::parse(const QStringList &arguments, const QSet<QString> &flagNames,
                                       const QSet<QString> &valueNames)
{
    ParsedArguments parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (!argument.startsWith(u"--")) {
            parsed.positional.append(argument);
            continue;
        }
        const qsizetype eq = argument.indexOf(u'=');
        const QString name = eq < 0 ? argument : argument.left(eq);
        if (parsed.has(name)) {
            parsed.error = u"%1 is given twice"_s.arg(name);
            return parsed;
        }
        if (flagNames.contains(name) && eq < 0) {
            parsed.flags.insert(name);
        } else if (valueNames.contains(name)) {
            if (eq >= 0) {
                parsed.values.insert(name, argument.mid(eq + 1));
            } else if (i + 1 < arguments.size()) {
                parsed.values.insert(name, arguments[++i]);
            } else {
                parsed.error = u"%1 needs a value"_s.arg(name);
                return parsed;
            }
        } else {
            parsed.error = u"unknown option %1"_s.arg(argument);
            return parsed;
        }
    }
    return parsed;
}

std::optional<qint64> ParsedArguments::number(const QString &option, qint64 fallback, qint64 min, qint64 max) const
{
    if (!values.contains(option))
        return fallback;
    bool ok = false;
    const qint64 n = values.value(option).toLongLong(&ok);
    if (!ok || n < min || n > max)
        return std::nullopt;
    return n;
}

} // namespace quillcast::cli
