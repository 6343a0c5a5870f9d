#pragma once

#include "CliContext.h"

#include <QStringList>

namespace quillcast::cli {

// The desktop application's "Software Update…" without a desktop:
//   update-check [--list URL]...
// downloads the update list (from the addresses given, at most four, else the
// configured ones), prints what the application would tell the user and, for
// a newer release, where to get it. It opens no browser: every alert is
// answered with its last button. Exit 0 when a list was read (newer release,
// up to date, or no release named), 1 when no address gave one, 2 for
// refused arguments. A successful check counts as the day's check for the
// application too.
class UpdateCheckCommand
{
public:
    explicit UpdateCheckCommand(CliContext context) : m_ctx(context) {}

    static bool handles(const QString &command);
    static QString summary();
    // arguments: those after the command name.
    int run(const QStringList &arguments);

private:
    CliContext m_ctx;
};

} // namespace quillcast::cli
