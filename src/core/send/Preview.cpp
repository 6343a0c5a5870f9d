#include "send/Preview.h"

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "document/SendListRebuilder.h"
#include "platform/DocumentOpener.h"
#include "platform/FileRevealer.h"

#include <QFileInfo>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace quillcast {

Preview::Preview(MyDocument &document, FileRevealer *revealer, DocumentOpener *opener)
    : m_doc(document), m_revealer(revealer), m_opener(opener)
{
}

Preview::~Preview() = default;

void Preview::updateThePreviewArray()
{
    std::weak_ptr<bool> alive = m_alive;
    m_doc.sendListRebuilder().request([this, alive] {
        if (alive.expired())
            return;
        m_doc.filterPreview();
        previewTableChanged();
    });
}

void Preview::setSelectedRow(std::optional<qsizetype> row)
{
    m_selectedRow = row;
    previewTableChanged();
}

void Preview::previewTableChanged()
{
    std::weak_ptr<bool> alive = m_alive;
    QPointer<MyDocument> document(&m_doc);
    m_doc.mainLoop().post([this, alive, document] {
        if (document && !alive.expired())
            doPreviewTableChanged();
    });
}

void Preview::doPreviewTableChanged()
{
    const ArrangedView &shown = m_doc.previewArrayShown();
    const qsizetype count = shown.size();
    if (count == 0)
        return;
    const qsizetype row = m_selectedRow && *m_selectedRow >= 0 && *m_selectedRow < count ? *m_selectedRow : 0;
    const std::optional<Dict> record = shown.at(row);
    if (!record)
        return;

    const RecordMerge merger = m_doc.recordMerge(*record);
    const auto merged = [&](const QString &text) { return merger.merge(text); };
    m_doc.setPreviewFormFrom(merged(m_doc.mailFormFrom()));
    m_doc.setPreviewFormSubject(merged(m_doc.mailFormSubject()));
    m_doc.setPreviewFormTo(merged(m_doc.mailFormTo()));
    m_doc.setPreviewFormBody(merged(m_doc.mailFormBody()));
    m_doc.setPreviewFormBodyHtml(merged(m_doc.mailFormBodyHtml()));
    m_doc.setPreviewFormBodyHtmlAltText(merged(m_doc.mailFormBodyHtmlAltText()));
    m_doc.setPreviewFormAttach(merged(m_doc.mailFormAttachment()));
    loadPreviewWebView(m_doc.previewFormBodyHtml());
}

void Preview::loadPreviewWebView(const QString &html)
{
    if (m_loader)
        m_loader(html);
}

void Preview::updateWebInPreview()
{
    loadPreviewWebView(m_doc.mailFormBodyHtml());
}

QStringList Preview::attachedFiles() const
{
    QStringList files;
    for (const Value &entry : m_doc.attachmentBookmarks().items())
        files.append(entry.toDict().stringValue(DocumentKeys::attachmentPath()));
    return files;
}

void Preview::previewAttachRun()
{
    const QString path = m_doc.previewFormAttach();
    if (!path.isEmpty() && QFileInfo::exists(path) && m_opener)
        m_opener->openDocument(path);
}

void Preview::previewAttachShow()
{
    const QString path = m_doc.previewFormAttach();
    if (!path.isEmpty() && QFileInfo::exists(path) && m_revealer)
        m_revealer->revealFile(path);
}

} // namespace quillcast
