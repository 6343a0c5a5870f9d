#pragma once

#include "import/ImportMappingSheet.h"
#include "window/ProgressSheet.h"
#include "import/LXDataImportManager.h"

#include <QObject>
#include <QPointer>

namespace quillcast::gui {

class ImportRun;
struct WindowContext;

// File > Import… of one mailing window: the file chooser with its format and
// encoding accessory, the loading sheet, the mapping sheet, the importing
// sheet. The importers are the document's; the long steps go through the
// ImportRun.
class ImportFlow final : public QObject
{
    Q_OBJECT

public:
    enum class Stage { Idle, ChoosingFile, Loading, Mapping, Importing };
    Q_ENUM(Stage)

    explicit ImportFlow(WindowContext &context, QObject *parent = nullptr);
    ~ImportFlow() override;

    // The menu command: into the address records on the database tab, into
    // the exception list on the exception tab, nothing elsewhere or while an
    // import is under way.
    void start();
    void startAddressImport();
    void startExceptImport();

    Stage stage() const { return m_stage; }
    // The sheet of the stage, if it is up.
    ProgressSheet *progressSheet() const { return m_progress; }
    ImportMappingSheet *mappingSheet() const { return m_mapping; }
    LXDataImportManager *importer() const { return m_importer; }
    ImportRun &run() const { return *m_run; }

Q_SIGNALS:
    void stageChanged(quillcast::gui::ImportFlow::Stage stage);
    // An import ended, with records added (true) or not.
    void finished(bool imported);

private:
    void begin(LXDataImportManager &importer, bool addresses);
    void fileChosen(const QString &path);
    void loadingOver(bool loaded);
    void openMapping();
    void importChosen();
    void importingOver(bool imported);
    void showProgress(const QString &objectName, const QString &message);
    void closeSheets();
    void setStage(Stage stage);

    WindowContext &m_context;
    ImportRun *m_run = nullptr;
    QPointer<LXDataImportManager> m_importer;
    bool m_addresses = true;
    Stage m_stage = Stage::Idle;
    QPointer<ProgressSheet> m_progress;
    QPointer<ImportMappingSheet> m_mapping;
};

} // namespace quillcast::gui
