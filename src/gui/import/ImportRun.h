#pragma once

#include "import/LXDataImportManager.h"

#include <QObject>
#include <QPointer>
#include <QString>

namespace quillcast::gui {

// Where the window's import dialogs hand over the long work: reading the
// chosen file into the importer's rows, and importing the rows into the
// mailing. The dialogs only start a step, show its progress, may cancel it,
// and hear when it is over; nothing else of theirs touches the run.
//
// Both steps run on the importer's worker, so the window keeps painting and
// answering; progress comes from the importer at most every 50 ms, and a
// cancel at any moment leaves the mailing exactly as it was.
class ImportRun final : public QObject
{
    Q_OBJECT

public:
    explicit ImportRun(QObject *parent = nullptr);
    ~ImportRun() override;

    // Reads and splits the file with the format and encoding codes given.
    // loadingFinished(true) once the importer has its rows and opens its
    // settings; false when cancelled or when the file could not be read (the
    // importer has told the user why).
    void startLoading(LXDataImportManager &importer, const QString &path, qint32 format, qint32 encoding);
    // Imports the loaded rows under the importer's mapping.
    void startImporting(LXDataImportManager &importer);
    // Stops the step under way; the step ends with finished(false).
    void cancel();
    bool isRunning() const { return m_step != Step::None; }

Q_SIGNALS:
    // How far the step is: bytes read while loading, rows while importing;
    // total 0 when it is not known yet.
    void progressChanged(qint64 done, qint64 total);
    void loadingFinished(bool loaded);
    void importingFinished(bool imported);

private:
    enum class Step { None, Loading, Importing };

    // Listens to the importer's progress and phase for the step.
    void follow(LXDataImportManager &importer, Step step);
    void phaseChanged(LXDataImportManager::Phase phase);
    void finish(bool done);

    QPointer<LXDataImportManager> m_importer;
    Step m_step = Step::None;
    // Tells a queued step apart from one that was cancelled (and maybe
    // replaced by a new one) before it started.
    quint64 m_generation = 0;
    QMetaObject::Connection m_progress;
    QMetaObject::Connection m_phase;
};

} // namespace quillcast::gui
