#include "AppTests.h"
#include "MailingWindow.h"
#include "RecordingUrlOpener.h"
#include "ScriptedAlertPresenter.h"
#include "TestFiles.h"
#include "IsolatedApplication.h"
#include "app/ApplicationServices.h"
#include "app/FilePanelDialog.h"
#include "app/DocumentController.h"
#include "app/GuiApplicationShell.h"
#include "app/MailerAppDelegate.h"
#include "app/ShippedUserGuide.h"
#include "prefs/PreferencesWindow.h"
#include "app/update/UpdateListSource.h"
#include "platform/LXBookmark.h"
#include "platform/SystemClock.h"
#include "platform/UserDefaults.h"
#include "session/DocumentSession.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

using namespace quillcast;
using namespace quillcast::gui;
using namespace Qt::StringLiterals;
using namespace quillcast::gui::testing;
using quillcast::testing::fileContents;
using quillcast::testing::writeFile;

namespace {

// The maker's update server, out of reach (tests never go on the network).
struct UnreachableList final : UpdateListSource
{
    std::optional<Dict> fetch(const QUrl &, std::stop_token) override { return std::nullopt; }
};

// The startup action waits a second before it looks for open documents.
constexpr int afterStartupAction = 1500;

} // namespace

class ApplicationServicesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        services = std::make_unique<ApplicationServices>(
            isolatedApplication(dir->filePath(u"settings.ini"_s), updateList, urls));
        services->documents().setQuitHandler([] {});
    }
    void cleanup()
    {
        for (FilePanelDialog *panel : shownPanels())
            panel->reject();
        services.reset();
        dismissTopLevelAlerts();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void startupActionRunsAtLaunch_data()
    {
        QTest::addColumn<int>("startupAction");
        QTest::addColumn<bool>("givenAMailing");
        QTest::addColumn<bool>("startupMailingChosen");
        QTest::addColumn<int>("windows");
        QTest::addColumn<bool>("openPanel");
        QTest::addColumn<QString>("alert");
        const QString noStartupMailing = u"Preference was set to open at startup a document without specifying it"_s;
        QTest::newRow("0, nothing given: a new mailing") << 0 << false << false << 1 << false << QString();
        QTest::newRow("0, a mailing given: no new one") << 0 << true << false << 1 << false << QString();
        QTest::newRow("1, nothing given: the Open panel") << 1 << false << false << 0 << true << QString();
        QTest::newRow("1, a mailing given: no panel") << 1 << true << false << 1 << false << QString();
        QTest::newRow("2, a mailing given: the Open panel all the same") << 2 << true << false << 1 << true << QString();
        QTest::newRow("3: the startup mailing opens") << 3 << false << true << 1 << false << QString();
        QTest::newRow("3 with a mailing given: both open") << 3 << true << true << 2 << false << QString();
        QTest::newRow("3 without a startup mailing: the alert") << 3 << false << false << 0 << false << noStartupMailing;
        // Nothing on screen would leave a process no one can reach.
        QTest::newRow("nothing, nothing given: the Open panel") << 4 << false << false << 0 << true << QString();
        QTest::newRow("nothing, a mailing given: just that") << 4 << true << false << 1 << false << QString();
        QTest::newRow("unknown value: as nothing") << 70 << false << false << 0 << true << QString();
    }
    void startupActionRunsAtLaunch()
    {
        QFETCH(int, startupAction);
        QFETCH(bool, givenAMailing);
        QFETCH(bool, startupMailingChosen);
        QFETCH(int, windows);
        QFETCH(bool, openPanel);
        QFETCH(QString, alert);
        services->defaults().setObject(u"StartupActionTag"_s, Value(qint64(startupAction)));
        QString startupMailing;
        if (startupMailingChosen) {
            startupMailing = makeMailing(u"startup.quill"_s);
            services->defaults().setObject(u"StartupSelectedDocBookmark"_s,
                                           Value(*LXBookmark::bookmarkForURL_RW(startupMailing)));
        }
        QStringList paths;
        if (givenAMailing)
            paths.append(makeMailing(u"given.quill"_s));

        services->launch(paths);
        QTest::qWait(afterStartupAction);
        QCOMPARE(services->documents().openDocumentCount(), windows);
        if (givenAMailing)
            QVERIFY(services->documents().windowFor(paths.first()));
        if (startupMailingChosen)
            QVERIFY(services->documents().windowFor(startupMailing));
        QCOMPARE(shownPanels().size(), openPanel ? 1 : 0);
        const QList<QMessageBox *> alerts = shownTopLevelAlerts();
        QCOMPARE(alerts.size(), alert.isEmpty() ? 0 : 1);
        if (!alert.isEmpty())
            QCOMPARE(alerts.first()->text(), alert);
        QVERIFY(services->application().finishedLaunching());
    }

    void openPreferencesFromTheStartupAlertShowsTheGeneralPanel()
    {
        services->defaults().setObject(u"StartupActionTag"_s, Value(qint64(3)));
        services->launch();
        QTRY_COMPARE(shownTopLevelAlerts().size(), 1);
        QMessageBox *alert = shownTopLevelAlerts().first();
        for (QAbstractButton *button : alert->buttons()) {
            if (button->text() == u"Open Preferences"_s)
                button->click();
        }
        QTRY_VERIFY(services->preferences().isVisible());
        QCOMPARE(services->preferences().windowTitle(), u"General"_s);
        // A window shows: the launch needs no Open panel besides.
        QTest::qWait(afterStartupAction);
        QCOMPARE(shownPanels().size(), 0);
    }

    void checkForUpdatesStandsInEveryWindowsHelpMenu()
    {
        services->defaults().setObject(u"StartupActionTag"_s, Value(qint64(4)));
        services->launch({makeMailing(u"given.quill"_s)});
        services->documents().newDocument();
        const QList<GuiApplicationShell::MenuItem> &items = services->shell().applicationMenuItems();
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.first().title, u"Software Update\u2026"_s);
        // Right after the menu's first item, as in the application menu.
        for (MailingWindow *window : services->documents().windows()) {
            auto *help = window->findChild<QMenu *>(u"menuHelp"_s);
            QVERIFY(help);
            QStringList titles;
            for (QAction *action : help->actions())
                titles.append(action->text());
            // Where Linux users look for it, under the name they look for.
            QCOMPARE(titles.value(1), u"Check for Updates\u2026"_s);
            QCOMPARE(titles.count(u"Check for Updates\u2026"_s), 1);
        }

        // The menu command reports every outcome, a server out of reach too.
        MailingWindow *window = services->documents().windows().first();
        window->findChild<QAction *>(u"actionCheckForUpdates"_s)->trigger();
        QTRY_COMPARE(shownTopLevelAlerts().size(), 1);
        QCOMPARE(shownTopLevelAlerts().first()->text(), u"Quillcast was not able to connect to the Vantreel server"_s);
    }

    void aboutTellsTheRelease()
    {
        services->defaults().setObject(u"StartupActionTag"_s, Value(qint64(0)));
        services->launch();
        QTRY_COMPARE(services->documents().openDocumentCount(), 1);
        MailingWindow *window = services->documents().windows().first();
        window->findChild<QAction *>(u"actionAbout"_s)->trigger();
        QTRY_COMPARE(shownTopLevelAlerts().size(), 1);
        QMessageBox *about = shownTopLevelAlerts().first();
        QCOMPARE(about->text(), u"Quillcast 2"_s);
        QVERIFY2(about->informativeText().startsWith(u"Release 2.10.1\n"_s), qPrintable(about->informativeText()));
    }

    void serverSettingsOpenThePreferencesAtTheMailServerPanel()
    {
        services->documents().showPreferences(PreferencesWindow::MailServer);
        PreferencesWindow *preferences = services->shell().preferencesWindow();
        QVERIFY(preferences);
        QVERIFY(preferences->isVisible());
        QCOMPARE(preferences->windowTitle(), u"Mail Server"_s);

        // The general command shows it where it is.
        services->application().openPreferences();
        QCOMPARE(preferences->currentPanel(), int(PreferencesWindow::MailServer));
        services->application().openPreferencesAtTab(PreferencesWindow::Update);
        QCOMPARE(preferences->windowTitle(), u"Update"_s);
        QCOMPARE(preferences->currentPanel(), int(PreferencesWindow::Update));
        QCOMPARE(services->shell().preferencesWindow(), preferences);
    }

    void helpOpensTheGuideInstalledOncePerRelease()
    {
        // No guide given: the one printed in this build tree is the one shipped.
        const QString dataFolder = dir->filePath(u"data"_s);
        services->application().setUserDataFolder(dataFolder);
        const QString guideFolder = dataFolder + u"/Quillcast User Guide 2"_s;
        QVERIFY(QDir().mkpath(guideFolder));
        const QString earlier = guideFolder + u"/Quillcast User Guide 2.9.pdf"_s;
        QVERIFY(writeFile(earlier, "%PDF-1.4 an earlier release"));
        services->defaults().setObject(u"StartupActionTag"_s, Value(qint64(4)));
        services->launch({makeMailing(u"given.quill"_s)});
        MailingWindow *window = services->documents().windows().value(0);
        QVERIFY(window);
        auto *help = window->findChild<QMenu *>(u"menuHelp"_s);
        auto *guide = window->findChild<QAction *>(u"actionUserGuide"_s);
        QVERIFY(guide);
        QVERIFY(help->actions().contains(guide));
        QCOMPARE(guide->text(), u"Quillcast User Guide"_s);

        // F1, as the desktop's applications open their manual.
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_F1);
        const QString installed = guideFolder + u"/Quillcast User Guide 2.10.1.pdf"_s;
        QCOMPARE(urls.openedFiles, QStringList{installed});
        const QByteArray guidePdf = fileContents(QStringLiteral(QUILLCAST_BUILT_USER_GUIDE));
        QVERIFY(guidePdf.startsWith("%PDF-"));
        QCOMPARE(fileContents(installed), guidePdf);
        QVERIFY(!QFileInfo::exists(earlier));

        // Once per release: the copy in place is opened as it is.
        QVERIFY(writeFile(installed, "%PDF-1.4 the copy already installed"));
        guide->trigger();
        QCOMPARE(urls.openedFiles, (QStringList{installed, installed}));
        QCOMPARE(fileContents(installed), QByteArray("%PDF-1.4 the copy already installed"));
    }

    void editPreferencesShowsThePreferencesWindowAtItsLastPanel()
    {
        services->defaults().setObject(u"StartupActionTag"_s, Value(qint64(4)));
        services->launch({makeMailing(u"given.quill"_s)});
        MailingWindow *window = services->documents().windows().value(0);
        QVERIFY(window);
        services->preferences().setCurrentPanel(PreferencesWindow::Update);
        QVERIFY(!services->preferences().isVisible());
        auto *preferences = window->findChild<QAction *>(u"actionPreferences"_s);
        QVERIFY(preferences);
        QVERIFY(window->findChild<QMenu *>(u"menuEdit"_s)->actions().contains(preferences));
        preferences->trigger();
        QVERIFY(services->preferences().isVisible());
        QCOMPARE(services->preferences().currentPanel(), int(PreferencesWindow::Update));
    }

    void theShippedGuideIsTheInstalledOneElseTheBuildTreesOne_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::newRow("installed beside the program") << true;
        QTest::newRow("run where it was built") << false;
    }
    void theShippedGuideIsTheInstalledOneElseTheBuildTreesOne()
    {
        QFETCH(bool, installed);
        const QString prefix = dir->filePath(u"prefix"_s);
        QVERIFY(QDir().mkpath(prefix + u"/bin"_s));
        const QString installedGuide = prefix + u"/share/quillcast/Quillcast User Guide 2.pdf"_s;
        if (installed) {
            QVERIFY(QDir().mkpath(prefix + u"/share/quillcast"_s));
            QVERIFY(writeFile(installedGuide, "%PDF-1.4 installed"));
        }
        QCOMPARE(ShippedUserGuide::path(prefix + u"/bin"_s),
                 installed ? installedGuide : QStringLiteral(QUILLCAST_BUILT_USER_GUIDE));
    }

private:
    static QList<FilePanelDialog *> shownPanels()
    {
        QList<FilePanelDialog *> panels;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *panel = qobject_cast<FilePanelDialog *>(widget); panel && panel->isVisible())
                panels.append(panel);
        }
        return panels;
    }

    QString makeMailing(const QString &name)
    {
        const QString path = dir->filePath(name);
        ScriptedAlertPresenter alerts;
        DocumentSession session({SystemClock::instance(), alerts, urls});
        if (const Status created = session.create(path); !created)
            qWarning() << created.error();
        return path;
    }

    UnreachableList updateList;
    RecordingUrlOpener urls;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ApplicationServices> services;
};

int runApplicationServicesTests(int argc, char **argv)
{
    ApplicationServicesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ApplicationServicesTest.moc"
