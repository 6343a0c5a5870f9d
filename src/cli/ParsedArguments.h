#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

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

    static ParsedArguments parse(const QStringList &arguments, const QSet<QString> &flagNames,
                                 const QSet<QString> &valueNames);
};

} // namespace quillcast::cli
