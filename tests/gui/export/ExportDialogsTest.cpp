#include "AccessibleNames.h"
#include "CliRunner.h"
#include "DialogFixture.h"
#include "TestFiles.h"
#include "app/FilePanelDialog.h"
#include "export/ExportAccessory.h"
#include "export/ExportFlow.h"
#include "export/ExportSettingsSheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillcast;
using namespace quillcast::gui;
using namespace quillcast::gui::testing;
using namespace Qt::StringLiterals;

namespace {

QStringList titles(const QListWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->item(i)->text());
    return names;
}

void select(QListWidget *list, const QList<int> &rows)
{
    list->clearSelection();
    for (int row : rows)
        list->item(row)->setSelected(true);
}

void chooseLayout(ExportSettingsSheet &sheet, const QString &title)
{
    QComboBox *popUp = sheet.layoutPopUp();
    const int index = popUp->findText(title);
    QVERIFY(index >= 0);
    popUp->setCurrentIndex(index);
    Q_EMIT popUp->activated(index);
}

} // namespace

class ExportDialogsTest : public QObject
{
    Q_OBJECT

private:
    // Until the background write has ended and its sheet has gone.
    void waitForTheWrite()
    {
        QTRY_VERIFY(!flow->settingsSheet() && !flow->progressSheet()
                    && !(flow->exporter() && flow->exporter()->isWriting()));
    }

    std::unique_ptr<DialogFixture> fixture;
    std::unique_ptr<ExportFlow> flow;
    std::unique_ptr<QTemporaryDir> folder;
    QString mailing;

    QString path(const QString &name) const { return folder->filePath(name); }

    ExportSettingsSheet *openSheet()
    {
        flow->start();
        ExportSettingsSheet *sheet = flow->settingsSheet();
        if (sheet && !QTest::qWaitForWindowExposed(sheet))
            return nullptr;
        return sheet;
    }

private Q_SLOTS:
    void init()
    {
        folder = std::make_unique<QTemporaryDir>();
        mailing = path(u"club.quill"_s);
        QVERIFY(QFile::copy(QStringLiteral(QUILLCAST_EXAMPLES_DIR "/sample.quill"), mailing));
        QFile::setPermissions(mailing, QFile::ReadOwner | QFile::WriteOwner);
        fixture = std::make_unique<DialogFixture>(DialogFixture::Panel::Scripted);
        QVERIFY(fixture->session.open(mailing).ok());
        QVERIFY(QTest::qWaitForWindowExposed(&fixture->window));
        flow = std::make_unique<ExportFlow>(*fixture->context);
    }
    void cleanup()
    {
        flow.reset();
        fixture.reset();
        folder.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void everyLayoutWritesWhatTheCommandLineWrites_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QString>("cliFormat");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<bool>("exceptions");
        QTest::newRow("tab-separated text") << u"Tab-separated text"_s << u"tsv"_s << u"tsv"_s << false;
        QTest::newRow("quoted CSV") << u"Quoted CSV"_s << u"quoted-csv"_s << u"csv"_s << false;
        QTest::newRow("plain CSV") << u"Plain CSV"_s << u"csv"_s << u"csv"_s << false;
        QTest::newRow("HTML table") << u"HTML table"_s << u"html-table"_s << u"txt"_s << false;
        QTest::newRow("HTML page") << u"HTML page"_s << u"html-page"_s << u"html"_s << false;
        QTest::newRow("custom") << u"Custom"_s << u"custom"_s << u"txt"_s << false;
        QTest::newRow("exceptions as quoted CSV") << u"Quoted CSV"_s << u"quoted-csv"_s << u"csv"_s << true;
    }
    void everyLayoutWritesWhatTheCommandLineWrites()
    {
        QFETCH(QString, layout);
        QFETCH(QString, cliFormat);
        QFETCH(QString, extension);
        QFETCH(bool, exceptions);
        if (exceptions)
            fixture->doc().setSelectedTab(MyDocument::ExceptionTab);
        ExportSettingsSheet *sheet = openSheet();
        QVERIFY(sheet);
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        QTest::mouseClick(button(*sheet, u"addAllButton"_s), Qt::LeftButton);
        chooseLayout(*sheet, layout);
        QStringList cli{u"export"_s, mailing, path(u"cli.out"_s), u"--format"_s, cliFormat, u"--names-row"_s};
        if (exceptions)
            cli << u"--exceptions"_s;
        if (layout == u"Custom") {
            const QStringList typed{u"BEGIN\\n"_s, u"END"_s, u"["_s, u"]\\n"_s, u"<"_s, u">"_s, u"\\t"_s};
            const QStringList options{u"--custom-start-of-file"_s,   u"--custom-end-of-file"_s,
                                      u"--custom-start-of-record"_s, u"--custom-end-of-record"_s,
                                      u"--custom-field-open-tag"_s,  u"--custom-field-close-tag"_s,
                                      u"--custom-field-separator"_s};
            for (int i = 0; i < typed.size(); ++i) {
                QLineEdit *field = sheet->delimiterFields()[i];
                QVERIFY(!field->isReadOnly());
                field->setFocus();
                QTest::keyClicks(field, typed[i]);
                cli << options[i] << typed[i];
            }
            sheet->afterLastCheckBox()->click();
            QVERIFY(!sheet->afterLastCheckBox()->isChecked());
            cli << u"--custom-end-of-record-after-last"_s << u"no"_s;
        }
        sheet->namesRowCheckBox()->click();

        const QString written = path(u"gui.out"_s);
        fixture->scriptedPanel.queueSaveAnswer(written);
        QTest::mouseClick(button(*sheet, u"exportButton"_s), Qt::LeftButton);
        waitForTheWrite();
        QCOMPARE(fixture->scriptedPanel.saveRequests().size(), 1);
        const FilePanel::SaveRequest request = fixture->scriptedPanel.saveRequests().first();
        QCOMPARE(request.proposedName, exceptions ? u"club Except Export"_s : u"club Export"_s);
        QCOMPARE(request.allowedExtensions, QStringList{extension});
        QVERIFY(request.allowsOtherFileTypes);
        QCOMPARE(request.window, &fixture->window);

        const clitest::CliRun run = clitest::runCli(cli);
        QCOMPARE(run.status, 0);
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        const QByteArray fromWindow = quillcast::testing::fileContents(written);
        QVERIFY(!fromWindow.isEmpty());
        QCOMPARE(fromWindow, quillcast::testing::fileContents(path(u"cli.out"_s)));
    }

