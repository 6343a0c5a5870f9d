#include "export/DocumentExport.h"

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quillcast {

DocumentExport::DocumentExport(MyDocument &document, LXDataExportManager::Services services, QObject *window,
                               const QLocale &locale)
    : m_doc(document), m_services(services), m_window(window), m_locale(locale)
{
}

DocumentExport::~DocumentExport() = default;

List DocumentExport::addressExportKeys(const MyDocument &document)
{
    List::Items keys = document.keyArray().items();
    keys.erase(keys.begin(), keys.begin() + std::min<ptrdiff_t>(2, ptrdiff_t(keys.size())));
    return List(std::move(keys));
}

List DocumentExport::exceptExportKeys()
{
    return List(List::Items{Value(DocumentKeys::makeDbKey(DocumentKeys::exceptEmail(), u"Email"_s)),
                            Value(DocumentKeys::makeDbKey(DocumentKeys::exceptNote(), u"Note"_s))});
}

QString DocumentExport::addressExportName(const QString &displayName)
{
    return u"%1 Export"_s.arg(displayName);
}

QString DocumentExport::exceptExportName(const QString &displayName)
{
    // Meant to drop the ".quill" of the name; a name that short is kept whole.
    const QString base = displayName.size() > 6 ? displayName.chopped(6) : displayName;
    return u"%1 Except Export"_s.arg(base);
}

LXDataExportManager &DocumentExport::start(const List &records, const List &keys, const QString &suggestedName,
                                           std::shared_ptr<const ArchivedAddressList> archived)
{
    m_exporter = std::make_unique<LXDataExportManager>(records, keys, m_window.data(), m_services, m_locale);
    m_exporter->setArchivedRecords(std::move(archived));
    m_exporter->setSuggestedFileName(suggestedName);
    m_exporter->setRunsInBackground(m_runsInBackground);
    m_exporter->run();
    return *m_exporter;
}

LXDataExportManager &DocumentExport::exportToTextFile(const QString &displayName)
{
    return start(m_doc.addressArray(), addressExportKeys(m_doc), addressExportName(displayName), m_archivedAddresses);
}

LXDataExportManager &DocumentExport::exportExceptToTextFile(const QString &displayName)
{
    return start(m_doc.exceptArray(), exceptExportKeys(), exceptExportName(displayName));
}

void DocumentExport::exportToTextFileGeneral(const QString &displayName)
{
    switch (m_doc.selectedTab()) {
    case MyDocument::DatabaseTab:
        exportToTextFile(displayName);
        break;
    case MyDocument::ExceptionTab:
        exportExceptToTextFile(displayName);
        break;
    default:
        break;
    }
}

} // namespace quillcast
