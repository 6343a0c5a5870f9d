#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillcast::cli {

// The options of one command line: positional arguments, flags, and options
// with a value ("--name value" or "--name=value"), each given once at most.
struct ParsedArguments
{
    QStringList positional;
    QSet<QString> flags;
    QHash<QString, QString> values;
    QString error; // set when the line could not be parsed

    bool has(const QString &option) const { return flags.contains(option) || values.contains(option); }
    QString value(const QString &option) const { return values.value(option); }
    // The whole number given with option, fallback when the option is absent,
    // none when the value is no whole number from min to max.
    std::optional<qint64> number(const QString &option, qint64 fallback, qint64 min, qint64 max) const;

    static ParsedArguments parse(const QStringList &arguments, const QSet<QString> &flagNames,
                                 const QSet<QString> &valueNames);
};

} // namespace quillcast::cli
