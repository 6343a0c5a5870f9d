#pragma once

#include "platform/ApplicationShell.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>

namespace quillcast::gui {

class DocumentController;
class PreferencesWindow;

// The application object's view of the desktop: the document controller's
// windows and commands, one-shot timers of the event loop, the preferences
// window, and the items the application adds to its menu. Linux desktops
// have no application menu: the items are kept here for the windows' Help
// menus to show.
class GuiApplicationShell final : public QObject, public ApplicationShell
{
    Q_OBJECT

public:
    struct MenuItem
    {
        int position = 0;
        QString title;
        std::function<void()> action;
    };

    explicit GuiApplicationShell(DocumentController &documents, QObject *parent = nullptr);
    ~GuiApplicationShell() override;

    int openDocumentCount() const override;
    void newUntitledDocument() override;
    void showOpenPanel() override;
    void runAfter(int milliseconds, std::function<void()> work) override;
    void insertApplicationMenuItem(int position, const QString &title, std::function<void()> action) override;
    void showPreferences(std::optional<int> panel) override;

    // In menu order.
    const QList<MenuItem> &applicationMenuItems() const { return m_menuItems; }
    // The preferences window, made by whoever builds the application (it
    // needs the application object, which needs this shell); not owned.
    void setPreferencesWindow(PreferencesWindow *window) { m_preferences = window; }
    PreferencesWindow *preferencesWindow() const { return m_preferences; }

Q_SIGNALS:
    void applicationMenuItemsChanged();

private:
    DocumentController &m_documents;
    QList<MenuItem> m_menuItems;
    QPointer<PreferencesWindow> m_preferences;
};

} // namespace quillcast::gui
