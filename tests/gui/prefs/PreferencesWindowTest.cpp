#include "AccessibleNames.h"
#include "RecordingUrlOpener.h"
#include "ScriptedAlertPresenter.h"
#include "IsolatedApplication.h"
#include "app/ApplicationServices.h"
#include "app/DocumentController.h"
#include "app/FilePanelDialog.h"
#include "app/MailerAppDelegate.h"
#include "app/update/UpdateListSource.h"
#include "platform/LXBookmark.h"
#include "platform/SettingsFileStore.h"
#include "platform/SystemClock.h"
#include "platform/UserDefaults.h"
#include "connections/ConnectionList.h"
#include "prefs/DefaultsBinding.h"
#include "prefs/MailServerPane.h"
#include "prefs/PreferencesWindow.h"
#include "session/DocumentSession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

using namespace quillcast;
using namespace quillcast::gui;
using namespace Qt::StringLiterals;
using namespace quillcast::gui::testing;

namespace {

// The maker's update list as a test sets it: a release, or nothing (server
// out of reach).
struct ScriptedList final : UpdateListSource
{
    std::optional<Dict> fetch(const QUrl &, std::stop_token) override
    {
        if (latestRelease == 0)
            return std::nullopt;
        Dict list;
        list.set(u"LRA"_s, Value(qint64(latestRelease.load())));
        list.set(u"GFU"_s, Value(u"http://127.0.0.1/update"_s));
        list.set(u"DPU"_s, Value(u"http://127.0.0.1/page"_s));
        return list;
    }
    std::atomic<qint64> latestRelease = 0;
};

QList<QMessageBox *> shownAlerts()
{
    QList<QMessageBox *> boxes;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible())
            boxes.append(box);
    }
    return boxes;
}

constexpr int generalHeight = 210;
constexpr int mailServerHeight = 534;
constexpr int updateHeight = 151;

} // namespace

class PreferencesWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        services = std::make_unique<ApplicationServices>(
            isolatedApplication(dir->filePath(u"settings.ini"_s), list, urls));
        window = &services->preferences();
        window->present();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }
    void cleanup()
    {
        for (QMessageBox *box : shownAlerts())
            box->done(0);
        services.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void toolbarSwitchesPanelsTitlesAndHeightsKeepingTheTopEdge_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("contentHeight");
        QTest::newRow("general to mail server") << 0 << 1 << u"Mail Server"_s << mailServerHeight;
        QTest::newRow("mail server to update: 383 shorter") << 1 << 2 << u"Update"_s << updateHeight;
        QTest::newRow("update to general") << 2 << 0 << u"General"_s << generalHeight;
        QTest::newRow("the panel shown again") << 2 << 2 << u"Update"_s << updateHeight;
    }
    void toolbarSwitchesPanelsTitlesAndHeightsKeepingTheTopEdge()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, title);
        QFETCH(int, contentHeight);
        window->setCurrentPanel(from);
        window->move(window->x(), 120);
        const QRect before = window->geometry();

        QTest::mouseClick(panelButton(to), Qt::LeftButton);

        QCOMPARE(window->currentPanel(), to);
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(window->height(), contentHeight + toolbar()->sizeHint().height());
        QCOMPARE(window->geometry().top(), before.top());
        QCOMPARE(window->geometry().left(), before.left());
        QCOMPARE(window->width(), before.width());
        QVERIFY(panelButton(to)->isChecked());
        for (int other = 0; other < 3; ++other)
            QCOMPARE(panelButton(other)->isChecked(), other == to);
    }

    void panelsOutsideTheToolbarChangeNothing()
    {
        window->setCurrentPanel(PreferencesWindow::Update);
        const QRect before = window->geometry();
        for (int panel : {3, 7, -1}) {
            window->setCurrentPanel(panel);
            QCOMPARE(window->currentPanel(), int(PreferencesWindow::Update));
            QCOMPARE(window->geometry(), before);
            QCOMPARE(window->windowTitle(), u"Update"_s);
        }
    }

    void toolbarHoldsTheThreePanelsWithPicturesAndNoCustomisation()
    {
        QStringList labels;
        for (QAction *action : toolbar()->actions()) {
            labels.append(action->text());
            QVERIFY2(!action->icon().isNull(), qPrintable(action->text()));
            QCOMPARE(action->toolTip(), action->text());
        }
        QCOMPARE(labels, (QStringList{u"General"_s, u"Mail Server"_s, u"Update"_s}));
        QCOMPARE(toolbar()->contextMenuPolicy(), Qt::PreventContextMenu);
        QVERIFY(!toolbar()->isMovable());
    }

    void everyPanelFitsItsHeight()
    {
        // A panel that needs more than its height is drawn cramped.
        for (const char *name : {"generalPreferencesPane", "updatePreferencesPane"}) {
            auto *pane = window->findChild<QWidget *>(QString::fromLatin1(name));
            QVERIFY(pane);
            const int height = pane->objectName().startsWith(u"general"_s) ? generalHeight : updateHeight;
            QVERIFY2(pane->minimumSizeHint().height() <= height,
                     qPrintable(u"%1 needs %2"_s.arg(pane->objectName()).arg(pane->minimumSizeHint().height())));
            QVERIFY2(pane->minimumSizeHint().width() <= window->width(), name);
        }
    }

    void mailServerPanelShowsWhatItsFactoryMakes()
    {
        // The application's window holds the connection editor; without a
        // factory a note stands in its place.
        QVERIFY(window->findChild<MailServerPane *>());
        QVERIFY(!window->findChild<QLabel *>(u"mailServerNote"_s));
        PreferencesWindow bare({services->application(), services->defaults()}, {});
        QVERIFY(bare.findChild<QLabel *>(u"mailServerNote"_s));
        QVERIFY(!bare.findChild<MailServerPane *>());
    }

    // The window's Undo and Redo keys reach the connection editor's stack,
    // and only one shortcut answers each key (two would cancel each other).
    void undoAndRedoKeysActOnTheConnections()
    {
        window->setCurrentPanel(PreferencesWindow::MailServer);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        const auto count = [this] { return services->application().connections().connectionArray().size(); };
        const qsizetype before = count();
        auto *add = window->findChild<QPushButton *>(u"addConnectionButton"_s);
        QVERIFY(add);
        add->click();
        QCOMPARE(count(), before + 1);
        add->setFocus();
        QTest::keySequence(window, QKeySequence::Undo);
        QCOMPARE(count(), before);
        // An empty list is stored like any other.
        QVERIFY(shownAlerts().isEmpty());
        // Not from a text field: there the keys undo the typing.
        add->setFocus();
        QTest::keySequence(window, QKeySequence(u"Ctrl+Shift+Z"_s));
        QCOMPARE(count(), before + 1);
    }

    void startupDocumentControlsAreEnabledForTheActionThatOpensIt_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("new mailing") << 0 << false;
        QTest::newRow("open panel if none") << 1 << false;
        QTest::newRow("open panel") << 2 << false;
        QTest::newRow("startup mailing") << 3 << true;
    }
    void startupDocumentControlsAreEnabledForTheActionThatOpensIt()
    {
        QFETCH(int, action);
        QFETCH(bool, enabled);
        auto *popup = window->findChild<QComboBox *>(u"startupActionPopup"_s);
        // Chosen as a user does: from the popup's list.
        popup->setCurrentIndex(action == 0 ? 1 : 0);
        popup->setFocus();
        QTest::keyClick(popup, Qt::Key_Home);
        for (int i = 0; i < action; ++i)
            QTest::keyClick(popup, Qt::Key_Down);
        QCOMPARE(popup->currentIndex(), action);
        QCOMPARE(services->defaults().integerForKey(u"StartupActionTag"_s), action);
        for (const char *name : {"selectStartupDocButton", "clearStartupDocButton", "testStartupDocButton",
                                 "showStartupDocButton", "startupDocumentName", "startupDocumentPath"}) {
            QCOMPARE(window->findChild<QWidget *>(QString::fromLatin1(name))->isEnabled(), enabled);
        }
    }

    void controlsFollowTheDefaultsWhoeverChangesThem()
    {
        auto *popup = window->findChild<QComboBox *>(u"startupActionPopup"_s);
        auto *notify = window->findChild<QCheckBox *>(u"notifyUpdateCheckBox"_s);
        // A fresh user: the registered values.
        QCOMPARE(popup->currentIndex(), 0);
        QVERIFY(notify->isChecked());
        services->defaults().setObject(u"StartupActionTag"_s, Value(qint64(3)));
        services->defaults().setObject(u"notifyUpdate"_s, Value(false));
        QCOMPARE(popup->currentIndex(), 3);
        QVERIFY(!notify->isChecked());
        QVERIFY(window->findChild<QPushButton *>(u"testStartupDocButton"_s)->isEnabled());

        // And the user's change is stored.
        notify->click();
        QVERIFY(services->defaults().isStored(u"notifyUpdate"_s));
        QVERIFY(services->defaults().boolForKey(u"notifyUpdate"_s));
    }

    void selectChoosesTheStartupMailingInAFilesOnlyPanel()
    {
        services->defaults().setObject(u"StartupActionTag"_s, Value(qint64(3)));
        const QString path = dir->filePath(u"startup.quill"_s);
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));

        QTest::mouseClick(window->findChild<QPushButton *>(u"selectStartupDocButton"_s), Qt::LeftButton);
        auto *panel = window->findChild<FilePanelDialog *>();
        QVERIFY(panel);
        QVERIFY(panel->isVisible());
        QCOMPARE(panel->windowModality(), Qt::WindowModal);
        QCOMPARE(panel->labelText(QFileDialog::Accept), u"Select"_s);
        QCOMPARE(panel->allowedExtensions(), QStringList{u"quill"_s});
        QCOMPARE(panel->fileMode(), QFileDialog::ExistingFile);
        panel->setDirectory(dir->path());
        panel->selectFile(u"startup.quill"_s);
        panel->accept();

        QCOMPARE(label(u"startupDocumentName"_s), u"startup.quill"_s);
        QCOMPARE(label(u"startupDocumentPath"_s), QFileInfo(path).absoluteFilePath());
        QCOMPARE(label(u"startupDocumentStatus"_s), QString());

        QTest::mouseClick(window->findChild<QPushButton *>(u"clearStartupDocButton"_s), Qt::LeftButton);
        QCOMPARE(label(u"startupDocumentName"_s), QString());
        QCOMPARE(label(u"startupDocumentPath"_s), QString());
        QCOMPARE(label(u"startupDocumentStatus"_s), u"Please select a file or change startup option"_s);
    }

    void testOpensTheStartupMailingAndShowInFolderRevealsIt()
    {
        services->defaults().setObject(u"StartupActionTag"_s, Value(qint64(3)));
        const QString path = dir->filePath(u"startup.quill"_s);
        {
            ScriptedAlertPresenter alerts;
            DocumentSession session({SystemClock::instance(), alerts, urls});
            QVERIFY(session.create(path));
        }
        services->defaults().setObject(u"StartupSelectedDocBookmark"_s, Value(*LXBookmark::bookmarkForURL_RW(path)));

        QTest::mouseClick(window->findChild<QPushButton *>(u"testStartupDocButton"_s), Qt::LeftButton);
        QCOMPARE(services->documents().openDocumentCount(), 1);
        QVERIFY(services->documents().windowFor(path));

        // Without a file manager on the bus, the folder opens.
        QTest::mouseClick(window->findChild<QPushButton *>(u"showStartupDocButton"_s), Qt::LeftButton);
        QTRY_COMPARE(urls.openedUrls.size() + urls.openedFiles.size(), 1);
        const QString shown = urls.openedUrls.isEmpty() ? urls.openedFiles.first() : urls.openedUrls.first();
        QVERIFY2(shown.contains(QFileInfo(dir->path()).fileName()), qPrintable(shown));
    }

    void checkNowReportsWhatTheServerSays_data()
    {
        QTest::addColumn<qint64>("latestRelease");
        QTest::addColumn<QString>("alert");
        QTest::newRow("newer release") << qint64(21002) << u"There is an update available for Quillcast"_s;
        QTest::newRow("this release") << qint64(21001) << u"Quillcast is up to date"_s;
        QTest::newRow("server out of reach") << qint64(0)
                                             << u"Quillcast was not able to connect to the Vantreel server"_s;
    }
    void checkNowReportsWhatTheServerSays()
    {
        QFETCH(qint64, latestRelease);
        QFETCH(QString, alert);
        list.latestRelease = latestRelease;
        window->setCurrentPanel(PreferencesWindow::Update);
        QCOMPARE(label(u"lastUpdateCheck"_s), u"Never checked"_s);
        QTest::mouseClick(window->findChild<QPushButton *>(u"checkNowButton"_s), Qt::LeftButton);
        QTRY_COMPARE(shownAlerts().size(), 1);
        QCOMPARE(shownAlerts().first()->text(), alert);
        // Only a list that came back counts as a check.
        QCOMPARE(label(u"lastUpdateCheck"_s).startsWith(u"Last checked: "_s), latestRelease != 0);
    }

    void everyControlIsNamedAndTabsInVisualOrder()
    {
        QStringList focusable;
        for (QWidget *w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
            if (w->focusPolicy() & Qt::TabFocus && w->window() == window
                && !qobject_cast<QToolBar *>(w->parentWidget())) {
                QVERIFY2(!w->objectName().isEmpty(), w->metaObject()->className());
                focusable.append(w->objectName());
            }
        }
        // The spin box's own line edit is Qt's, named by Qt.
        focusable.removeAll(u"qt_spinbox_lineedit"_s);
        QCOMPARE(focusable,
                 (QStringList{u"connectionTable"_s, u"addConnectionButton"_s, u"deleteConnectionButton"_s,
                              u"lockButton"_s, u"descriptionField"_s, u"serverField"_s, u"port25Button"_s,
                              u"portCustomButton"_s, u"customPortField"_s, u"port465Button"_s,
                              u"securityPopUp"_s, u"authenticationCheckBox"_s, u"userField"_s,
                              u"passwordField"_s, u"testButton"_s, u"startupActionPopup"_s, u"selectStartupDocButton"_s, u"clearStartupDocButton"_s,
                              u"testStartupDocButton"_s, u"showStartupDocButton"_s, u"notifyUpdateCheckBox"_s,
                              u"checkNowButton"_s}));
        for (int panel = 0; panel < 3; ++panel) {
            QVERIFY(!panelButton(panel)->accessibleName().isEmpty());
            window->setCurrentPanel(panel);
            const QStringList unnamed = unnamedControls(*window);
            QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u", "_s)));
        }
    }

    void bindingFollowsTheTransformer_data()
    {
        QTest::addColumn<QString>("transformer");
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("shown");
        // What is stored after the user clicks the box; none: nothing stored.
        QTest::addColumn<Value>("storedAfterClick");
        // What each transformer reads and writes: the core's transformer
        // tests. Here the binding's two directions: "valueIs3" writes back 3
        // for true and none for false, so the registered fallback shows again.
        QTest::newRow("valueIs3 of 3") << u"valueIs3"_s << 3 << true << Value();
        QTest::newRow("valueIs3 of 0") << u"valueIs3"_s << 0 << false << Value(qint64(3));
        // Without a reverse conversion the control never writes.
        QTest::newRow("valueNot0 of 5, one-way") << u"valueNot0"_s << 5 << true << Value(qint64(5));
    }
    void bindingFollowsTheTransformer()
    {
        QFETCH(QString, transformer);
        QFETCH(int, stored);
        QFETCH(bool, shown);
        QFETCH(Value, storedAfterClick);
        UserDefaults &defaults = services->defaults();
        const QString key = u"StartupActionTag"_s;
        defaults.setObject(key, Value(qint64(stored)));
        QCheckBox box(u"Bound"_s);
        QVERIFY(DefaultsBinding::bind(&box, "checked", defaults, key, services->application().valueTransformers(),
                                      transformer));
        QCOMPARE(box.isChecked(), shown);
        box.click();
        QCOMPARE(defaults.isStored(key), !storedAfterClick.isNull());
        if (!storedAfterClick.isNull())
            QCOMPARE(defaults.integerForKey(key), storedAfterClick.toInt64());
    }

    void refusedWriteLeavesTheControlShowingWhatIsStored()
    {
        // A settings file that cannot be made: its folder is a file.
        QVERIFY(QFile(dir->filePath(u"blocker"_s)).open(QIODevice::WriteOnly));
        SettingsFileStore store(dir->filePath(u"blocker/settings.ini"_s));
        UserDefaults defaults(store);
        defaults.registerDefaults(Dict{{u"notifyUpdate"_s, Value(true)}});
        QCheckBox box(u"Bound"_s);
        QVERIFY(DefaultsBinding::bind(&box, "checked", defaults, u"notifyUpdate"_s));
        QVERIFY(box.isChecked());

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"notifyUpdate could not be stored"_s));
        box.click();
        QVERIFY(box.isChecked());
        QVERIFY(!defaults.isStored(u"notifyUpdate"_s));
    }

    void unknownTransformerBindsNothing()
    {
        QCheckBox box;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"No value transformer named valueIs9"_s));
        QVERIFY(!DefaultsBinding::bind(&box, "checked", services->defaults(), u"StartupActionTag"_s,
                                       services->application().valueTransformers(), u"valueIs9"_s));
        // The binding goes with its control: later writes reach no one.
        {
            QCheckBox shortLived;
            DefaultsBinding::bind(&shortLived, "checked", services->defaults(), u"notifyUpdate"_s);
        }
        services->defaults().setObject(u"notifyUpdate"_s, Value(false));
    }

private:
    QToolBar *toolbar() const { return window->findChild<QToolBar *>(u"preferencesToolbar"_s); }
    QToolButton *panelButton(int panel) const
    {
        return window->findChild<QToolButton *>(u"preferencesPanelButton%1"_s.arg(panel));
    }
    QString label(const QString &name) const { return window->findChild<QLabel *>(name)->text(); }

    ScriptedList list;
    RecordingUrlOpener urls;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ApplicationServices> services;
    PreferencesWindow *window = nullptr;
};

QTEST_MAIN(PreferencesWindowTest)

#include "PreferencesWindowTest.moc"
