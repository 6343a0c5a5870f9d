#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace quillcast {
class LXMailConnectionTester;
}

namespace quillcast::gui {

// The sheet of the connection test: the effective settings of the connection
// under test and, on request, whether the server accepts the account. The
// core's tester decides everything shown (pane, spinner, texts); the sheet
// only shows it and passes the two commands on. The check runs in the
// background, so the sheet never waits: it can be closed at any time, and a
// report that arrives after that changes nothing.
class ConnectionTesterSheet final : public QDialog
{
    Q_OBJECT

public:
    ConnectionTesterSheet(LXMailConnectionTester &tester, QWidget *window);

    QStackedWidget *panes() const { return m_panes; }

private:
    void refresh();

    LXMailConnectionTester &m_tester;
    QLabel *m_title = nullptr;
    QLabel *m_server = nullptr;
    QLabel *m_port = nullptr;
    QLabel *m_encryption = nullptr;
    QLabel *m_authenticates = nullptr;
    QLabel *m_status = nullptr;
    QProgressBar *m_spinner = nullptr;
    QStackedWidget *m_panes = nullptr;
    QPushButton *m_test = nullptr;
    QPushButton *m_close = nullptr;
};

} // namespace quillcast::gui
