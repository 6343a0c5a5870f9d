#include "AccessibleNames.h"
#include "prefs/MailServerPane.h"

#include "LocalPorts.h"
#include "LocalSmtpServer.h"
#include "ScriptedAlertPresenter.h"
#include "TestFiles.h"
#include "connections/ConnectionList.h"
#include "connections/StoredConnectionForm.h"
#include "connections/HardwareAddress.h"
#include "connections/OpenSslRandomSource.h"
#include "platform/QtMainLoop.h"
#include "platform/SettingsFileStore.h"
#include "platform/SystemClock.h"
#include "prefs/ConnectionTesterSheet.h"
#include "send/CurlSmtpClient.h"
#include "send/LXMailCoreBridge.h"
#include "util/UndoManager.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

using namespace quillcast;
using namespace Qt::StringLiterals;
using quillcast::gui::ConnectionTesterSheet;
using quillcast::gui::MailServerPane;
using quillcast::testing::LocalSmtpServer;

namespace {

// Keeps the account checks asked for, to answer them when the test says.
struct PendingChecks
{
    std::vector<std::pair<LXMailCoreBridge::CheckCompletion, QString>> checks;
    LXMailConnectionTester::AccountCheck function()
    {
        return [this](const QString &, const QString &, const QString &, qint32, qint32, bool,
                      LXMailCoreBridge::CheckCompletion completion, const QString &requestID) {
            checks.emplace_back(std::move(completion), requestID);
        };
    }
};

// The panel in a window of its own, over a connection list stored in a
// settings file of the test, as the preferences window will hold it.
struct Panel
{
    explicit Panel(LXMailConnectionTester::AccountCheck accountCheck = {})
    {
        QDir(machine.path()).mkpath(u"eth0/device"_s);
        quillcast::testing::writeFile(machine.filePath(u"eth0/address"_s), "54:e1:ad:12:34:56");
        address = std::make_unique<HardwareAddress>(machine.path());
        list = std::make_unique<ConnectionList>(ConnectionList::Services{
            store, OpenSslRandomSource::instance(), *address, listAlerts, mainLoop, nullptr});
        if (!accountCheck) {
            client = std::make_unique<CurlSmtpClient>();
            bridge = std::make_unique<LXMailCoreBridge>(
                LXMailCoreBridge::Services{*client, mainLoop, SystemClock::instance()});
            accountCheck = [this](const QString &host, const QString &username, const QString &password,
                                  qint32 port, qint32 type, bool useAuth, LXMailCoreBridge::CheckCompletion sender,
                                  const QString &requestID) {
                bridge->canConnectToServer(host, username, password, port, type, useAuth, std::move(sender),
                                           requestID);
            };
        }
        pane = new MailServerPane({*list, undo, alerts, std::move(accountCheck)}, &window);
        window.resize(620, 534);
        pane->resize(window.size());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    template<typename T = QPushButton>
    T *child(const char *name)
    {
        T *found = pane->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no control %s", name);
        return found;
    }
    void click(const char *name) { QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton); }
    // Types into a field and finishes it with Return.
    template<typename Field = QLineEdit>
    void enter(const char *name, const QString &text)
    {
        auto *field = child<Field>(name);
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }
    void enterPort(int port) { enter<QSpinBox>("customPortField", QString::number(port)); }
    void chooseRow(int row)
    {
        QTableView *table = child<QTableView>("connectionTable");
        const QRect cell = table->visualRect(table->model()->index(row, 0));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    }
    QString description(int row) const
    {
        return list->connectionArray().at(row).toDict().stringValue(u"mailServerDescription"_s);
    }
    QString selectedDescription() const
    {
        const std::optional<Dict> selected = list->selectedConnection();
        return selected ? selected->stringValue(u"mailServerDescription"_s) : QString();
    }
    int tableRows() { return child<QTableView>("connectionTable")->model()->rowCount(); }
    int shownRow()
    {
        const QModelIndexList rows = child<QTableView>("connectionTable")->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.first().row() : -1;
    }
    // The stored list as the next launch reads it.
    Dict storedAt(qsizetype i) const
    {
        return StoredConnectionForm::read(SettingsFileStore(settings)).connections.at(i).toDict();
    }
    ConnectionTesterSheet *sheet() { return pane->testerSheet(); }
    int shownPane() { return sheet()->panes()->currentIndex(); }
    QPushButton *sheetButton(const char *name) { return sheet()->findChild<QPushButton *>(QString::fromLatin1(name)); }

    QTemporaryDir folder;
    QTemporaryDir machine;
    QString settings = folder.filePath(u"Quillcast.ini"_s);
    SettingsFileStore store{settings};
    std::unique_ptr<HardwareAddress> address;
    ScriptedAlertPresenter listAlerts;
    ScriptedAlertPresenter alerts;
    QtMainLoop mainLoop;
    std::unique_ptr<CurlSmtpClient> client;
    std::unique_ptr<LXMailCoreBridge> bridge;
    std::unique_ptr<ConnectionList> list;
    UndoManager undo;
    QWidget window;
    MailServerPane *pane = nullptr;
};

} // namespace

class MailServerPaneTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addEditDeleteAndUndoFollowTheLockRules()
    {
        Panel p;
        QVERIFY(!p.child("deleteConnectionButton")->isEnabled());
        QVERIFY(!p.child("lockButton")->isEnabled());
        QVERIFY(!p.child<QLineEdit>("descriptionField")->isEnabled());

        p.click("addConnectionButton");
        QCOMPARE(p.tableRows(), 1);
        QCOMPARE(p.shownRow(), 0);
        QVERIFY(p.child<QLineEdit>("descriptionField")->isEnabled());
        QCOMPARE(p.child<QLineEdit>("descriptionField")->text(), u"Untitled"_s);
        QCOMPARE(p.child("lockButton")->text(), u"Lock"_s);
        QCOMPARE(p.pane->undoAction()->text(), u"Undo Add Connection"_s);
        p.enter("descriptionField", u"Office"_s);
        QCOMPARE(p.child<QTableView>("connectionTable")->model()->index(0, 0).data().toString(), u"Office"_s);

        p.click("addConnectionButton");
        p.enter("descriptionField", u"Home"_s);
        QCOMPARE(p.shownRow(), 1);

        // Choosing the first connection locks the editor: typing is impossible.
        p.chooseRow(0);
        QCOMPARE(p.selectedDescription(), u"Office"_s);
        QVERIFY(!p.list->unlockedConnection());
        QVERIFY(!p.child<QLineEdit>("serverField")->isEnabled());
        QCOMPARE(p.child("lockButton")->text(), u"Unlock"_s);
        QCOMPARE(p.child("lockButton")->accessibleName(), u"Unlock"_s);

        // An existing connection is unlocked by its button and can be edited.
        p.click("lockButton");
        QVERIFY(p.child<QLineEdit>("serverField")->isEnabled());
        p.enter("serverField", u"smtp.example.org"_s);
        QCOMPARE(p.storedAt(0).stringValue(u"mailServerName"_s), u"smtp.example.org"_s);
        p.click("lockButton");
        QVERIFY(!p.child<QLineEdit>("serverField")->isEnabled());

        // Delete: Cancel keeps it; "Delete Connection" deletes it, and the
        // next one takes its row.
        p.alerts.queueAnswer(0);
        p.click("deleteConnectionButton");
        QTest::qWait(20);
        QCOMPARE(p.tableRows(), 2);
        p.alerts.queueAnswer(1);
        p.click("deleteConnectionButton");
        QCOMPARE(p.alerts.shown().last().messageText,
                 u"Are you sure you want to delete the connection 'Office' from the list?"_s);
        QTRY_COMPARE(p.tableRows(), 1);
        QCOMPARE(p.selectedDescription(), u"Home"_s);
        QCOMPARE(p.shownRow(), 0);
        QCOMPARE(p.pane->undoAction()->text(), u"Undo Delete Connection"_s);

        // Undo puts it back at the end, selected; redo takes it away again.
        p.pane->undoAction()->trigger();
        QCOMPARE(p.tableRows(), 2);
        QCOMPARE(p.description(1), u"Office"_s);
        QCOMPARE(p.shownRow(), 1);
        QCOMPARE(p.child<QLineEdit>("descriptionField")->text(), u"Office"_s);
        QCOMPARE(p.pane->redoAction()->text(), u"Redo Delete Connection"_s);
        p.pane->redoAction()->trigger();
        QCOMPARE(p.tableRows(), 1);
        QCOMPARE(p.shownRow(), 0);
        QCOMPARE(p.child<QLineEdit>("descriptionField")->text(), u"Home"_s);

        // Undo of an add removes it and selects what is left; with nothing
        // left, nothing is selected and nothing can be edited.
        p.pane->undoAction()->trigger(); // the deletion again
        p.pane->undoAction()->trigger(); // Home's addition
        QCOMPARE(p.tableRows(), 1);
        QCOMPARE(p.description(0), u"Office"_s);
        QCOMPARE(p.shownRow(), 0);
        p.pane->undoAction()->trigger(); // Office's addition
        QCOMPARE(p.tableRows(), 0);
        QCOMPARE(p.selectedDescription(), QString());
        QVERIFY(!p.child<QLineEdit>("descriptionField")->isEnabled());
        QVERIFY(!p.child("deleteConnectionButton")->isEnabled());
        QVERIFY(!p.child("testButton")->isEnabled());
        QCOMPARE(p.pane->redoAction()->text(), u"Redo Add Connection"_s);
    }

    // Each finished field writes the settings file once; typing does not.
    void editsAreAppliedWhenAFieldIsFinished_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed");
        QTest::newRow("description") << QByteArray("descriptionField") << u"mailServerDescription"_s
                                     << u"Club mail"_s;
        QTest::newRow("server") << QByteArray("serverField") << u"mailServerName"_s << u"mail.example.org"_s;
        QTest::newRow("user") << QByteArray("userField") << u"username"_s << u"ada"_s;
    }
    void editsAreAppliedWhenAFieldIsFinished()
    {
        QFETCH(QByteArray, field);
        QFETCH(QString, key);
        QFETCH(QString, typed);
        Panel p;
        p.click("addConnectionButton");
        QSignalSpy writes(p.list.get(), &ConnectionList::connectionArrayChanged);
        auto *edit = p.child<QLineEdit>(field.constData());
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, typed);
        QCOMPARE(writes.count(), 0);
        QVERIFY(p.storedAt(0).stringValue(key) != typed);

        // Leaving the field finishes it.
        QTest::keyClick(edit, Qt::Key_Tab);
        QCOMPARE(writes.count(), 1);
        QCOMPARE(p.storedAt(0).stringValue(key), typed);
        // A field left unchanged writes nothing.
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Tab);
        QCOMPARE(writes.count(), 1);
    }

    void passwordIsHiddenAndStoredEncryptedOnce()
    {
        Panel p;
        p.click("addConnectionButton");
        auto *password = p.child<QLineEdit>("passwordField");
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QSignalSpy writes(p.list.get(), &ConnectionList::connectionArrayChanged);
        p.enter("passwordField", u"hunter2-secret"_s);
        QCOMPARE(writes.count(), 1);
        QCOMPARE(p.list->selectedConnection()->stringValue(u"password"_s), u"hunter2-secret"_s);
        QVERIFY(!quillcast::testing::fileContents(p.settings).contains("hunter2"));
        QVERIFY(p.storedAt(0).contains(u"cryptopwData"_s));
    }

    void choicesWriteTheirKeysAndEnableTheirFields()
    {
        Panel p;
        p.click("addConnectionButton");
        auto *customPort = p.child<QSpinBox>("customPortField");
        QVERIFY(p.child<QRadioButton>("port25Button")->isChecked());
        QVERIFY(!customPort->isEnabled());

        p.click("portCustomButton");
        QCOMPARE(p.storedAt(0).intValue(u"useCustomPort"_s), 1);
        QVERIFY(customPort->isEnabled());
        p.enterPort(2525);
        QCOMPARE(p.storedAt(0).intValue(u"customPortUsed"_s), 2525);

        p.click("port465Button");
        QCOMPARE(p.storedAt(0).intValue(u"useCustomPort"_s), 2);
        QVERIFY(!customPort->isEnabled());
        QCOMPARE(p.storedAt(0).intValue(u"customPortUsed"_s), 2525); // kept for the next custom choice

        auto *security = p.child<QComboBox>("securityPopUp");
        QCOMPARE(security->currentText(), u"PLAIN"_s);
        security->setFocus();
        QTest::keyClick(security, Qt::Key_Down);
        QCOMPARE(security->currentText(), u"STARTTLS"_s);
        QCOMPARE(p.storedAt(0).intValue(u"connectionType"_s), 1);

        auto *authenticate = p.child<QCheckBox>("authenticationCheckBox");
        QVERIFY(authenticate->isChecked());
        QVERIFY(p.child<QLineEdit>("userField")->isEnabled());
        p.click("authenticationCheckBox");
        QVERIFY(!p.storedAt(0).contains(u"authenticationType"_s));
        QVERIFY(!p.child<QLineEdit>("userField")->isEnabled());
        QVERIFY(!p.child<QLineEdit>("passwordField")->isEnabled());
        p.click("authenticationCheckBox");
        QCOMPARE(p.storedAt(0).intValue(u"authenticationType"_s), 1);
        QVERIFY(p.child<QLineEdit>("passwordField")->isEnabled());
    }

    void testerShowsWhatTheServerSaid_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("pane");
        QTest::newRow("good password") << u"auth"_s << u"s3cret"_s << 2;
        QTest::newRow("wrong password") << u"auth"_s << u"wrong"_s << 1;
        QTest::newRow("closed port") << u"closed"_s << u"s3cret"_s << 1;
    }
    void testerShowsWhatTheServerSaid()
    {
        QFETCH(QString, mode);
        QFETCH(QString, password);
        QFETCH(int, pane);
        LocalSmtpServer server;
        QVERIFY2(server.error().isEmpty(), qPrintable(server.error()));
        const int port = mode == u"closed" ? quillcast::testing::closedPort() : server.port("auth");

        Panel p;
        p.click("addConnectionButton");
        p.enter("descriptionField", u"Local"_s);
        p.enter("serverField", u"127.0.0.1"_s);
        p.click("portCustomButton");
        p.enterPort(port);
        p.enter("userField", u"quill"_s);
        p.enter("passwordField", password);

        p.click("testButton");
        ConnectionTesterSheet *sheet = p.sheet();
        QVERIFY(sheet && sheet->isVisible());
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        QCOMPARE(sheet->findChild<QLabel *>(u"testedConnectionTitle"_s)->text(), u"Local"_s);
        QCOMPARE(sheet->findChild<QLabel *>(u"testedPort"_s)->text(), QString::number(port));
        QCOMPARE(sheet->findChild<QLabel *>(u"testedEncryption"_s)->text(), u"PLAIN"_s);
        QCOMPARE(sheet->findChild<QLabel *>(u"testedAuthentication"_s)->text(), u"YES"_s);
        QVERIFY(!sheet->findChild<QProgressBar *>(u"testProgress"_s)->isVisible());

        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(p.sheetButton("testConnectionButton"), Qt::LeftButton);
        QVERIFY2(clock.elapsed() < 100, "the test must not wait for the server");
        QVERIFY(sheet->findChild<QProgressBar *>(u"testProgress"_s)->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(p.shownPane(), pane, 20000);
        QVERIFY(!sheet->findChild<QProgressBar *>(u"testProgress"_s)->isVisible());

        QTest::mouseClick(p.sheetButton("closeTesterButton"), Qt::LeftButton);
        QVERIFY(!sheet->isVisible());
    }

    // The report that comes after the sheet closed changes nothing.
    void closingTheSheetWhileTestingDropsTheLateReport()
    {
        PendingChecks checks;
        Panel p(checks.function());
        p.click("addConnectionButton");
        p.click("testButton");
        ConnectionTesterSheet *sheet = p.sheet();
        QTest::mouseClick(p.sheetButton("testConnectionButton"), Qt::LeftButton);
        QVERIFY(p.pane->tester()->testing());
        QVERIFY(!p.sheetButton("testConnectionButton")->isEnabled());
        QTest::mouseClick(p.sheetButton("closeTesterButton"), Qt::LeftButton);
        QVERIFY(!sheet->isVisible());

        QCOMPARE(checks.checks.size(), std::size_t(1));
        checks.checks.front().first(true, checks.checks.front().second);
        QCOMPARE(p.pane->tester()->connectionTabViewSelection(), 0);

        p.click("testButton");
        QVERIFY(sheet->isVisible());
        QCOMPARE(p.shownPane(), 0);
        QVERIFY(!sheet->findChild<QProgressBar *>(u"testProgress"_s)->isVisible());
        QVERIFY(p.sheetButton("testConnectionButton")->isEnabled());
        // Escape closes it too, with the same effect.
        QTest::mouseClick(p.sheetButton("testConnectionButton"), Qt::LeftButton);
        QTest::keyClick(sheet, Qt::Key_Escape);
        QVERIFY(!sheet->isVisible());
        QVERIFY(!p.pane->tester()->testing());
    }

    void closingWhileARealCheckHangsNeverBlocks()
    {
        quillcast::testing::SilentServer silent;
        Panel p;
        p.click("addConnectionButton");
        p.enter("serverField", u"127.0.0.1"_s);
        p.click("portCustomButton");
        p.enterPort(silent.port());
        p.click("testButton");
        ConnectionTesterSheet *sheet = p.sheet();
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(p.sheetButton("testConnectionButton"), Qt::LeftButton);
        QTest::qWait(200);
        QCOMPARE(p.shownPane(), 0);
        QVERIFY(p.pane->tester()->testing());
        QTest::mouseClick(p.sheetButton("closeTesterButton"), Qt::LeftButton);
        QVERIFY(!sheet->isVisible());
        QVERIFY2(clock.elapsed() < 1000, "closing waited for the server");
        p.chooseRow(0);
        QVERIFY(p.child("lockButton")->isEnabled());
    }

    // The Tab order: the preferences window's test.
    void everyControlIsNamed()
    {
        PendingChecks checks;
        Panel p(checks.function());
        p.click("addConnectionButton");
        p.click("testButton");
        for (QWidget *root : {static_cast<QWidget *>(p.pane), static_cast<QWidget *>(p.sheet())}) {
            const QStringList unnamed = gui::testing::unnamedControls(*root);
            QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u", "_s)));
            // A button's name says what its text says.
            for (QAbstractButton *button : root->findChildren<QAbstractButton *>()) {
                const QString label = button->text().remove(u'&').remove(u'\u2026').remove(u':');
                const QString name = QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name);
                QVERIFY2(name.contains(label), qPrintable(button->objectName() + u": "_s + name));
            }
        }
        p.sheet()->reject();
    }
};

QTEST_MAIN(MailServerPaneTest)
#include "MailServerPaneTest.moc"
