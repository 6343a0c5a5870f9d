#pragma once

#include <QWidget>

class QStackedWidget;
class QTabBar;

namespace quillcast::gui {

// The preferences window until the real one is built: the three panels by
// name, so that the commands that open it at a panel ("Open Server Settings")
// lead somewhere.
class PreferencesPlaceholder final : public QWidget
{
    Q_OBJECT

public:
    enum Panel { General = 0, MailServer = 1, Update = 2 };

    explicit PreferencesPlaceholder(QWidget *parent = nullptr);

    int currentPanel() const;
    // Out-of-range panels leave the one shown.
    void setCurrentPanel(int panel);
    // Centred on the screen when it was hidden, then to front.
    void present();

private:
    QTabBar *m_tabs;
    QStackedWidget *m_pages;
};

} // namespace quillcast::gui