    void theKeyListsMoveSeveralKeysAtOnce()
    {
        ExportSettingsSheet *sheet = openSheet();
        QVERIFY(sheet);
        QListWidget *left = sheet->leftList();
        QListWidget *right = sheet->rightList();
        const QStringList offered = titles(left);
        QVERIFY(offered.size() >= 4);
        QVERIFY(!offered.contains(u"#"_s));
        QVERIFY(!offered.contains(u"sel"_s));
        QCOMPARE(offered.first(), u"email"_s);

        const QStringList order = tabOrder(*sheet, left);
        QCOMPARE(unnamedControls(*sheet), QStringList());
        QStringList buttons{u"cancelExportButton"_s, u"exportButton"_s};
        if (button(*sheet, u"exportButton"_s)->x() < button(*sheet, u"cancelExportButton"_s)->x())
            buttons = QStringList{u"exportButton"_s, u"cancelExportButton"_s};
        QCOMPARE(order,
                 (QStringList{u"keysNotChosenList"_s, u"addSelectedButton"_s, u"addAllButton"_s,
                              u"removeSelectedButton"_s, u"removeAllButton"_s, u"moveUpButton"_s,
                              u"moveDownButton"_s, u"keysChosenList"_s, u"exportLayoutPopUp"_s,
                              u"startOfFileField"_s, u"endOfFileField"_s, u"startOfRecordField"_s,
                              u"endOfRecordField"_s, u"fieldOpenTagField"_s, u"fieldCloseTagField"_s,
                              u"fieldSeparatorField"_s, u"endOfRecordAfterLastCheckBox"_s, u"namesRowCheckBox"_s}
                  + buttons));

        select(left, {0, 2, 3});
        QTest::mouseClick(button(*sheet, u"addSelectedButton"_s), Qt::LeftButton);
        QCOMPARE(titles(right), (QStringList{offered[0], offered[2], offered[3]}));
        QCOMPARE(titles(left).first(), offered[1]);

        // Up: the last selected key goes above the first selected one.
        select(right, {1, 2});
        QTest::mouseClick(button(*sheet, u"moveUpButton"_s), Qt::LeftButton);
        QCOMPARE(titles(right), (QStringList{offered[3], offered[0], offered[2]}));
        select(right, {0});
        QTest::mouseClick(button(*sheet, u"moveDownButton"_s), Qt::LeftButton);
        QCOMPARE(titles(right), (QStringList{offered[0], offered[3], offered[2]}));
        QVERIFY2(right->item(1)->isSelected(), "the selection follows the moved key");

        select(right, {0, 2});
        QTest::mouseClick(button(*sheet, u"removeSelectedButton"_s), Qt::LeftButton);
        QCOMPARE(titles(right), QStringList{offered[3]});
        QCOMPARE(titles(left).mid(titles(left).size() - 2), (QStringList{offered[0], offered[2]}));
        QTest::mouseClick(button(*sheet, u"removeAllButton"_s), Qt::LeftButton);
        QVERIFY(titles(right).isEmpty());
        QCOMPARE(titles(left).size(), offered.size());
        QTest::mouseClick(button(*sheet, u"addAllButton"_s), Qt::LeftButton);
        QVERIFY(titles(left).isEmpty());
        QCOMPARE(titles(right).size(), offered.size());
    }

