#pragma once

#include <QString>

#include <functional>

namespace quillcast {

class MyDocument;

// What the user changes in the mail page and the send page, as opposed to
// what a file puts in place: each entry sets the document's property and,
// when the value differs from what it holds, marks the document edited, so
// that autosave and the close prompt know of the change. The plain setters
// of MyDocument stay silent because the file reader uses them, and reading a
// file is no edit.
//
// Also the HTML view of the mail page: updateWebInMail() hands the HTML
// body, as it stands (its tags unmerged), to the loader the page gives.
//
// Main thread only; a handle may be made for each call.
class UserEdits
{
public:
    using WebViewLoader = std::function<void(const QString &html)>;

    explicit UserEdits(MyDocument &document) : m_doc(document) {}

    void editMailFormFrom(const QString &text);
    void editMailFormTo(const QString &text);
    void editMailFormReplyTo(const QString &text);
    void editMailFormSubject(const QString &text);
    void editMailFormBody(const QString &text);
    void editMailFormBodyHtml(const QString &text);
    void editMailFormBodyHtmlAltText(const QString &text);

    // The message kind (0 plain text, 1 HTML) and the transport (1 the mail
    // server, 0 the system mail client), tied as MyDocument's chooseEmailKind
    // and chooseTransport say. Choosing what is chosen already changes nothing.
    void editEmailKind(qint64 kind);
    void editTransport(qint64 useMailServer);
    // The position of the chosen connection in the application's list.
    void editSelectedIndexConnection(qint64 index);
    // The pause between two messages, in seconds; below one second it is
    // raised to one, and a running send's estimate follows.
    void editSendPrepTimeInterval(qint64 seconds);
    // Whether an address the server refuses for good as unknown goes to the
    // exception list; a change is a step to undo.
    void editAddRefusedToExceptions(bool on);

    // Loads the mail form's HTML body, without a base address, through
    // loader (nothing without one): the mail page's "web" tab.
    void updateWebInMail(const WebViewLoader &loader) const;

private:
    void editText(QString (MyDocument::*read)() const, void (MyDocument::*write)(const QString &),
                  const QString &text);

    MyDocument &m_doc;
};

} // namespace quillcast
