#pragma once

#include "export/ExportSettingsSheet.h"
#include "export/LXDataExportManager.h"
#include "window/ProgressSheet.h"

#include <QObject>
#include <QPointer>

namespace quillcast::gui {

struct WindowContext;

// File > Export… of one mailing window: the settings sheet over a new
// exporter of the list on the selected tab, then the exporter's save panel
// (proposing "<name> Export", or "<name> Except Export" for the exception
// list) and the write, which runs on the exporter's worker under a progress
// sheet whose Cancel leaves no file behind.
class ExportFlow final : public QObject
{
    Q_OBJECT

public:
    explicit ExportFlow(WindowContext &context, QObject *parent = nullptr);
    ~ExportFlow() override;

    // The address records on the database tab, the exception list on the
    // exception tab, nothing elsewhere or while the sheet is up.
    void start();

    ExportSettingsSheet *settingsSheet() const { return m_sheet; }
    ProgressSheet *progressSheet() const { return m_progress; }
    LXDataExportManager *exporter() const { return m_exporter; }

private:
    void openSheet(LXDataExportManager &exporter);
    void followWriting(LXDataExportManager &exporter);
    void closeProgress();

    WindowContext &m_context;
    QPointer<LXDataExportManager> m_exporter;
    QPointer<ExportSettingsSheet> m_sheet;
    QPointer<ProgressSheet> m_progress;
};

} // namespace quillcast::gui
