#include "import/ImportRun.h"

#include "import/LXDataImportManager.h"

#include <QFileInfo>
#include <QMetaObject>

namespace quillcast::gui {

ImportRun::ImportRun(QObject *parent) : QObject(parent) {}

ImportRun::~ImportRun() = default;

void ImportRun::startLoading(LXDataImportManager &importer, const QString &path, qint32 format, qint32 encoding)
{
    cancel();
    follow(importer, Step::Loading);
    Q_EMIT progressChanged(0, QFileInfo(path).size());
    importer.startLoadingFile(path, format, encoding);
}

void ImportRun::startImporting(LXDataImportManager &importer)
{
    cancel();
    follow(importer, Step::Importing);
    Q_EMIT progressChanged(0, importer.rows().rowCount());
    importer.startImport();
}

void ImportRun::follow(LXDataImportManager &importer, Step step)
{
    m_importer = &importer;
    m_step = step;
    const quint64 generation = ++m_generation;
    m_progress = connect(&importer, &LXDataImportManager::progressChanged, this, &ImportRun::progressChanged);
    m_phase = connect(&importer, &LXDataImportManager::phaseChanged, this,
                      [this, generation](LXDataImportManager::Phase phase) {
                          if (generation == m_generation)
                              phaseChanged(phase);
                      });
}

void ImportRun::phaseChanged(LXDataImportManager::Phase phase)
{
    using Phase = LXDataImportManager::Phase;
    if (m_step == Step::Importing && phase == Phase::Idle) {
        finish(true);
        return;
    }
    if (m_step != Step::Loading)
        return;
    if (phase == Phase::Settings) {
        finish(true);
    } else if (phase == Phase::Idle) {
        // A file that was read goes idle, then posts its settings step right
        // after (which finishes the step above); one that could not be read
        // stays idle, the importer having said why. The check waits a turn
        // past that post.
        const quint64 generation = m_generation;
        const auto stillLoading = [this, generation] { return generation == m_generation && m_step == Step::Loading; };
        QMetaObject::invokeMethod(
            this,
            [this, stillLoading] {
                if (!stillLoading())
                    return;
                QMetaObject::invokeMethod(
                    this,
                    [this, stillLoading] {
                        if (stillLoading())
                            finish(m_importer && m_importer->phase() == LXDataImportManager::Phase::Settings);
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }
}

void ImportRun::cancel()
{
    if (m_step == Step::None)
        return;
    ++m_generation;
    disconnect(m_progress);
    disconnect(m_phase);
    // Nothing of a cancelled run reaches the mailing.
    if (m_importer && m_importer->isRunning())
        m_importer->cancelRun();
    finish(false);
}

void ImportRun::finish(bool done)
{
    disconnect(m_progress);
    disconnect(m_phase);
    const Step step = std::exchange(m_step, Step::None);
    if (step == Step::Loading)
        Q_EMIT loadingFinished(done);
    else if (step == Step::Importing)
        Q_EMIT importingFinished(done);
}

} // namespace quillcast::gui
