#include "AppTests.h"
#include "MailingWindow.h"
#include "RecordingUrlOpener.h"
#include "ScriptedAlertPresenter.h"
#include "app/ApplicationServices.h"
#include "app/DocumentController.h"
#include "app/GuiApplicationShell.h"
#include "app/MailerAppDelegate.h"
#include "app/PreferencesPlaceholder.h"
#include "app/ShippedUserGuide.h"
#include "app/update/UpdateListSource.h"
#include "platform/SystemClock.h"
#include "platform/UserDefaults.h"
#include "session/DocumentSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>

using namespace quillcast;
using namespace quillcast::gui;
using namespace Qt::StringLiterals;

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
        ApplicationServices::Options options;
        options.settingsFile = dir->filePath(u"settings.ini"_s);
        options.updateList = &updateList;
        options.urlOpener = &urls;
        options.bus = QDBusConnection(u"no bus"_s);
        services = std::make_unique<ApplicationServices>(std::move(options));
        services->documents().setQuitHandler([] {});
    }
    void cleanup()
    {
        services.reset();
        dismissTopLevelAlerts();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void mailingsGivenAtLaunchOpenAndTheStartupActionFindsThem_data()
    {
        QTest::addColumn<bool>("givenAMailing");
        QTest::addColumn<int>("startupAction");
        QTest::addColumn<int>("windows");
        QTest::newRow("nothing given: a new mailing") << false << 0 << 1;
        QTest::newRow("a mailing given: no new one") << true << 0 << 1;
        QTest::newRow("no startup action") << false << 4 << 0;
    }
    void mailingsGivenAtLaunchOpenAndTheStartupActionFindsThem()
    {
        QFETCH(bool, givenAMailing);
        QFETCH(int, startupAction);
        QFETCH(int, windows);
        services->defaults().setObject(u"StartupActionTag"_s, Value(qint64(startupAction)));
        QStringList paths;
        if (givenAMailing)
            paths.append(makeMailing(u"given.quill"_s));

        services->launch(paths);
        QCOMPARE(services->documents().openDocumentCount(), givenAMailing ? 1 : 0);
        QTest::qWait(afterStartupAction);
        QCOMPARE(services->documents().openDocumentCount(), windows);
        if (givenAMailing)
            QVERIFY(services->documents().windowFor(paths.first()));
        QVERIFY(services->application().finishedLaunching());
    }

    void softwareUpdateStandsInEveryWindowsHelpMenu()
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
            QCOMPARE(titles.value(1), u"Software Update\u2026"_s);
            QCOMPARE(titles.count(u"Software Update\u2026"_s), 1);
        }
    }

    void serverSettingsOpenThePreferencesAtTheMailServerPanel()
    {
        services->documents().showPreferences(PreferencesPlaceholder::MailServer);
        PreferencesPlaceholder *preferences = services->shell().preferencesWindow();
        QVERIFY(preferences);
        QVERIFY(preferences->isVisible());
        QCOMPARE(preferences->windowTitle(), u"Preferences"_s);
        auto *panels = preferences->findChild<QTabBar *>(u"preferencesPanels"_s);
        QCOMPARE(panels->tabText(panels->currentIndex()), u"Mail Server"_s);

        // The general command shows it where it is.
        services->application().openPreferences();
        QCOMPARE(preferences->currentPanel(), int(PreferencesPlaceholder::MailServer));
        services->application().openPreferencesAtTab(PreferencesPlaceholder::Update);
        QCOMPARE(panels->tabText(panels->currentIndex()), u"Update"_s);
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
        QFile shipped(QStringLiteral(QUILLCAST_BUILT_USER_GUIDE));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        const QByteArray guidePdf = shipped.readAll();
        QVERIFY(guidePdf.startsWith("%PDF-"));
        QCOMPARE(readFile(installed), guidePdf);
        QVERIFY(!QFileInfo::exists(earlier));

        // Once per release: the copy in place is opened as it is.
        QVERIFY(writeFile(installed, "%PDF-1.4 the copy already installed"));
        guide->trigger();
        QCOMPARE(urls.openedFiles, (QStringList{installed, installed}));
        QCOMPARE(readFile(installed), QByteArray("%PDF-1.4 the copy already installed"));
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
    static bool writeFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    static QByteArray readFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
