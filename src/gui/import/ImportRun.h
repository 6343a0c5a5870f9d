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
// Each step starts one turn of the event loop after it is asked for, so that
// the sheet showing it is painted first, and runs the importer's own call
// from there; a cancel that comes before the step has started drops it, so
// that the mailing stays as it was.
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

    void load(const QString &path, qint32 format, qint32 encoding, qint64 size);
    void import(qint64 rows);
    void finish(bool done);

    QPointer<LXDataImportManager> m_importer;
    Step m_step = Step::None;
    // Tells a queued step apart from one that was cancelled (and maybe
    // replaced by a new one) before it started.
    quint64 m_generation = 0;
};

} // namespace quillcast::gui