    // What each layout writes into the fields is the core's export manager
    // tests; here the sheet shows it, over what was typed before.
    void theLayoutPopUpFillsTheDelimiterFields_data()
    {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("afterLast");
        QTest::newRow("quoted CSV") << u"Quoted CSV"_s
                                    << QStringList{{}, {}, {}, u"\\n"_s, u"\""_s, u"\""_s, u","_s} << false;
        QTest::newRow("HTML table") << u"HTML table"_s
                                    << QStringList{u"<table>"_s, u"</table>"_s, u"<tr>"_s, u"</tr>"_s, u"<td>"_s,
                                                   u"</td>"_s, {}}
                                    << true;
    }
    void theLayoutPopUpFillsTheDelimiterFields()
    {
        QFETCH(QString, layout);
        QFETCH(QStringList, fields);
        QFETCH(bool, afterLast);
        ExportSettingsSheet *sheet = openSheet();
        QVERIFY(sheet);
        // Every export starts on tab-separated text with the fields empty.
        QCOMPARE(sheet->layoutPopUp()->currentText(), u"Tab-separated text"_s);
        for (QLineEdit *field : sheet->delimiterFields())
            QVERIFY(field->text().isEmpty());
        // A custom layout typed before another one is picked is replaced.
        chooseLayout(*sheet, u"Custom"_s);
        QTest::keyClicks(sheet->delimiterFields()[0], u"left over"_s);
        chooseLayout(*sheet, layout);
        QStringList shown;
        for (QLineEdit *field : sheet->delimiterFields())
            shown.append(field->text());
        QCOMPARE(shown, fields);
        QCOMPARE(sheet->afterLastCheckBox()->isChecked(), afterLast);
    }

