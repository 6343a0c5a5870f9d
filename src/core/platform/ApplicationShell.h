#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace quillcast {

// What the application object needs of the windowing layer at start-up and
// from its menu commands: the document controller's open documents, the
// application menu, one-shot timers and the preferences window. The GUI
// supplies the real one; tests record what was asked.
class ApplicationShell
{
public:
    virtual ~ApplicationShell() = default;

    // Documents now open in windows.
    virtual int openDocumentCount() const = 0;
    // Creates and shows a new untitled document.
    virtual void newUntitledDocument() = 0;
    // The document controller's Open panel; what the user chooses opens as
    // documents.
    virtual void showOpenPanel() = 0;
    // Runs work once, on the main loop, after the delay.
    virtual void runAfter(int milliseconds, std::function<void()> work) = 0;
    // Inserts an item into the application menu at the position.
    virtual void insertApplicationMenuItem(int position, const QString &title, std::function<void()> action) = 0;
    // Shows the preferences window (centred when it was hidden) and brings it
    // to front, at the given panel or at the one it shows.
    virtual void showPreferences(std::optional<int> panel) = 0;
};

} // namespace quillcast
