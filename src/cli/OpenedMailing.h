#pragma once

#include "CliContext.h"
#include "ConsoleAlertPresenter.h"
#include "session/DocumentSession.h"

#include <QString>
#include <QStringList>

namespace quillcast::cli {

// A mailing opened for one command: the session of a window, with alerts
// printed and answered from --yes, failures printed after the command's
// name, views evaluated over the full lists, and no autosave.
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
    // When the process ends with the command, keeps the mailing's records
    // for the exit to reclaim (the session and its document are freed as usual).
    ~OpenedMailing();
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

    MyDocument &document() { return m_session.document(); }
    DocumentSession &session() { return m_session; }
    ConsoleAlertPresenter &alerts() { return m_alerts; }
    const QString &path() const { return m_session.filePath(); }
    // Prints a failure after the command's name; returns false.
    bool report(const Status &status);

private:
    bool opened(const Status &status);

    CliContext m_ctx;
    QString m_command;
    // Declared before the session, whose document keeps a pointer to it.
    ConsoleAlertPresenter m_alerts;
    DocumentSession m_session;
};

} // namespace quillcast::cli
