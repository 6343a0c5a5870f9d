#include "AppTests.h"
#include "MailingWindow.h"
#include "RecordingFileRevealer.h"
#include "RecordingUrlOpener.h"
#include "ScriptedAlertPresenter.h"
#include "TestFiles.h"
#include "app/DocumentController.h"
#include "app/FilePanelDialog.h"
#include "app/RecentDocuments.h"
#include "document/NewerReleaseAlert.h"
#include "document/archive/KeyedArchiver.h"
#include "platform/SettingsFileStore.h"
#include "platform/SystemClock.h"
#include "session/DocumentSession.h"
#include "util/Dict.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillcast;
using namespace quillcast::gui;
using namespace Qt::StringLiterals;
using quillcast::testing::writeFile;

class DocumentControllerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        store = std::make_unique<SettingsFileStore>(dir->filePath(u"settings.ini"_s));
        recent = std::make_unique<RecentDocuments>(*store);
        controller = std::make_unique<DocumentController>(
            DocumentController::Services{SystemClock::instance(), urls, revealer, nullptr, *recent});
        quits = 0;
        controller->setQuitHandler([this] { ++quits; });
    }
    void cleanup()
    {
        controller.reset();
        dismissTopLevelAlerts();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        urls.openedUrls.clear();
    }

    void openingAnOpenMailingRaisesItsWindow()
    {
        const QString path = makeMailing(u"spring.quill"_s);
        QVERIFY(QDir().mkdir(dir->filePath(u"sub"_s)));
        QVERIFY(QFile::link(path, dir->filePath(u"link.quill"_s)));

        QVERIFY(controller->openDocument(path));
        QCOMPARE(controller->windows().size(), 1);
        MailingWindow *window = controller->windows().first();
        QVERIFY(window->isVisible());
        // Other spellings of the same file: the same window.
        QVERIFY(controller->openDocument(dir->filePath(u"sub/../spring.quill"_s)));
        QVERIFY(controller->openDocument(dir->filePath(u"link.quill"_s)));
        QCOMPARE(controller->windows(), QList<MailingWindow *>{window});
        QCOMPARE(controller->windowFor(path), window);
        QVERIFY(shownTopLevelAlerts().isEmpty());
        QCOMPARE(controller->recentDocuments(), QStringList{path});
    }

    void aMailingThatCannotOpenIsExplainedAndGetsNoWindow_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty: no file at all
        QTest::addColumn<QString>("reasonPart");
        QTest::newRow("not a mailing") << QByteArray("this is no mailing") << u"not a Quillcast document"_s;
        QTest::newRow("missing") << QByteArray() << u"spring.quill"_s;
    }
    void aMailingThatCannotOpenIsExplainedAndGetsNoWindow()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reasonPart);
        const QString path = dir->filePath(u"spring.quill"_s);
        if (!bytes.isEmpty())
            QVERIFY(writeFile(path, bytes));

        QVERIFY(!controller->openDocument(path));
        QVERIFY(controller->windows().isEmpty());
        const QList<QMessageBox *> alerts = shownTopLevelAlerts();
        QCOMPARE(alerts.size(), 1);
        QCOMPARE(alerts.first()->text(), DocumentController::openFailedMessage(path));
        QVERIFY2(alerts.first()->informativeText().contains(reasonPart), qPrintable(alerts.first()->informativeText()));
        QCOMPARE(alerts.first()->windowModality(), Qt::ApplicationModal);
        QVERIFY(controller->recentDocuments().isEmpty());
    }

    void aMailingOfANewerReleaseShowsOnlyItsOwnAlert()
    {
        const QString path = dir->filePath(u"future.quill"_s);
        const Result<QByteArray> bytes = KeyedArchiver::archive(Value(Dict{{u"appversion"_s, Value(quint64(20801))}}));
        QVERIFY(bytes.ok());
        QVERIFY(writeFile(path, bytes.value()));

        QVERIFY(!controller->openDocument(path));
        QVERIFY(controller->windows().isEmpty());
        const QList<QMessageBox *> alerts = shownTopLevelAlerts();
        QCOMPARE(alerts.size(), 1);
        QCOMPARE(alerts.first()->text(), NewerReleaseAlert::forDocument().messageText);
        // Its buttons work: the first one leads to the download page.
        auto *download = alerts.first()->findChild<QPushButton *>(u"alertButton0"_s);
        QCOMPARE(download->text(), u"Go to Download Last Version"_s);
        QTest::mouseClick(download, Qt::LeftButton);
        QTRY_COMPARE(urls.openedUrls, QStringList{NewerReleaseAlert::downloadPageUrl().toString()});
    }

    void aMailingAnotherProcessIsChangingIsRefusedWithoutFreezing()
    {
        const QString path = makeMailing(u"busy.quill"_s);
        ScriptedAlertPresenter alerts;
        DocumentSession other({SystemClock::instance(), alerts, urls});
        QVERIFY(other.open(path).ok());

        QElapsedTimer clock;
        clock.start();
        QVERIFY(!controller->openDocument(path));
        QVERIFY2(clock.elapsed() < 1000, "the window waited for the other process");
        QVERIFY(controller->windows().isEmpty());
        QCOMPARE(shownTopLevelAlerts().size(), 1);
    }

    void recentMailingsNewestFirstOnceEachAtMostTen()
    {
        QStringList paths;
        for (int i = 0; i < 12; ++i)
            paths.append(makeMailing(u"m%1.quill"_s.arg(i)));
        for (const QString &path : paths)
            controller->noteRecentDocument(path);
        QStringList expected;
        for (int i = 11; i >= 2; --i)
            expected.append(paths.at(i));
        QCOMPARE(controller->recentDocuments(), expected);

        // Again, under another spelling: to the front, not twice.
        controller->noteRecentDocument(dir->filePath(u"./m5.quill"_s));
        expected.removeAll(paths.at(5));
        expected.prepend(paths.at(5));
        QCOMPARE(controller->recentDocuments(), expected);

        // A file gone meanwhile leaves the list, also the stored one.
        QVERIFY(QFile::remove(paths.at(9)));
        expected.removeAll(paths.at(9));
        QCOMPARE(controller->recentDocuments(), expected);

        // The next run of the program finds the same list.
        RecentDocuments nextRun(*store);
        QCOMPARE(nextRun.paths(), expected);

        controller->clearRecentDocuments();
        QVERIFY(controller->recentDocuments().isEmpty());
        QVERIFY(RecentDocuments(*store).paths().isEmpty());
    }

    void untitledWindowsAreToldApartAndDeletedWhenClosed()
    {
        for (int i = 0; i < 3; ++i)
            controller->newDocument();
        const auto titles = [this] {
            QStringList names;
            for (MailingWindow *window : controller->windows())
                names.append(window->windowTitle());
            return names;
        };
        QCOMPARE(titles(), (QStringList{u"Untitled[*]"_s, u"Untitled 2[*]"_s, u"Untitled 3[*]"_s}));
        QPointer<MailingWindow> second = controller->windows().at(1);
        QPointer<DocumentSession> session = &second->session();
        QVERIFY(second->close());
        QCOMPARE(controller->openDocumentCount(), 2);
        QTRY_VERIFY(second.isNull());
        QVERIFY(session.isNull());
        QCOMPARE(controller->windows().size(), 2);
        controller->newDocument();
        QCOMPARE(titles(), (QStringList{u"Untitled[*]"_s, u"Untitled 3[*]"_s, u"Untitled 2[*]"_s}));
    }

    void quitStopsAtTheFirstWindowThatStaysOpen_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("quitsAfterAll");
        QTest::newRow("Cancel keeps the window") << u"Cancel"_s << false;
        QTest::newRow("Don't Save lets it go") << u"Don't Save"_s << true;
    }
    void quitStopsAtTheFirstWindowThatStaysOpen()
    {
        QFETCH(QString, answer);
        QFETCH(bool, quitsAfterAll);
        QVERIFY(controller->openDocument(makeMailing(u"named.quill"_s)));
        controller->newDocument();
        controller->newDocument();
        const QList<MailingWindow *> windows = controller->windows();
        QCOMPARE(windows.size(), 3);
        QPointer<MailingWindow> named = windows.at(0), edited = windows.at(1), last = windows.at(2);
        // An untitled mailing with edits: closing it asks first.
        edited->session().document().setMailFormSubject(u"Spring offers"_s);
        QVERIFY(edited->session().isEdited());
        QSignalSpy cancelled(controller.get(), &DocumentController::quitCancelled);

        controller->quit();
        QTRY_VERIFY(named.isNull());
        QMessageBox *sheet = nullptr;
        QTRY_VERIFY((sheet = edited->findChild<QMessageBox *>(u"alert"_s)) && sheet->isVisible());
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        // Nothing further happens while the sheet waits for its answer.
        QTest::qWait(20);
        QVERIFY(last && last->isVisible());
        QCOMPARE(quits, 0);

        QPushButton *button = nullptr;
        for (QPushButton *candidate : sheet->findChildren<QPushButton *>()) {
            if (candidate->text() == answer)
                button = candidate;
        }
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);

        if (quitsAfterAll) {
            QTRY_COMPARE(quits, 1);
            QTRY_VERIFY(edited.isNull() && last.isNull());
            QVERIFY(controller->windows().isEmpty());
            QCOMPARE(cancelled.size(), 0);
            return;
        }
        QTRY_COMPARE(cancelled.size(), 1);
        QVERIFY(edited && edited->isVisible() && edited->session().isEdited());
        // Not asked at all: quitting stopped before it.
        QVERIFY(last && last->isVisible());
        QTest::qWait(20);
        QCOMPARE(quits, 0);
        QVERIFY(!controller->isQuitting());
        QCOMPARE(controller->windows().size(), 2);
    }

    void quitWithoutWindowsQuitsAtOnce()
    {
        controller->quit();
        QCOMPARE(quits, 1);
    }

    void openPanelOpensEveryMailingChosen()
    {
        const QString a = makeMailing(u"a.quill"_s);
        const QString b = makeMailing(u"b.quill"_s);
        controller->showOpenPanel(nullptr);
        FilePanelDialog *panel = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<FilePanelDialog *>(widget); dialog && dialog->isVisible())
                panel = dialog;
        }
        QVERIFY(panel);
        QCOMPARE(panel->allowedExtensions(), QStringList{u"quill"_s});
        panel->setDirectory(dir->path());
        panel->selectFile(u"\"a.quill\" \"b.quill\""_s);
        panel->accept();
        QCOMPARE(controller->windows().size(), 2);
        QVERIFY(controller->windowFor(a) && controller->windowFor(b));
    }

    void windowPanelsCarryTheAccessoriesSet()
    {
        QWidget window;
        window.show();
        std::unique_ptr<FilePanel> before = controller->windowServices().makeFilePanel(&window);
        controller->setFilePanelAccessory(FilePanel::Accessory::ExportOptions,
                                          [](QObject *) { return new QWidget; });
        std::unique_ptr<FilePanel> after = controller->windowServices().makeFilePanel(&window);
        FilePanel::SaveRequest request;
        request.accessory = FilePanel::Accessory::ExportOptions;
        for (FilePanel *panel : {before.get(), after.get()})
            panel->runSavePanel(request, [](std::optional<QString>) {});
        const QList<FilePanelDialog *> dialogs = window.findChildren<FilePanelDialog *>();
        QCOMPARE(dialogs.size(), 2);
        QCOMPARE(dialogs.at(0)->findChild<QWidget *>(u"exportAccessory"_s) != nullptr, false);
        QCOMPARE(dialogs.at(1)->findChild<QWidget *>(u"exportAccessory"_s) != nullptr, true);
    }

private:
    QString makeMailing(const QString &name)
    {
        // As the desktop hands it over: absolute, without links.
        const QString path = QDir(QFileInfo(dir->path()).canonicalFilePath()).filePath(name);
        Q_ASSERT(QFileInfo(path).isAbsolute());
        ScriptedAlertPresenter alerts;
        DocumentSession session({SystemClock::instance(), alerts, urls});
        const Status created = session.create(path);
        if (!created)
            qWarning() << created.error();
        return path;
    }

    RecordingUrlOpener urls;
    RecordingFileRevealer revealer;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<SettingsFileStore> store;
    std::unique_ptr<RecentDocuments> recent;
    std::unique_ptr<DocumentController> controller;
    int quits = 0;
};

int runDocumentControllerTests(int argc, char **argv)
{
    DocumentControllerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DocumentControllerTest.moc"
