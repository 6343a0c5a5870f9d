#include "prefs/ConnectionTesterSheet.h"

#include "app/LXMailConnectionTester.h"
#include "window/Controls.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

QLabel *valueLabel(const QString &name, const QString &accessibleName, QWidget *parent)
{
    auto *label = namedControl<QLabel>(name, accessibleName, parent);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A result pane: a headline and what it means.
QWidget *resultPane(const QString &name, const QString &headline, const QString &detail, QWidget *parent)
{
    auto *pane = new QWidget(parent);
    pane->setObjectName(name);
    pane->setAccessibleName(headline);
    auto *title = new QLabel(headline, pane);
    title->setObjectName(name + u"Headline"_s);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto *text = new QLabel(detail, pane);
    text->setObjectName(name + u"Detail"_s);
    text->setWordWrap(true);
    auto *layout = new QVBoxLayout(pane);
    layout->addWidget(title);
    layout->addWidget(text);
    layout->addStretch();
    return pane;
}

} // namespace

ConnectionTesterSheet::ConnectionTesterSheet(LXMailConnectionTester &tester, QWidget *window)
    : QDialog(window),
      m_tester(tester)
{
    setObjectName(u"connectionTesterSheet"_s);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(u"Test Connection"_s);
    setAccessibleName(u"Test Connection"_s);

    m_title = new QLabel(this);
    m_title->setObjectName(u"testedConnectionTitle"_s);
    QFont bold = m_title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    m_title->setFont(bold);

    // Pane 0: what is tested, and the progress of a test.
    auto *settings = new QWidget(this);
    settings->setObjectName(u"settingsPane"_s);
    settings->setAccessibleName(u"Settings"_s);
    m_server = valueLabel(u"testedServer"_s, u"Server"_s, settings);
    m_port = valueLabel(u"testedPort"_s, u"Port"_s, settings);
    m_encryption = valueLabel(u"testedEncryption"_s, u"Encryption"_s, settings);
    m_authenticates = valueLabel(u"testedAuthentication"_s, u"Authentication"_s, settings);
    auto *form = new QFormLayout;
    form->addRow(buddyLabel(u"Server:"_s, m_server, settings), m_server);
    form->addRow(buddyLabel(u"Port:"_s, m_port, settings), m_port);
    form->addRow(buddyLabel(u"Encryption:"_s, m_encryption, settings), m_encryption);
    form->addRow(buddyLabel(u"Authentication:"_s, m_authenticates, settings), m_authenticates);
    m_spinner = namedControl<QProgressBar>(u"testProgress"_s, u"Testing"_s, settings);
    m_spinner->setRange(0, 0); // busy: the check has no steps to count
    m_spinner->setTextVisible(false);
    m_status = new QLabel(settings);
    m_status->setObjectName(u"testStatus"_s);
    auto *settingsLayout = new QVBoxLayout(settings);
    settingsLayout->setContentsMargins(0, 0, 0, 0);
    settingsLayout->addLayout(form);
    settingsLayout->addStretch();
    settingsLayout->addWidget(m_status);
    settingsLayout->addWidget(m_spinner);

    m_panes = new QStackedWidget(this);
    m_panes->setObjectName(u"testerPanes"_s);
    m_panes->addWidget(settings);
    m_panes->addWidget(resultPane(u"failedPane"_s, u"The test failed."_s,
                                  u"The server could not be reached, or it did not accept the account. Check the "
                                  u"server, port, encryption, user name and password. The reason is written to the "
                                  u"system log."_s,
                                  m_panes));
    m_panes->addWidget(resultPane(u"succeededPane"_s, u"The test succeeded."_s,
                                  u"The server accepted the connection with these settings."_s, m_panes));

    m_test = namedControl<QPushButton>(u"testConnectionButton"_s, u"Test"_s, this);
    m_test->setText(u"&Test"_s);
    m_close = namedControl<QPushButton>(u"closeTesterButton"_s, u"Close"_s, this);
    m_close->setText(u"&Close"_s);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_test, QDialogButtonBox::ActionRole);
    buttons->addButton(m_close, QDialogButtonBox::RejectRole);
    m_test->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_panes, 1);
    layout->addWidget(buttons);
    setMinimumSize(420, 260);

    connect(m_test, &QPushButton::clicked, &m_tester, &LXMailConnectionTester::testConnection);
    connect(m_close, &QPushButton::clicked, &m_tester, &LXMailConnectionTester::close);
    connect(&m_tester, &LXMailConnectionTester::changed, this, &ConnectionTesterSheet::refresh);
    connect(&m_tester, &LXMailConnectionTester::endSheetRequested, this, [this] {
        if (isVisible())
            reject();
    });
    // However the sheet ends (Close, Escape, its window closing), the tester
    // forgets the test still outstanding.
    connect(this, &QDialog::finished, &m_tester, &LXMailConnectionTester::sheetDidEnd);
    refresh();
}

void ConnectionTesterSheet::refresh()
{
    m_title->setText(m_tester.mailServerDescription());
    m_server->setText(m_tester.mailServerAddress());
    m_port->setText(m_tester.serverPortString());
    m_encryption->setText(m_tester.connectionString());
    m_authenticates->setText(m_tester.authString());
    m_panes->setCurrentIndex(m_tester.connectionTabViewSelection());
    m_spinner->setVisible(m_tester.progressAnimating());
    m_status->setText(m_tester.testing() ? u"Testing the connection\u2026"_s : QString());
    m_test->setEnabled(!m_tester.testing());
}

} // namespace quillcast::gui