    void theSavePanelProposesTheNameWithTheLayoutsExtensionAndOffersTheOthers()
    {
        // The desktop's own save panel this time.
        flow.reset();
        fixture = std::make_unique<DialogFixture>(DialogFixture::Panel::Desktop);
        QVERIFY(fixture->session.open(mailing).ok());
        flow = std::make_unique<ExportFlow>(*fixture->context);
        ExportSettingsSheet *sheet = openSheet();
        QVERIFY(sheet);
        QTest::mouseClick(button(*sheet, u"addAllButton"_s), Qt::LeftButton);
        chooseLayout(*sheet, u"HTML page"_s);
        QTest::mouseClick(button(*sheet, u"exportButton"_s), Qt::LeftButton);

        FilePanelDialog *panel = fixture->desktopPanel.currentDialog();
        QVERIFY(panel);
        QTRY_VERIFY(panel->isVisible());
        QCOMPARE(panel->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(panel->allowedExtensions(), QStringList{u"html"_s});
        QVERIFY(panel->selectedFiles().value(0).endsWith(u"/club Export"_s));
        auto *accessory = panel->findChild<ExportAccessory *>();
        QVERIFY(accessory);
        QCOMPARE(accessory->fileTypePopUp()->currentText(), u"html"_s);
        QCOMPARE(unnamedControls(*accessory), QStringList());
        accessory->fileTypePopUp()->setCurrentText(u"txt"_s);
        QCOMPARE(panel->allowedExtensions(), QStringList{u"txt"_s});

        panel->setDirectory(folder->path());
        panel->selectFile(path(u"club Export"_s));
        panel->accept();
        QTRY_VERIFY(QFile::exists(path(u"club Export.txt"_s)));
        QVERIFY(quillcast::testing::fileContents(path(u"club Export.txt"_s)).startsWith("<!DOCTYPE html>"));
    }

    // Nothing is left behind, and the next export goes through.
    void anExportThatDoesNotFinishLeavesNoFile_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("alert");
        QTest::newRow("settings sheet cancelled") << u"sheet"_s << QString() << QString();
        QTest::newRow("save panel cancelled") << u"panel"_s << QString() << QString();
        QTest::newRow("a folder that is not there") << u"write"_s << u"gone/list.tsv"_s
                                                    << u"The export could not be saved"_s;
        QTest::newRow("progress sheet cancelled") << u"progress"_s << u"list.tsv"_s << QString();
    }
    void anExportThatDoesNotFinishLeavesNoFile()
    {
        QFETCH(QString, step);
        QFETCH(QString, target);
        QFETCH(QString, alert);
        ExportSettingsSheet *sheet = openSheet();
        QVERIFY(sheet);
        if (step == u"sheet") {
            QTest::mouseClick(button(*sheet, u"cancelExportButton"_s), Qt::LeftButton);
            QTRY_VERIFY(!flow->settingsSheet());
            QVERIFY(fixture->scriptedPanel.saveRequests().isEmpty());
        } else {
            QTest::mouseClick(button(*sheet, u"addAllButton"_s), Qt::LeftButton);
            fixture->scriptedPanel.queueSaveAnswer(target.isEmpty() ? std::nullopt
                                                                    : std::optional<QString>(path(target)));
            QTest::mouseClick(button(*sheet, u"exportButton"_s), Qt::LeftButton);
            if (step == u"progress") {
                // The worker's result needs the event loop, so the run is
                // still on when the sheet is there to be cancelled.
                QTRY_VERIFY(flow->progressSheet());
                QCOMPARE(flow->progressSheet()->windowModality(), Qt::WindowModal);
                QVERIFY(flow->exporter()->isWriting());
                QTest::mouseClick(flow->progressSheet()->cancelButton(), Qt::LeftButton);
            }
            waitForTheWrite();
            QCOMPARE(fixture->scriptedPanel.saveRequests().size(), 1);
        }
        QCOMPARE(fixture->alerts.shown().size(), alert.isEmpty() ? 0 : 1);
        if (!alert.isEmpty()) {
            QCOMPARE(fixture->alerts.shown().first().messageText, alert);
            QVERIFY(!fixture->alerts.shown().first().informativeText.isEmpty());
        }
        QVERIFY(target.isEmpty() || !QFile::exists(path(target)));
        QCOMPARE(QDir(folder->path()).entryList(QDir::Files), QStringList{u"club.quill"_s});

        // The next export works as usual.
        sheet = openSheet();
        QVERIFY(sheet);
        QTest::mouseClick(button(*sheet, u"addAllButton"_s), Qt::LeftButton);
        fixture->scriptedPanel.queueSaveAnswer(path(u"list.tsv"_s));
        QTest::mouseClick(button(*sheet, u"exportButton"_s), Qt::LeftButton);
        waitForTheWrite();
        QVERIFY(QFile::exists(path(u"list.tsv"_s)));
    }
};

QTEST_MAIN(ExportDialogsTest)
#include "ExportDialogsTest.moc"
