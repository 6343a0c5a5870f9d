#include "app/GuiApplicationShell.h"

#include "app/DocumentController.h"
#include "prefs/PreferencesWindow.h"

#include <QTimer>

#include <algorithm>

namespace quillcast::gui {

GuiApplicationShell::GuiApplicationShell(DocumentController &documents, QObject *parent)
    : QObject(parent), m_documents(documents)
{
}

GuiApplicationShell::~GuiApplicationShell() = default;

int GuiApplicationShell::openDocumentCount() const
{
    return m_documents.openDocumentCount();
}

void GuiApplicationShell::newUntitledDocument()
{
    m_documents.newDocument();
}

void GuiApplicationShell::showOpenPanel()
{
    m_documents.showOpenPanel(nullptr);
}

void GuiApplicationShell::runAfter(int milliseconds, std::function<void()> work)
{
    // Dropped with the shell: the work belongs to this run of the program.
    QTimer::singleShot(std::max(milliseconds, 0), this, std::move(work));
}

void GuiApplicationShell::insertApplicationMenuItem(int position, const QString &title, std::function<void()> action)
{
    // The position counts in the application menu, whose first item
    // ("About") the windows add themselves.
    const qsizetype at = std::clamp<qsizetype>(position - 1, 0, m_menuItems.size());
    m_menuItems.insert(at, MenuItem{position, title, std::move(action)});
    Q_EMIT applicationMenuItemsChanged();
}

void GuiApplicationShell::showPreferences(std::optional<int> panel)
{
    if (!m_preferences)
        return;
    if (panel)
        m_preferences->setCurrentPanel(*panel);
    m_preferences->present();
}

} // namespace quillcast::gui
