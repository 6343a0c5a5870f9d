#pragma once

#include <QWidget>

class QLabel;

namespace quillcast {
class LXAppDelegateBase;
class UserDefaults;
} // namespace quillcast

namespace quillcast::gui {

// The preferences' "General" panel: what happens at launch, and the mailing
// that opens then when the startup action is "Open the startup document".
// The controls are bound to the user defaults; the buttons are the
// application object's commands.
class GeneralPreferencesPane final : public QWidget
{
    Q_OBJECT

public:
    // The choices of the startup action, in the order of its values.
    static QStringList startupActionTitles();

    GeneralPreferencesPane(LXAppDelegateBase &application, UserDefaults &defaults, QWidget *parent = nullptr);

private:
    void showStatus();

    LXAppDelegateBase &m_application;
    QLabel *m_status;
};

} // namespace quillcast::gui
