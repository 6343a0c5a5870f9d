#include "document/UserEdits.h"

#include "document/MyDocument.h"
#include "util/UndoManager.h"

using namespace Qt::StringLiterals;

namespace quillcast {

void UserEdits::editText(QString (MyDocument::*read)() const, void (MyDocument::*write)(const QString &),
                         const QString &text)
{
    // An emptied field reads "" where a never-used one (the reply-to of a
    // new mailing) has no value; neither shows anything, so neither is an
    // edit of the other.
    if ((m_doc.*read)() == text)
        return;
    (m_doc.*write)(text);
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
}

void UserEdits::editMailFormFrom(const QString &text)
{
    editText(&MyDocument::mailFormFrom, &MyDocument::setMailFormFrom, text);
}

void UserEdits::editMailFormTo(const QString &text)
{
    editText(&MyDocument::mailFormTo, &MyDocument::setMailFormTo, text);
}

void UserEdits::editMailFormReplyTo(const QString &text)
{
    editText(&MyDocument::mailFormReplyTo, &MyDocument::setMailFormReplyTo, text);
}

void UserEdits::editMailFormSubject(const QString &text)
{
    editText(&MyDocument::mailFormSubject, &MyDocument::setMailFormSubject, text);
}

void UserEdits::editMailFormBody(const QString &text)
{
    editText(&MyDocument::mailFormBody, &MyDocument::setMailFormBody, text);
}

void UserEdits::editMailFormBodyHtml(const QString &text)
{
    editText(&MyDocument::mailFormBodyHtml, &MyDocument::setMailFormBodyHtml, text);
}

void UserEdits::editMailFormBodyHtmlAltText(const QString &text)
{
    editText(&MyDocument::mailFormBodyHtmlAltText, &MyDocument::setMailFormBodyHtmlAltText, text);
}

void UserEdits::editEmailKind(qint64 kind)
{
    if (m_doc.emailKind() != kind)
        m_doc.chooseEmailKind(kind);
}

void UserEdits::editTransport(qint64 useMailServer)
{
    if (m_doc.useMailServerToSend() != useMailServer)
        m_doc.chooseTransport(useMailServer);
}

void UserEdits::editSelectedIndexConnection(qint64 index)
{
    // No stored index reads as the first connection: choosing it is no change.
    if (m_doc.selectedIndexConnection().value_or(0) == index)
        return;
    m_doc.setSelectedIndexConnection(index);
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
}

void UserEdits::editSendPrepTimeInterval(qint64 seconds)
{
    if (m_doc.sendPrepTimeInterval() == seconds)
        return;
    m_doc.setSendPrepTimeInterval(seconds);
    m_doc.changedTimeInterval();
}

void UserEdits::editAddRefusedToExceptions(bool on)
{
    const bool was = m_doc.addRefusedToExceptions() != 0;
    if (was == on)
        return;
    MyDocument *doc = &m_doc;
    m_doc.undoManager().registerUndo([doc, was] { UserEdits(*doc).editAddRefusedToExceptions(was); });
    m_doc.undoManager().setActionName(u"Add Refused Addresses to Exceptions"_s);
    m_doc.setAddRefusedToExceptions(on ? 1 : 0);
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
}

void UserEdits::updateWebInMail(const WebViewLoader &loader) const
{
    if (loader)
        loader(m_doc.mailFormBodyHtml());
}

} // namespace quillcast
