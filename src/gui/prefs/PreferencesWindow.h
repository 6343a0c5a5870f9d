#pragma once

#include "app/preferences/LXPrefWindow.h"
#include "app/preferences/MyPrefToolbarDelegate.h"

#include <QList>
#include <QWidget>

#include <functional>

class QAction;
class QToolBar;
class QVBoxLayout;

namespace quillcast {
class MailerAppDelegate;
class UndoManager;
class UserDefaults;
} // namespace quillcast

namespace quillcast::gui {

// The preferences window: a toolbar of three panels ("General",
// "Mail Server", "Update"). Which panel shows, the title and the height of
// the window come from the core's toolbar delegate; this window only draws
// them. Made once for the process, then shown and hidden.
class PreferencesWindow final : public QWidget, private LXPrefWindow
{
    Q_OBJECT

public:
    enum Panel { General = MyPrefToolbarDelegate::General, MailServer = MyPrefToolbarDelegate::MailServer,
                 Update = MyPrefToolbarDelegate::Update };

    struct Services
    {
        MailerAppDelegate &application;
        UserDefaults &defaults;
    };
    // Makes the contents of the "Mail Server" panel; empty: a plain note.
    using PaneFactory = std::function<QWidget *(PreferencesWindow &window)>;

    PreferencesWindow(Services services, PaneFactory mailServerPane, QWidget *parent = nullptr);
    ~PreferencesWindow() override;

    int currentPanel() const { return m_currentPanel; }
    // Out-of-range panels leave the one shown.
    void setCurrentPanel(int panel);
    // Centred on the screen when it was hidden, then to front.
    void present();

    // Undo and redo of the connection list while the window is in use.
    UndoManager &undoManager() { return *m_undo; }

private:
    // LXPrefWindow: what the toolbar delegate moves and retitles.
    QRectF frame() const override;
    void setFrame(const QRectF &frame) override;
    qreal contentHeight() const override;
    void setTitle(const QString &title) override;
    void selectTabPage(int index) override;

    QWidget *page(int index, QWidget *contents);

    MyPrefToolbarDelegate m_delegate;
    UndoManager *m_undo;
    QToolBar *m_toolbar;
    QVBoxLayout *m_pagesLayout;
    QList<QWidget *> m_pages;
    QList<QAction *> m_panelActions;
    int m_currentPanel = 0;
};

} // namespace quillcast::gui
