#include "import/DocumentImport.h"

#include "document/MyDocument.h"
#include "import/MyDataImportManager.h"
#include "import/MyExceptImportManager.h"

namespace quillcast {

DocumentImport::DocumentImport(MyDocument &document, LXDataImportManager::Services services, QObject *window)
    : m_doc(document), m_services(services), m_window(window)
{
}

DocumentImport::~DocumentImport() = default;

MyDataImportManager &DocumentImport::importFromTextFile()
{
    MyDataImportManager &importer = prepareAddressImport();
    importer.loadDataForWin(m_window.data());
    return importer;
}

MyDataImportManager &DocumentImport::prepareAddressImport()
{
    if (!m_addressImporter) {
        m_addressImporter = std::make_unique<MyDataImportManager>(m_doc.addressArray(), m_doc.keyArray(), &m_doc,
                                                                  m_services);
        // The first row is held back as names by the first-row tool, which
        // also names the new columns; the option itself is not offered.
        m_addressImporter->setNotVisibleFirstRecAsNameOption(true);
    }
    m_addressImporter->setRunsInBackground(m_runsInBackground);
    m_addressImporter->setDataArray(m_doc.addressArray(), m_doc.keyArray());
    return *m_addressImporter;
}

MyExceptImportManager &DocumentImport::importExceptFromTextFile()
{
    MyExceptImportManager &importer = prepareExceptImport();
    importer.loadDataForWin(m_window.data());
    return importer;
}

MyExceptImportManager &DocumentImport::prepareExceptImport()
{
    if (!m_exceptImporter) {
        m_exceptImporter = std::make_unique<MyExceptImportManager>(m_doc.exceptArray(), &m_doc, m_services);
        m_exceptImporter->setNotVisibleFirstRecAsNameOption(true);
    }
    m_exceptImporter->setRunsInBackground(m_runsInBackground);
    m_exceptImporter->setDataArray(m_doc.exceptArray(), List());
    return *m_exceptImporter;
}

void DocumentImport::importFromTextFileGeneral()
{
    switch (m_doc.selectedTab()) {
    case MyDocument::DatabaseTab:
        importFromTextFile();
        break;
    case MyDocument::ExceptionTab:
        importExceptFromTextFile();
        break;
    default:
        break;
    }
}

} // namespace quillcast
