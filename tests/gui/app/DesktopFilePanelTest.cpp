#include "AppTests.h"
#include "app/DesktopFilePanel.h"
#include "app/FilePanelDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace quillcast;
using namespace quillcast::gui;
using namespace Qt::StringLiterals;

namespace {

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class DesktopFilePanelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        window = new QWidget;
        window->resize(800, 600);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        opened.reset();
        openAnswers = 0;
        saved.reset();
        saveAnswers = 0;
    }
    void cleanup()
    {
        delete window;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void savePanelGivesTheNameAnAllowedExtension_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("allowsOther");
        QTest::addColumn<QString>("answered");
        QTest::newRow("no extension") << u"report"_s << true << u"report.csv"_s;
        QTest::newRow("allowed in another case") << u"report.CSV"_s << false << u"report.CSV"_s;
        QTest::newRow("other type allowed") << u"report.txt"_s << true << u"report.txt"_s;
        QTest::newRow("other type refused") << u"report.txt"_s << false << u"report.txt.csv"_s;
    }
    void savePanelGivesTheNameAnAllowedExtension()
    {
        QFETCH(QString, typed);
        QFETCH(bool, allowsOther);
        QFETCH(QString, answered);
        QTemporaryDir dir;
        DesktopFilePanel panel(window);
        FilePanel::SaveRequest request;
        request.proposedName = u"Untitled.csv"_s;
        request.allowedExtensions = {u"csv"_s};
        request.allowsOtherFileTypes = allowsOther;
        panel.runSavePanel(request, [this](std::optional<QString> path) {
            saved = path;
            ++saveAnswers;
        });
        FilePanelDialog *dialog = panel.currentDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->parentWidget(), window);
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QVERIFY(dialog->selectedFiles().value(0).endsWith(u"/Untitled.csv"));

        dialog->setDirectory(dir.path());
        dialog->selectFile(dir.filePath(typed));
        dialog->accept();
        QCOMPARE(saveAnswers, 1);
        QCOMPARE(saved, std::optional<QString>(dir.filePath(answered)));
    }

    void openPanelTakesOnlyWhatTheRequestAllows_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("filesOnly");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("allowed extension") << u"list.csv"_s << true << true;
        QTest::newRow("allowed extension, upper case") << u"LIST.CSV"_s << true << true;
        QTest::newRow("extension as the whole name") << u".csv"_s << true << false;
        QTest::newRow("other extension typed in") << u"notes.txt"_s << true << false;
        QTest::newRow("pipe where only files will do") << u"pipe.csv"_s << true << false;
        QTest::newRow("pipe where anything will do") << u"pipe.csv"_s << false << true;
    }
    void openPanelTakesOnlyWhatTheRequestAllows()
    {
        QFETCH(QString, name);
        QFETCH(bool, filesOnly);
        QFETCH(bool, accepted);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (name.startsWith(u"pipe"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            touch(path);

        DesktopFilePanel panel(window);
        FilePanel::OpenRequest request;
        request.allowedExtensions = {u"csv"_s};
        request.filesOnly = filesOnly;
        request.prompt = u"Select a file to attach"_s;
        panel.runOpenPanel(request, [this](std::optional<QStringList> paths) {
            opened = paths;
            ++openAnswers;
        });
        FilePanelDialog *dialog = panel.currentDialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        // The prompt is the title of the button that takes the choice.
        auto *buttons = dialog->findChild<QDialogButtonBox *>();
        QVERIFY(buttons);
        QStringList titles;
        for (QAbstractButton *button : buttons->buttons())
            titles.append(button->text());
        QVERIFY2(titles.contains(u"Select a file to attach"_s), qPrintable(titles.join(u", ")));

        dialog->setDirectory(dir.path());
        dialog->selectFile(path);
        dialog->accept();
        if (accepted) {
            QCOMPARE(openAnswers, 1);
            QCOMPARE(opened, std::optional<QStringList>(QStringList{path}));
        } else {
            QCOMPARE(openAnswers, 0);
            QVERIFY(dialog->isVisible());
            dialog->reject();
            QCOMPARE(openAnswers, 1);
            QCOMPARE(opened, std::nullopt);
        }
    }

    void folderPanelTakesOnlyAFolder()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(u"drafts"_s));
        touch(dir.filePath(u"list.csv"_s));
        DesktopFilePanel panel(window);
        FilePanel::OpenRequest request;
        request.choosesFolders = true;
        panel.runOpenPanel(request, [this](std::optional<QStringList> paths) {
            opened = paths;
            ++openAnswers;
        });
        FilePanelDialog *dialog = panel.currentDialog();
        dialog->setDirectory(dir.path());
        // A file typed in is no folder.
        dialog->selectFile(dir.filePath(u"list.csv"_s));
        dialog->accept();
        QCOMPARE(openAnswers, 0);
        dialog->selectFile(dir.filePath(u"drafts"_s));
        dialog->accept();
        QCOMPARE(openAnswers, 1);
        QCOMPARE(opened, std::optional<QStringList>(QStringList{dir.filePath(u"drafts"_s)}));
    }

    void multipleSelectionAnswersEveryFile()
    {
        QTemporaryDir dir;
        touch(dir.filePath(u"a.quill"_s));
        touch(dir.filePath(u"b.quill"_s));
        DesktopFilePanel panel(window);
        FilePanel::OpenRequest request;
        request.allowedExtensions = {u"quill"_s};
        request.allowsMultipleSelection = true;
        panel.runOpenPanel(request, [this](std::optional<QStringList> paths) { opened = paths; });
        FilePanelDialog *dialog = panel.currentDialog();
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
        dialog->setDirectory(dir.path());
        dialog->selectFile(u"\"a.quill\" \"b.quill\""_s);
        dialog->accept();
        QVERIFY(opened);
        QStringList chosen = *opened;
        chosen.sort();
        QCOMPARE(chosen, (QStringList{dir.filePath(u"a.quill"_s), dir.filePath(u"b.quill"_s)}));
    }

    void allowedExtensionsChangeOnThePanelShown()
    {
        QTemporaryDir dir;
        touch(dir.filePath(u"list.tsv"_s));
        DesktopFilePanel panel(window);
        FilePanel::OpenRequest request;
        request.allowedExtensions = {u"csv"_s};
        panel.runOpenPanel(request, [this](std::optional<QStringList> paths) { opened = paths; });
        FilePanelDialog *dialog = panel.currentDialog();
        QVERIFY(dialog->nameFilters().join(u' ').contains(u"*.csv"));

        // The import's format choice moves to tab-separated text.
        panel.setAllowedExtensions({u"tsv"_s});
        QVERIFY(dialog->nameFilters().join(u' ').contains(u"*.tsv"));
        QVERIFY(!dialog->nameFilters().join(u' ').contains(u"*.csv"));
        dialog->setDirectory(dir.path());
        dialog->selectFile(dir.filePath(u"list.tsv"_s));
        dialog->accept();
        QCOMPARE(opened, std::optional<QStringList>(QStringList{dir.filePath(u"list.tsv"_s)}));

        // No panel shown: nothing to change, nothing breaks.
        panel.setAllowedExtensions({u"csv"_s});
    }

    void accessoryComesFromItsFactory_data()
    {
        QTest::addColumn<bool>("factorySet");
        QTest::newRow("factory set") << true;
        QTest::newRow("none set") << false;
    }
    void accessoryComesFromItsFactory()
    {
        QFETCH(bool, factorySet);
        DesktopFilePanel panel(window);
        QObject manager;
        QObject *askedFor = nullptr;
        if (factorySet) {
            panel.setAccessoryFactory(FilePanel::Accessory::ImportOptions, [&askedFor](QObject *owner) {
                askedFor = owner;
                return new QLabel(u"Encoding"_s);
            });
        }
        FilePanel::OpenRequest request;
        request.accessory = FilePanel::Accessory::ImportOptions;
        request.accessoryOwner = &manager;
        panel.runOpenPanel(request, [](std::optional<QStringList>) {});
        FilePanelDialog *dialog = panel.currentDialog();
        auto *accessory = dialog->findChild<QLabel *>(u"importAccessory"_s);
        QCOMPARE(accessory != nullptr, factorySet);
        QCOMPARE(askedFor, factorySet ? &manager : nullptr);
        if (accessory) {
            dialog->resize(700, 500);
            QCoreApplication::processEvents();
            QVERIFY(accessory->isVisible());
            QVERIFY(dialog->rect().contains(accessory->geometry()));
        }
        dialog->reject();
    }

    void windowClosedUnderThePanelAnswersOnceAsACancel()
    {
        DesktopFilePanel panel(window);
        bool answeredDuringDestruction = false;
        QPointer<QWidget> watched(window);
        panel.runOpenPanel(FilePanel::OpenRequest{}, [&, watched](std::optional<QStringList> paths) {
            opened = paths;
            ++openAnswers;
            answeredDuringDestruction = !watched.isNull();
        });
        delete window;
        window = nullptr;
        QCOMPARE(openAnswers, 0);
        QTRY_COMPARE(openAnswers, 1);
        QCOMPARE(opened, std::nullopt);
        QVERIFY(!answeredDuringDestruction);
        QVERIFY(!panel.currentDialog());
        QTest::qWait(20);
        QCOMPARE(openAnswers, 1);
    }

    void freeStandingPanelIsApplicationModal()
    {
        DesktopFilePanel panel;
        panel.runOpenPanel(FilePanel::OpenRequest{}, [this](std::optional<QStringList>) { ++openAnswers; });
        FilePanelDialog *dialog = panel.currentDialog();
        QVERIFY(!dialog->parentWidget());
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        QVERIFY(dialog->isVisible());
        dialog->reject();
        QCOMPARE(openAnswers, 1);
    }

private:
    QWidget *window = nullptr;
    std::optional<QStringList> opened;
    int openAnswers = 0;
    std::optional<QString> saved;
    int saveAnswers = 0;
};

int runDesktopFilePanelTests(int argc, char **argv)
{
    DesktopFilePanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DesktopFilePanelTest.moc"
