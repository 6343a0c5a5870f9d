#include "export/ExportFlow.h"

#include "WindowContext.h"
#include "document/MyDocument.h"
#include "export/DocumentExport.h"
#include "export/ExportSettingsSheet.h"
#include "export/LXDataExportManager.h"
#include "session/DocumentSession.h"

using namespace Qt::StringLiterals;

namespace quillcast::gui {

ExportFlow::ExportFlow(WindowContext &context, QObject *parent) : QObject(parent), m_context(context) {}

ExportFlow::~ExportFlow()
{
    if (ExportSettingsSheet *sheet = m_sheet.data()) {
        disconnect(sheet, nullptr, this, nullptr);
        delete sheet;
    }
    // A write still under way is stopped: its exporter outlives the window
    // with the document, but nobody would see how it ended.
    if (m_exporter && m_exporter->isWriting())
        m_exporter->cancelWriting();
    closeProgress();
}

void ExportFlow::start()
{
    if (m_sheet || m_progress)
        return;
    DocumentSession &session = m_context.session;
    DocumentExport &exports = session.documentExport();
    exports.setRunsInBackground(true);
    switch (session.document().selectedTab()) {
    case MyDocument::DatabaseTab:
        openSheet(exports.exportToTextFile(session.displayName()));
        break;
    case MyDocument::ExceptionTab:
        // The name loses its last six characters, which are meant to be the
        // extension: the display name has none, so it is given one.
        openSheet(exports.exportExceptToTextFile(session.displayName() + u".quill"_s));
        break;
    default:
        break;
    }
}

void ExportFlow::openSheet(LXDataExportManager &exporter)
{
    m_exporter = &exporter;
    followWriting(exporter);
    auto *sheet = new ExportSettingsSheet(exporter, m_context.window);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_sheet = sheet;
    connect(sheet, &QDialog::finished, this, [this](int result) {
        if (!m_exporter)
            return;
        if (result == QDialog::Accepted)
            m_exporter->DoExportSetting();
        else
            m_exporter->CancelExportSetting();
    });
    sheet->open();
}

void ExportFlow::followWriting(LXDataExportManager &exporter)
{
    connect(&exporter, &LXDataExportManager::phaseChanged, this, [this](LXDataExportManager::Phase phase) {
        if (phase != LXDataExportManager::Phase::Writing || m_progress)
            return;
        auto *sheet = new ProgressSheet(u"exportProgressSheet"_s, u"Exporting…"_s, m_context.window);
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        m_progress = sheet;
        connect(sheet, &QDialog::rejected, this, [this] {
            if (m_exporter && m_exporter->isWriting())
                m_exporter->cancelWriting();
        });
        sheet->open();
    });
    connect(&exporter, &LXDataExportManager::progressChanged, this, [this](qint64 done, qint64 total) {
        if (m_progress)
            m_progress->setProgress(done, total);
    });
    // Success, failure (after its alert) and cancel all end here.
    connect(&exporter, &LXDataExportManager::writeFinished, this, &ExportFlow::closeProgress);
}

void ExportFlow::closeProgress()
{
    if (ProgressSheet *sheet = m_progress.data()) {
        m_progress = nullptr;
        disconnect(sheet, nullptr, this, nullptr);
        sheet->close();
    }
}

} // namespace quillcast::gui
