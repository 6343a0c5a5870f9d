#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace quillcast {

class DocumentOpener;
class FileRevealer;
class MyDocument;

// The preview tab: the message one record of the send list would produce.
// The preview list is the send list under the preview's own search text;
// the previewed record is the selected one, or the first shown.
class Preview
{
public:
    using WebViewLoader = std::function<void(const QString &html)>;

    Preview(MyDocument &document, FileRevealer *revealer = nullptr, DocumentOpener *opener = nullptr);
    ~Preview();

    // Where the merged HTML body goes (the GUI's web view, loaded without a
    // base address).
    void setWebViewLoader(WebViewLoader loader) { m_loader = std::move(loader); }

    // When the preview tab is selected: rebuilds the send list, then
    // re-evaluates the preview list and refreshes the preview.
    void updateThePreviewArray();
    // The selection of the preview list changed (row of its shown view, or
    // none): the preview is refreshed after the current event.
    void setSelectedRow(std::optional<qsizetype> row);
    void previewTableChanged();
    // Recomputes the preview properties from the previewed record; an empty
    // preview list leaves them as they are.
    void doPreviewTableChanged();
    void loadPreviewWebView(const QString &html);
    // Shows the mail form's HTML body unmerged.
    void updateWebInPreview();

    // The files the message attaches, by the names the mailing keeps, in
    // the order they are attached.
    QStringList attachedFiles() const;

    // Open, or show in the file manager, the file named by the merged
    // attachment text; nothing when nothing is there.
    void previewAttachRun();
    void previewAttachShow();

private:
    MyDocument &m_doc;
    FileRevealer *m_revealer;
    DocumentOpener *m_opener;
    WebViewLoader m_loader;
    std::optional<qsizetype> m_selectedRow;
    // Deferred work checks that the preview still exists.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace quillcast
