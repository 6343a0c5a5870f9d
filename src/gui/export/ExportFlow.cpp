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
}

void ExportFlow::start()
{
    if (m_sheet)
        return;
    DocumentSession &session = m_context.session;
    DocumentExport &exports = session.documentExport();
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

} // namespace quillcast::gui
