#pragma once

#include <QWidget>

class QLabel;

namespace quillcast {
class MailerAppDelegate;
class UserDefaults;
} // namespace quillcast

namespace quillcast::gui {

// The preferences' "Update" panel: whether the launch check tells of a new
// release, and the check made now, with the alerts of the menu command.
class UpdatePreferencesPane final : public QWidget
{
    Q_OBJECT

public:
    UpdatePreferencesPane(MailerAppDelegate &application, UserDefaults &defaults, QWidget *parent = nullptr);
    ~UpdatePreferencesPane() override;

private:
    void showLastCheck();

    UserDefaults &m_defaults;
    QLabel *m_lastCheck;
    int m_observer = 0;
};

} // namespace quillcast::gui
