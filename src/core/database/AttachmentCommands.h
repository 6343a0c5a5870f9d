#pragma once

#include "util/Dict.h"
#include "util/Result.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace quillcast {

class DocumentOpener;
class FileRevealer;
class MyDocument;

// The attachment list of the mail form: entries {"path", "bookmark"} added
// and removed with undo, revealed in the desktop's file manager, and their
// bookmarks renewed when stale.
//
// The open panel belongs to the window: it shows openPanelPrompt() and hands
// the chosen file to addAttachmentPath(). Main thread only; a handle may be
// dropped at any time (undo steps hold the document).
class AttachmentCommands
{
public:
    explicit AttachmentCommands(MyDocument &document, FileRevealer *revealer = nullptr,
                                DocumentOpener *opener = nullptr)
        : m_doc(document), m_revealer(revealer), m_opener(opener)
    {
    }

    // The confirm button's title of the open panel.
    static QString openPanelPrompt();
    static Dict makeEntry(const QString &path, const QByteArray &bookmark);

    // Adds the chosen file with a read-only bookmark. Anything but a regular
    // file (a folder, a pipe, a device), and a file of which no bookmark can
    // be made (it cannot be read), is refused with a message: it could never
    // be sent.
    Status addAttachmentPath(const QString &chosenPath);
    void addTheAttachment(const Dict &entry);
    void addTheAttachmentUndo(const Dict &entry);
    // Removes the selected entry that comes last in the list.
    bool removeAttachmentPath(const QList<qsizetype> &selectedRows);
    void removeTheAttachment(const Dict &entry);
    void removeTheAttachmentUndo(const Dict &entry);

    // Reveals the file of the selected entry that comes last in the list; an
    // alert when its bookmark no longer gives access to it.
    void showAttachmentInFinder(const QList<qsizetype> &selectedRows);
    // The legacy single attachment of the preview: opened as a document,
    // respectively revealed, when something exists at its path.
    bool previewAttachRun();
    bool previewAttachShow();

    // Renews every stale bookmark in place (same entry, same position, same
    // path); returns how many were renewed.
    qsizetype refreshAttachmentBookmarksIfStale();

private:
    void append(const Dict &entry);
    bool remove(const Dict &entry);

    MyDocument &m_doc;
    FileRevealer *m_revealer;
    DocumentOpener *m_opener;
};

} // namespace quillcast
