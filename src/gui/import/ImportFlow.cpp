#include "import/ImportFlow.h"

#include "WindowContext.h"
#include "document/MyDocument.h"
#include "import/DocumentImport.h"
#include "import/ImportMappingSheet.h"
#include "window/ProgressSheet.h"
#include "import/ImportRun.h"
#include "import/MyDataImportManager.h"
#include "import/MyExceptImportManager.h"
#include "platform/FilePanel.h"
#include "session/DocumentSession.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

ImportFlow::ImportFlow(WindowContext &context, QObject *parent)
    : QObject(parent), m_context(context), m_run(new ImportRun(this))
{
    connect(m_run, &ImportRun::progressChanged, this, [this](qint64 done, qint64 total) {
        if (m_progress)
            m_progress->setProgress(done, total);
    });
    connect(m_run, &ImportRun::loadingFinished, this, &ImportFlow::loadingOver);
    connect(m_run, &ImportRun::importingFinished, this, &ImportFlow::importingOver);
}

ImportFlow::~ImportFlow()
{
    closeSheets();
}

void ImportFlow::start()
{
    switch (m_context.session.document().selectedTab()) {
    case MyDocument::DatabaseTab:
        startAddressImport();
        break;
    case MyDocument::ExceptionTab:
        startExceptImport();
        break;
    default:
        break;
    }
}

void ImportFlow::startAddressImport()
{
    if (m_stage == Stage::Idle)
        begin(m_context.session.documentImport().prepareAddressImport(), true);
}

void ImportFlow::startExceptImport()
{
    if (m_stage == Stage::Idle)
        begin(m_context.session.documentImport().prepareExceptImport(), false);
}

void ImportFlow::begin(LXDataImportManager &importer, bool addresses)
{
    if (m_importer != &importer) {
        if (m_importer)
            disconnect(m_importer, nullptr, this, nullptr);
        m_importer = &importer;
        connect(&importer, &LXDataImportManager::phaseChanged, this, [this](LXDataImportManager::Phase phase) {
            if (phase == LXDataImportManager::Phase::Settings && m_stage == Stage::Loading)
                openMapping();
        });
    }
    m_addresses = addresses;
    // Every import starts on automatic format and encoding.
    importer.setFileFormatToImport(0);
    importer.setFileEncodeToImport(0);
    setStage(Stage::ChoosingFile);

    FilePanel::OpenRequest request;
    request.window = m_context.window;
    request.allowedExtensions = LXDataImportManager::allowedExtensions();
    request.filesOnly = true;
    request.accessory = FilePanel::Accessory::ImportOptions;
    request.accessoryOwner = &importer;
    request.prompt = u"Import"_s;
    QPointer<ImportFlow> self(this);
    m_context.filePanel.runOpenPanel(request, [self](std::optional<QStringList> paths) {
        if (!self || self->m_stage != Stage::ChoosingFile)
            return;
        if (!paths || paths->isEmpty() || !self->m_importer) {
            self->setStage(Stage::Idle);
            return;
        }
        self->fileChosen(paths->first());
    });
}

void ImportFlow::fileChosen(const QString &path)
{
    setStage(Stage::Loading);
    showProgress(u"importLoadingSheet"_s, u"Loading “%1”…"_s.arg(QFileInfo(path).fileName()));
    m_run->startLoading(*m_importer, path, m_importer->fileFormatToImport(), m_importer->fileEncodeToImport());
}

void ImportFlow::loadingOver(bool loaded)
{
    if (m_stage != Stage::Loading)
        return;
    if (loaded && m_importer && m_importer->phase() == LXDataImportManager::Phase::Settings) {
        openMapping();
        return;
    }
    // Cancelled, or the file could not be read (the importer said why).
    if (m_importer && m_importer->phase() == LXDataImportManager::Phase::Settings)
        m_importer->CancelImportSetting();
    closeSheets();
    setStage(Stage::Idle);
    Q_EMIT finished(false);
}

void ImportFlow::openMapping()
{
    if (m_mapping || !m_importer)
        return;
    closeSheets();
    setStage(Stage::Mapping);
    auto *sheet = new ImportMappingSheet(*m_importer, m_context.window);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_mapping = sheet;
    connect(sheet, &QDialog::finished, this, [this](int result) {
        if (m_stage != Stage::Mapping)
            return;
        if (result == QDialog::Accepted && m_importer) {
            importChosen();
            return;
        }
        if (m_importer)
            m_importer->CancelImportSetting();
        setStage(Stage::Idle);
        Q_EMIT finished(false);
    });
    sheet->open();
}

void ImportFlow::importChosen()
{
    setStage(Stage::Importing);
    closeSheets();
    showProgress(u"importImportingSheet"_s, u"Importing…"_s);
    m_run->startImporting(*m_importer);
}

void ImportFlow::importingOver(bool imported)
{
    if (m_stage != Stage::Importing)
        return;
    if (!imported && m_importer)
        m_importer->CancelImportSetting();
    closeSheets();
    setStage(Stage::Idle);
    Q_EMIT finished(imported);
}

void ImportFlow::showProgress(const QString &objectName, const QString &message)
{
    auto *sheet = new ProgressSheet(objectName, message, m_context.window);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_progress = sheet;
    connect(sheet, &QDialog::rejected, this, [this] { m_run->cancel(); });
    sheet->open();
}

void ImportFlow::closeSheets()
{
    // Closed by the flow, not the user: no cancel goes out.
    if (ProgressSheet *progress = m_progress.data()) {
        m_progress = nullptr;
        disconnect(progress, nullptr, this, nullptr);
        progress->close();
    }
    if (ImportMappingSheet *mapping = m_mapping.data()) {
        m_mapping = nullptr;
        disconnect(mapping, nullptr, this, nullptr);
        mapping->close();
    }
}

void ImportFlow::setStage(Stage stage)
{
    if (m_stage == stage)
        return;
    m_stage = stage;
    Q_EMIT stageChanged(stage);
}

} // namespace quillcast::gui
