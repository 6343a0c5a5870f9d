#pragma once

#include <QStringList>

class QWidget;

namespace quillcast::gui {

// What a mailing window asks of the application: the document controller's
// commands (new, open, recent documents, quit) and the application windows.
// The document controller supplies the real one; window tests a fake.
class ApplicationActions
{
public:
    virtual ~ApplicationActions() = default;

    // A new untitled mailing in a new window.
    virtual void newDocument() = 0;
    // The open panel (on parent, when given); what the user chooses opens in
    // new windows, or raises the window that already shows it.
    virtual void showOpenPanel(QWidget *parent) = 0;
    // Opens path in a new window, or raises the one that shows it already;
    // false (after telling the user why) when it cannot be opened.
    virtual bool openDocument(const QString &path) = 0;
    // The recently opened or saved mailings, newest first (at most ten).
    virtual QStringList recentDocuments() const = 0;
    virtual void clearRecentDocuments() = 0;
    // A mailing was opened or saved under path: it goes first in the list.
    virtual void noteRecentDocument(const QString &path) = 0;
    // Closes every window (asking where a mailing has no file yet), then quits.
    virtual void quit() = 0;
    // The preferences window, at the panel (0 general, 1 mail server, 2 update).
    virtual void showPreferences(int panel) = 0;
};

} // namespace quillcast::gui
