#include "database/AttachmentCommands.h"

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/AlertPresenter.h"
#include "platform/DocumentOpener.h"
#include "platform/FileRevealer.h"
#include "platform/LXBookmark.h"
#include "platform/RegularFileReader.h"

#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

QString addAttachmentAction()
{
    return u"Add Attachment"_s;
}

QString removeAttachmentAction()
{
    return u"Remove Attachment"_s;
}

} // namespace

QString AttachmentCommands::openPanelPrompt()
{
    return u"Select a file to attach"_s;
}

Dict AttachmentCommands::makeEntry(const QString &path, const QByteArray &bookmark)
{
    return Dict{{DocumentKeys::attachmentPath(), Value(path)}, {DocumentKeys::attachmentBookmark(), Value(bookmark)}};
}

// --- Add and remove, with undo ---------------------------------------------------

Status AttachmentCommands::addAttachmentPath(const QString &chosenPath)
{
    // A folder or a pipe can be opened for reading as well, but it cannot
    // be sent.
    if (const Status regular = RegularFileReader::checkRegular(chosenPath); !regular)
        return Status::failure(u"%1 cannot be read: %2"_s.arg(chosenPath, regular.error()));
    const QString path = QFileInfo(chosenPath).absoluteFilePath();
    const std::optional<QByteArray> bookmark = LXBookmark::bookmarkForURL_RO(path);
    if (!bookmark)
        return Status::failure(u"The file \u201C%1\u201D cannot be attached: it cannot be read."_s.arg(chosenPath));
    addTheAttachment(makeEntry(path, *bookmark));
    return success();
}

void AttachmentCommands::addTheAttachment(const Dict &entry)
{
    MyDocument *doc = &m_doc;
    m_doc.undoManager().registerUndo([doc, entry] { AttachmentCommands(*doc).addTheAttachmentUndo(entry); });
    m_doc.undoManager().setActionName(addAttachmentAction());
    append(entry);
}

void AttachmentCommands::addTheAttachmentUndo(const Dict &entry)
{
    MyDocument *doc = &m_doc;
    m_doc.undoManager().registerUndo([doc, entry] { AttachmentCommands(*doc).addTheAttachment(entry); });
    m_doc.undoManager().setActionName(addAttachmentAction());
    remove(entry);
}

bool AttachmentCommands::removeAttachmentPath(const QList<qsizetype> &selectedRows)
{
    const List entries = m_doc.attachmentBookmarks();
    const qsizetype count = entries.size();
    qsizetype last = -1;
    for (qsizetype row : selectedRows) {
        if (row >= 0 && row < count)
            last = std::max(last, row);
    }
    const Value entry = entries.at(last);
    if (!entry.isDict())
        return false;
    removeTheAttachment(entry.toDict());
    return true;
}

void AttachmentCommands::removeTheAttachment(const Dict &entry)
{
    if (m_doc.attachmentBookmarks().indexOfObject(entry.identity()) < 0)
        return;
    MyDocument *doc = &m_doc;
    m_doc.undoManager().registerUndo([doc, entry] { AttachmentCommands(*doc).removeTheAttachmentUndo(entry); });
    m_doc.undoManager().setActionName(removeAttachmentAction());
    remove(entry);
}

void AttachmentCommands::removeTheAttachmentUndo(const Dict &entry)
{
    MyDocument *doc = &m_doc;
    m_doc.undoManager().registerUndo([doc, entry] { AttachmentCommands(*doc).removeTheAttachment(entry); });
    m_doc.undoManager().setActionName(removeAttachmentAction());
    // Back at the end of the list, not at its old place.
    append(entry);
}

void AttachmentCommands::append(const Dict &entry)
{
    m_doc.attachmentBookmarks().append(Value(entry));
    m_doc.attachmentBookmarksDidChange();
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
}

bool AttachmentCommands::remove(const Dict &entry)
{
    if (m_doc.attachmentBookmarks().removeAll(Value(entry)) == 0)
        return false;
    m_doc.attachmentBookmarksDidChange();
    // Undoing an add changes the saved list as much as the add did.
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    return true;
}

// --- Showing the files -------------------------------------------------------------

void AttachmentCommands::showAttachmentInFinder(const QList<qsizetype> &selectedRows)
{
    const List entries = m_doc.attachmentBookmarks();
    qsizetype last = -1;
    for (qsizetype row : selectedRows) {
        if (row >= 0 && row < entries.size())
            last = std::max(last, row);
    }
    const Value entry = entries.at(last);
    if (!entry.isDict())
        return;

    bool stale = false;
    const std::optional<LXBookmark::Location> location =
        LXBookmark::urlForBookmark(entry.toDict().value(DocumentKeys::attachmentBookmark()).toBytes(), &stale);
    if (location && LXBookmark::startAccessingSecurityScopedResource(*location)) {
        if (QFileInfo::exists(location->path) && m_revealer)
            m_revealer->revealFile(location->path);
        LXBookmark::stopAccessingSecurityScopedResource(*location);
        return;
    }

    AlertPresenter *presenter = m_doc.alertPresenter();
    if (!presenter)
        return;
    Alert alert;
    alert.messageText = u"Problem showing the file:\n%1"_s.arg(location ? QFileInfo(location->path).fileName() : QString());
    alert.informativeText = u"It seems the file bookmark is expired.\n Please add again the file to the list"_s;
    alert.buttons = {u"OK"_s, u"Cancel"_s};
    alert.kind = Alert::Kind::Sheet;
    // Both buttons only close the alert.
    presenter->present(alert, [](int) {});
}

bool AttachmentCommands::previewAttachRun()
{
    const QString path = m_doc.previewFormAttach();
    if (path.isEmpty() || !QFileInfo::exists(path) || !m_opener)
        return false;
    return m_opener->openDocument(path);
}

bool AttachmentCommands::previewAttachShow()
{
    const QString path = m_doc.previewFormAttach();
    if (path.isEmpty() || !QFileInfo::exists(path) || !m_revealer)
        return false;
    return m_revealer->revealFile(path);
}

qsizetype AttachmentCommands::refreshAttachmentBookmarksIfStale()
{
    qsizetype renewed = 0;
    for (const Value &item : m_doc.attachmentBookmarks().items()) {
        if (!item.isDict())
            continue;
        Dict entry = item.toDict();
        bool stale = false;
        const std::optional<LXBookmark::Location> location =
            LXBookmark::urlForBookmark(entry.value(DocumentKeys::attachmentBookmark()).toBytes(), &stale);
        if (!location || !stale)
            continue;
        const std::optional<QByteArray> fresh = LXBookmark::bookmarkForURL_RO(location->path);
        if (!fresh)
            continue;
        // The same entry object: undo steps that refer to it keep working.
        entry.set(DocumentKeys::attachmentBookmark(), Value(*fresh));
        ++renewed;
    }
    if (renewed > 0) {
        m_doc.attachmentBookmarksDidChange();
        m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    }
    return renewed;
}

} // namespace quillcast
