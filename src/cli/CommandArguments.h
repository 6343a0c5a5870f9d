#pragma once

#include <QString>
#include <QStringList>

namespace quillcast::cli {

// The arguments of one command split into the flags it knows (--yes,
// --exceptions...), wherever they stand, and the other arguments in order.
// An argument that starts with "--" and is no known flag is kept aside, so
// the command can refuse it instead of taking it for a value.
class CommandArguments
{
public:
    CommandArguments(const QStringList &arguments, const QStringList &knownFlags);

    bool has(const QString &flag) const { return m_flags.contains(flag); }
    const QStringList &positional() const { return m_positional; }
    // The first unknown option, or an empty string.
    QString unknownOption() const { return m_unknown.value(0); }

private:
    QStringList m_flags;
    QStringList m_positional;
    QStringList m_unknown;
};

} // namespace quillcast::cli
