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
    m_importer = &importer;
    m_step = Step::Loading;
    const quint64 generation = ++m_generation;
    const qint64 size = QFileInfo(path).size();
    Q_EMIT progressChanged(0, size);
    QMetaObject::invokeMethod(
        this,
        [this, generation, path, format, encoding, size] {
            if (generation == m_generation && m_step == Step::Loading)
                load(path, format, encoding, size);
        },
        Qt::QueuedConnection);
}

void ImportRun::load(const QString &path, qint32 format, qint32 encoding, qint64 size)
{
    if (!m_importer) {
        finish(false);
        return;
    }
    m_importer->loadDataFromFile(path, format, encoding);
    Q_EMIT progressChanged(size, size);
    // A file that was read opens the settings at the next turn of the loop
    // (posted by the importer before this); one that was not stays idle.
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation != m_generation || m_step != Step::Loading)
                return;
            finish(m_importer && m_importer->phase() == LXDataImportManager::Phase::Settings);
        },
        Qt::QueuedConnection);
}

void ImportRun::startImporting(LXDataImportManager &importer)
{
    cancel();
    m_importer = &importer;
    m_step = Step::Importing;
    const quint64 generation = ++m_generation;
    const qint64 rows = importer.rows().rowCount();
    Q_EMIT progressChanged(0, rows);
    QMetaObject::invokeMethod(
        this,
        [this, generation, rows] {
            if (generation == m_generation && m_step == Step::Importing)
                import(rows);
        },
        Qt::QueuedConnection);
}

void ImportRun::import(qint64 rows)
{
    if (!m_importer) {
        finish(false);
        return;
    }
    m_importer->importRows();
    Q_EMIT progressChanged(rows, rows);
    finish(true);
}

void ImportRun::cancel()
{
    if (m_step == Step::None)
        return;
    ++m_generation;
    finish(false);
}

void ImportRun::finish(bool done)
{
    const Step step = std::exchange(m_step, Step::None);
    if (step == Step::Loading)
        Q_EMIT loadingFinished(done);
    else if (step == Step::Importing)
        Q_EMIT importingFinished(done);
}

} // namespace quillcast::gui
