#pragma once

#include "import/LXDataImportManager.h"

#include <QPointer>

#include <memory>

namespace quillcast {

class MyDataImportManager;
class MyDocument;
class MyExceptImportManager;

// A document's import commands: starts an import into its address records
// or its exception list. Each list gets its importer on first use, which is
// then kept and reused for as long as this object lives (as long as the
// document's window); every import starts on the list as it then stands.
//
// The platform services are given here rather than held by the document, so
// that the headless document stays free of panels and event loops.
class DocumentImport
{
public:
    // window: where the chooser and the sheets attach (none: free-standing).
    DocumentImport(MyDocument &document, LXDataImportManager::Services services, QObject *window = nullptr);
    ~DocumentImport();
    DocumentImport(const DocumentImport &) = delete;
    DocumentImport &operator=(const DocumentImport &) = delete;

    // Start an import into addressArray (with keyArray) or exceptArray: the
    // file chooser, then the settings sheet. Return the importer at work.
    MyDataImportManager &importFromTextFile();
    MyExceptImportManager &importExceptFromTextFile();
    // The menu command: the address import on the database tab, the
    // exception import on the exception tab, nothing on any other tab.
    void importFromTextFileGeneral();

    // The importer of the list made ready for an import as the commands above
    // make it (the list as it now stands, the first-row options afresh), but
    // without its chooser: for a front end that shows the chooser and runs
    // the loading itself.
    MyDataImportManager &prepareAddressImport();
    MyExceptImportManager &prepareExceptImport();
    // Whether the importers load and import on a worker (the window) or
    // within the call (the default). Applies to the next import started.
    void setRunsInBackground(bool value) { m_runsInBackground = value; }
    bool runsInBackground() const { return m_runsInBackground; }

    // The importers made so far; null before the first import into that list.
    MyDataImportManager *addressImporter() const { return m_addressImporter.get(); }
    MyExceptImportManager *exceptImporter() const { return m_exceptImporter.get(); }

private:
    MyDocument &m_doc;
    LXDataImportManager::Services m_services;
    QPointer<QObject> m_window;
    std::unique_ptr<MyDataImportManager> m_addressImporter;
    std::unique_ptr<MyExceptImportManager> m_exceptImporter;
    bool m_runsInBackground = false;
};

} // namespace quillcast
