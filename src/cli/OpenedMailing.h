#pragma once

#include "CliContext.h"
#include "ConsoleAlertPresenter.h"
#include "document/MailingLock.h"
#include "document/MyDocument.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace quillcast::cli {

// A mailing file opened for one editing command: read as the desktop
// application opens it (window set up, views evaluated over the full lists,
// alerts printed and answered from --yes), then saved in place.
//
// Nothing touches the file until save(), and save() replaces it atomically,
// so a command that stops early leaves the file exactly as it was. A mailing
// opened for changing is locked from the read to the end of the command, so
// that two processes never save over each other's changes.
class OpenedMailing
{
public:
    // command prefixes every message ("check: ...").
    OpenedMailing(CliContext context, QString command, bool yes);
    OpenedMailing(const OpenedMailing &) = delete;
    OpenedMailing &operator=(const OpenedMailing &) = delete;

    // Locks the mailing (waiting a moment for another process to finish)
    // and reads it; a damaged file, one of a newer release or one that
    // another process is changing is refused with a message on standard
    // error.
    bool open(const QString &path);
    // Reads the file without locking it, for commands that never save.
    bool openForReading(const QString &path);
    // Delivers what the commands left for the next turn of an event loop the
    // CLI does not run, then writes the file; a failure is reported.
    bool save();

    // The public names of the mailing's columns, in order.
    QStringList columnNames() const;

    MyDocument &document() { return m_doc; }
    ConsoleAlertPresenter &alerts() { return m_alerts; }
    const QString &path() const { return m_path; }

private:
    bool read(const QString &path);

    CliContext m_ctx;
    QString m_command;
    QString m_path;
    // Declared before the document, which keeps a pointer to it.
    ConsoleAlertPresenter m_alerts;
    MyDocument m_doc;
    std::unique_ptr<MailingLock> m_lock;
};

} // namespace quillcast::cli
