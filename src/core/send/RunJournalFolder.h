#pragma once

#include "send/RunJournal.h"
#include "util/Result.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace quillcast {

// Where the journals of send runs live: one folder for all mailings, each
// journal named by its mailing's file (a hash of its absolute path) and its
// run's start, so that the runs of a mailing sort by their start. Only the
// newest runs of each mailing are kept.
class RunJournalFolder
{
public:
    static constexpr int keptRunsPerMailing = 20;

    explicit RunJournalFolder(QString folder) : m_folder(std::move(folder)) {}
    // $XDG_STATE_HOME/Quillcast/runs, with the XDG default for the state
    // folder (~/.local/state) when the variable is unset or not absolute.
    static QString standardFolder();

    const QString &folder() const { return m_folder; }

    // A new journal for a run of the mailing starting now; the oldest runs
    // of the mailing beyond the kept number are removed.
    Result<std::unique_ptr<RunJournal>> startRun(const QString &mailingPath, const QDateTime &start) const;
    // The mailing's journals, oldest first.
    QStringList runsOf(const QString &mailingPath) const;
    std::optional<QString> latestRunOf(const QString &mailingPath) const;

    static QString mailingKey(const QString &mailingPath);

private:
    void prune(const QString &mailingPath) const;

    QString m_folder;
};

} // namespace quillcast
