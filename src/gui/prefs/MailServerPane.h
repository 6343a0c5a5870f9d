#pragma once

#include "app/LXMailConnectionTester.h"
#include "prefs/ConnectionTesterSheet.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableView;

namespace quillcast {
class AlertPresenter;
class ConnectionList;
class UndoManager;
class ValueTransformer;
} // namespace quillcast

namespace quillcast::gui {

class ConnectionFieldBinding;
class ConnectionTableModel;

// The "Mail Server" panel of the preferences: the table of the user's SMTP
// connections, the editor of the selected one, adding and deleting (with
// undo), its lock, and the test of the connection.
//
// The rules are the connection list's: which connection is selected, when
// the editor is unlocked, what a new connection holds. An edit is applied
// when its field is finished (Return, leaving the field, a choice made), not
// per keystroke: each one re-encrypts the passwords and writes the settings
// file.
class MailServerPane final : public QWidget
{
    Q_OBJECT

public:
    struct Services
    {
        ConnectionList &connections;
        // The preferences' undo stack: the list registers its additions and
        // deletions there, and the pane's Undo and Redo act on it.
        UndoManager &undo;
        // The delete confirmation, a sheet on the preferences window.
        AlertPresenter &alerts;
        // How the tester checks an account against its server.
        LXMailConnectionTester::AccountCheck accountCheck;
    };

    explicit MailServerPane(Services services, QWidget *parent = nullptr);
    ~MailServerPane() override;

    // Edit > Undo and Redo of the preferences ("Undo Add Connection").
    QAction *undoAction() const { return m_undoAction; }
    QAction *redoAction() const { return m_redoAction; }
    // None until the first test.
    LXMailConnectionTester *tester() const { return m_tester.get(); }
    ConnectionTesterSheet *testerSheet() const { return m_testerSheet.data(); }

private:
    void buildTable();
    QWidget *buildEditor();
    void bind(QWidget *control, const QString &key, std::shared_ptr<const ValueTransformer> transformer = nullptr);
    void apply(const ConnectionFieldBinding &binding);
    void showSelection();
    void showSelectedConnection();
    void updateUndoActions();
    void testSelectedConnection();

    Services m_services;
    ConnectionTableModel *m_model = nullptr;
    QTableView *m_table = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_delete = nullptr;
    QPushButton *m_lock = nullptr;
    QPushButton *m_test = nullptr;
    QWidget *m_editor = nullptr;
    QLineEdit *m_description = nullptr;
    QLineEdit *m_server = nullptr;
    QRadioButton *m_port25 = nullptr;
    QRadioButton *m_portCustom = nullptr;
    QRadioButton *m_port465 = nullptr;
    QSpinBox *m_customPort = nullptr;
    QComboBox *m_security = nullptr;
    QCheckBox *m_authenticate = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QAction *m_undoAction = nullptr;
    QAction *m_redoAction = nullptr;
    std::vector<std::unique_ptr<ConnectionFieldBinding>> m_bindings;
    std::shared_ptr<const ValueTransformer> m_valueIs1;
    std::unique_ptr<LXMailConnectionTester> m_tester;
    QPointer<ConnectionTesterSheet> m_testerSheet;
    bool m_showingSelection = false;
};

} // namespace quillcast::gui
