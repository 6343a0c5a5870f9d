#pragma once

#include "export/LXDataExportManager.h"

#include <QLocale>
#include <QPointer>

#include <memory>

namespace quillcast {

class ArchivedAddressList;
class MyDocument;

// A document's export commands: every export makes a new manager over the
// whole address list or the whole exception list, whatever is checked or
// filtered, and opens its settings sheet. The manager is kept until the next
// export replaces it (or this object goes).
class DocumentExport
{
public:
    DocumentExport(MyDocument &document, LXDataExportManager::Services services, QObject *window = nullptr,
                   const QLocale &locale = QLocale::system());
    ~DocumentExport();
    DocumentExport(const DocumentExport &) = delete;
    DocumentExport &operator=(const DocumentExport &) = delete;

    // displayName: the document's name as its window shows it.
    LXDataExportManager &exportToTextFile(const QString &displayName);
    LXDataExportManager &exportExceptToTextFile(const QString &displayName);
    // The menu command: by the selected tab, as the import's.
    void exportToTextFileGeneral(const QString &displayName);

    // The keys an address export offers: every DB key from the third on (the
    // record number and the checked flag are not offered).
    static List addressExportKeys(const MyDocument &document);
    // The two keys of an exception export, made on the spot: "email"/"Email"
    // and "note"/"Note".
    static List exceptExportKeys();
    // "<name> Export"; "<name less its last six characters> Except Export"
    // (the whole name when it is that short).
    static QString addressExportName(const QString &displayName);
    static QString exceptExportName(const QString &displayName);

    LXDataExportManager *exporter() const { return m_exporter.get(); }

    // The document's records are still in its file, read from there by an
    // export of the address list (see DocumentSession::openToExport).
    void setArchivedAddresses(std::shared_ptr<const ArchivedAddressList> records)
    {
        m_archivedAddresses = std::move(records);
    }

    // Whether the exports made from now on write on a worker (the window;
    // it needs a main loop among the services) or within the call (the default).
    void setRunsInBackground(bool value) { m_runsInBackground = value; }
    bool runsInBackground() const { return m_runsInBackground; }

private:
    LXDataExportManager &start(const List &records, const List &keys, const QString &suggestedName,
                               std::shared_ptr<const ArchivedAddressList> archived = {});

    MyDocument &m_doc;
    LXDataExportManager::Services m_services;
    QPointer<QObject> m_window;
    QLocale m_locale;
    std::unique_ptr<LXDataExportManager> m_exporter;
    std::shared_ptr<const ArchivedAddressList> m_archivedAddresses;
    bool m_runsInBackground = false;
};

} // namespace quillcast
