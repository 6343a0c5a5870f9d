#include "AccessibleNames.h"
#include "DialogFixture.h"
#include "FakeApplicationActions.h"
#include "MailingWindow.h"
#include "WindowServices.h"
#include "export/ExportSettingsSheet.h"
#include "platform/NullUrlOpener.h"
#include "TestFiles.h"
#include "app/FilePanelDialog.h"
#include "import/ImportAccessory.h"
#include "import/ImportFlow.h"
#include "import/ImportMappingSheet.h"
#include "window/ProgressSheet.h"
#include "import/ImportRun.h"
#include "import/LXSmartStringFileReader.h"

#include <QAction>
#include <QCheckBox>
#include <QTabWidget>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillcast;
using namespace quillcast::gui;
using namespace quillcast::gui::testing;
using namespace Qt::StringLiterals;

namespace {

// A file of rows that each format splits its own way: by TAB (the automatic
// choice, as commas and semicolons tie) one column, by semicolon or comma
// two; its first value is UTF-8 "é".
const QByteArray kTiedRows = "\xc3\xa9;a,b\nx;y,z\n";

enum Column { FlagColumn = 1, ValueColumn = 2 };

QString valueAt(ImportMappingSheet &sheet, int column)
{
    return sheet.mappingTable()->item(column, ValueColumn)->text();
}

QString flagAt(ImportMappingSheet &sheet, int column)
{
    return sheet.mappingTable()->item(column, FlagColumn)->text();
}

// What each column's pop-up shows, left to right.
QStringList destinations(ImportMappingSheet &sheet)
{
    QStringList shown;
    for (int column = 0; column < sheet.mappingTable()->rowCount(); ++column)
        shown.append(sheet.destinationPopUp(column)->currentText());
    return shown;
}

QString rowLabel(ImportMappingSheet &sheet)
{
    return sheet.findChild<QLabel *>(u"rowNumberLabel"_s)->text();
}

QString countLabel(ImportMappingSheet &sheet)
{
    return sheet.findChild<QLabel *>(u"importedFieldsCount"_s)->text();
}

} // namespace

class ImportDialogsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<DialogFixture> fixture;
    std::unique_ptr<ImportFlow> flow;
    QTemporaryDir dir;

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        if (!quillcast::testing::writeFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    FilePanelDialog *chooser() { return fixture->desktopPanel.currentDialog(); }
    ImportAccessory *accessory() { return chooser() ? chooser()->findChild<ImportAccessory *>() : nullptr; }

    // Picks the file in the chooser the flow shows, with the format and
    // encoding titles given (empty: as the chooser starts).
    void choose(const QString &path, const QString &format = {}, const QString &encoding = {})
    {
        QVERIFY(chooser());
        QVERIFY(chooser()->isVisible());
        QVERIFY(accessory());
        if (!format.isEmpty())
            accessory()->formatPopUp()->setCurrentText(format);
        if (!encoding.isEmpty())
            accessory()->encodingPopUp()->setCurrentText(encoding);
        chooser()->selectFile(path);
        chooser()->accept();
    }

    ImportMappingSheet *waitForMapping()
    {
        if (!QTest::qWaitFor([this] { return flow->mappingSheet() && flow->mappingSheet()->isVisible(); }, 5000))
            return nullptr;
        return flow->mappingSheet();
    }

    // Starts an address import of the file and stops at its mapping sheet.
    ImportMappingSheet *mapped(const QString &path, const QString &format = {}, const QString &encoding = {})
    {
        flow->startAddressImport();
        choose(path, format, encoding);
        return waitForMapping();
    }

    static void pick(ImportMappingSheet &sheet, int column, int destination)
    {
        QComboBox *popUp = sheet.destinationPopUp(column);
        popUp->setCurrentIndex(destination);
        Q_EMIT popUp->activated(destination);
        // The importer applies a pick at the next turn of the loop.
        QCoreApplication::processEvents();
    }

    void finishImport(ImportMappingSheet &sheet)
    {
        QTest::mouseClick(button(sheet, u"importButton"_s), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([this] { return flow->stage() == ImportFlow::Stage::Idle; }, 5000));
        QCoreApplication::processEvents(); // the document hears of the end
        QCoreApplication::processEvents();
    }

private Q_SLOTS:
    void init()
    {
        fixture = std::make_unique<DialogFixture>();
        QVERIFY(QTest::qWaitForWindowExposed(&fixture->window));
        flow = std::make_unique<ImportFlow>(*fixture->context);
    }
    void cleanup()
    {
        flow.reset();
        fixture.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void formatAndEncodingChosenBesideTheFileDecideTheColumns_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QStringList>("firstRow");
        QTest::newRow("auto: tab, as comma and semicolon tie") << u"Automatic"_s << u"Automatic"_s
                                                               << QStringList{u"é;a,b"_s};
        QTest::newRow("semicolon") << u"Semicolon-separated"_s << u"Automatic"_s << QStringList{u"é"_s, u"a,b"_s};
        QTest::newRow("comma") << u"Comma-separated"_s << u"UTF-8"_s << QStringList{u"é;a"_s, u"b"_s};
        QTest::newRow("semicolon read as Mac OS Roman")
            << u"Semicolon-separated"_s << u"Mac OS Roman"_s << QStringList{u"√©"_s, u"a,b"_s};
    }
    void formatAndEncodingChosenBesideTheFileDecideTheColumns()
    {
        QFETCH(QString, format);
        QFETCH(QString, encoding);
        QFETCH(QStringList, firstRow);
        const QString path = file(u"rows.csv"_s, kTiedRows);

        // A choice made for one import does not carry over to the next.
        flow->startAddressImport();
        QVERIFY(accessory());
        accessory()->formatPopUp()->setCurrentText(u"Comma-separated"_s);
        accessory()->encodingPopUp()->setCurrentText(u"ASCII"_s);
        chooser()->reject();
        QTRY_COMPARE(flow->stage(), ImportFlow::Stage::Idle);

        flow->startAddressImport();
        QCOMPARE(accessory()->formatPopUp()->currentText(), u"Automatic"_s);
        QCOMPARE(accessory()->encodingPopUp()->currentText(), u"Automatic"_s);
        QCOMPARE(accessory()->encodingPopUp()->count(), 10);
        QCOMPARE(unnamedControls(*accessory()), QStringList());
        choose(path, format, encoding);
        ImportMappingSheet *sheet = waitForMapping();
        QVERIFY(sheet);
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        QCOMPARE(sheet->parentWidget(), &fixture->window);
        QCOMPARE(sheet->mappingTable()->rowCount(), firstRow.size());
        for (int column = 0; column < firstRow.size(); ++column)
            QCOMPARE(valueAt(*sheet, column), firstRow[column]);
    }

    void theMappingSheetMapsColumnsWithItsPopUpsToolsAndRowBrowser()
    {
        ImportMappingSheet *sheet = mapped(file(u"people.csv"_s, "email,name,city\na@x.org,Ada,Paris\n"
                                                                 "b@x.org,Bob,Rome\nc@x.org,Cy,Oslo\n"));
        QVERIFY(sheet);
        QComboBox *first = sheet->destinationPopUp(0);
        // Do not import, a separator, a new column, a separator, the keys from email on.
        QCOMPARE(first->count(), 7);
        QCOMPARE(first->itemText(0), u"Do not import"_s);
        QCOMPARE(first->itemText(2), u"Create a new column"_s);
        QCOMPARE(first->itemText(4), u"email"_s);
        QCOMPARE(first->itemText(6), u"City"_s);
        QVERIFY(first->itemData(1, Qt::AccessibleDescriptionRole).toString() == u"separator"_s);

        // A listed key belongs to one column; a new column may be chosen twice.
        pick(*sheet, 0, 4);
        QCOMPARE(flagAt(*sheet, 0), u"»"_s);
        pick(*sheet, 1, 4);
        QCOMPARE(first->currentIndex(), 0);
        QCOMPARE(flagAt(*sheet, 0), QString());
        QCOMPARE(flagAt(*sheet, 1), u"»"_s);
        pick(*sheet, 0, 2);
        pick(*sheet, 2, 2);
        QCOMPARE(sheet->destinationPopUp(0)->currentIndex(), 2);
        QCOMPARE(sheet->destinationPopUp(2)->currentIndex(), 2);
        QCOMPARE(countLabel(*sheet), u"3 fields imported"_s);

        // The tools.
        QTest::mouseClick(sheet->toolButton(ImportMappingSheet::Tool::Reset), Qt::LeftButton);
        QCOMPARE(countLabel(*sheet), u"0 fields imported"_s);
        QCOMPARE(flagAt(*sheet, 1), QString());
        const QStringList byName{u"email"_s, u"Name"_s, u"City"_s};
        QTest::mouseClick(sheet->toolButton(ImportMappingSheet::Tool::Cascade), Qt::LeftButton);
        QCOMPARE(destinations(*sheet), byName);
        QTest::mouseClick(sheet->toolButton(ImportMappingSheet::Tool::AllToNewColumns), Qt::LeftButton);
        QCOMPARE(destinations(*sheet), QStringList(3, u"Create a new column"_s));
        auto *skipFirst = sheet->findChild<QCheckBox *>(u"skipFirstRowCheckBox"_s);
        QVERIFY(!skipFirst->isChecked());
        QTest::mouseClick(sheet->toolButton(ImportMappingSheet::Tool::FromFirstRow), Qt::LeftButton);
        QCOMPARE(destinations(*sheet), byName);
        QVERIFY(skipFirst->isChecked());
        // The document's importers hide the names-row option.
        QVERIFY(sheet->findChild<QCheckBox *>(u"firstRowNamesCheckBox"_s)->isHidden());

        // Tab goes down the sheet: the table and its pop-ups, the row
        // browser, the tools, the options, the buttons as the box lays them out.
        const QStringList order = tabOrder(*sheet, sheet->mappingTable());
        QCOMPARE(unnamedControls(*sheet), QStringList());
        QCOMPARE(order.mid(0, 9),
                 (QStringList{u"importMappingTable"_s, u"destinationPopUp1"_s, u"destinationPopUp2"_s,
                              u"destinationPopUp3"_s, u"previousRowButton"_s, u"nextRowButton"_s,
                              u"resetMappingButton"_s, u"cascadeMappingButton"_s, u"allToNewColumnsButton"_s}));
        QCOMPARE(order.mid(9, 2), (QStringList{u"fromFirstRowButton"_s, u"skipFirstRowCheckBox"_s}));
        QStringList buttonsShown{u"cancelImportButton"_s, u"importButton"_s};
        if (button(*sheet, u"importButton"_s)->x() < button(*sheet, u"cancelImportButton"_s)->x())
            buttonsShown = QStringList{u"importButton"_s, u"cancelImportButton"_s};
        QCOMPARE(order.mid(11), buttonsShown);

        // The row browser.
        QPushButton *prev = button(*sheet, u"previousRowButton"_s);
        QPushButton *next = button(*sheet, u"nextRowButton"_s);
        QCOMPARE(rowLabel(*sheet), u"row 1"_s);
        QVERIFY(!prev->isEnabled());
        QCOMPARE(valueAt(*sheet, 1), u"name"_s);
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(rowLabel(*sheet), u"row 2"_s);
        QCOMPARE(valueAt(*sheet, 1), u"Ada"_s);
        QTest::mouseClick(next, Qt::LeftButton);
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(rowLabel(*sheet), u"row 4"_s);
        QCOMPARE(valueAt(*sheet, 2), u"Oslo"_s);
        QVERIFY(!next->isEnabled());
        QTest::mouseClick(prev, Qt::LeftButton);
        QCOMPARE(valueAt(*sheet, 0), u"b@x.org"_s);
    }

    void theExceptionImporterOffersItsOwnMenuAndTools()
    {
        fixture->doc().setSelectedTab(MyDocument::ExceptionTab);
        flow->start();
        choose(file(u"out.txt"_s, "a@x.org\tleft\n"));
        ImportMappingSheet *sheet = waitForMapping();
        QVERIFY(sheet);
        QComboBox *popUp = sheet->destinationPopUp(0);
        QCOMPARE(popUp->count(), 4);
        QCOMPARE(popUp->itemText(2), u"Email"_s);
        QCOMPARE(popUp->itemText(3), u"Note"_s);
        QVERIFY(sheet->toolButton(ImportMappingSheet::Tool::Reset));
        QVERIFY(sheet->toolButton(ImportMappingSheet::Tool::Cascade));
        QVERIFY(!sheet->toolButton(ImportMappingSheet::Tool::AllToNewColumns));
        QVERIFY(!sheet->toolButton(ImportMappingSheet::Tool::FromFirstRow));
        // "Email" belongs to one column.
        pick(*sheet, 0, 2);
        pick(*sheet, 1, 2);
        QCOMPARE(popUp->currentIndex(), 0);
        pick(*sheet, 0, 3);
        finishImport(*sheet);
        QCOMPARE(fixture->doc().exceptArray().size(), 1);
        const Dict added = fixture->doc().exceptArray().at(0).toDict();
        QCOMPARE(added.stringValue(u"email"_s), u"left"_s);
        QCOMPARE(added.stringValue(u"note"_s), u"a@x.org"_s);
    }

    void anImportAppendsClearsTheSearchScrollsToTheEndAndMarksTheMailingEdited()
    {
        MyDocument &doc = fixture->doc();
        doc.setSearchFieldStr(u"nobody"_s);
        QSignalSpy scrolled(&doc, &MyDocument::scrollToEndRequested);
        ImportMappingSheet *sheet = mapped(file(u"people.tsv"_s, "a@x.org\tAda\nb@x.org\tBob\n"));
        QVERIFY(sheet);
        QTest::mouseClick(sheet->toolButton(ImportMappingSheet::Tool::Cascade), Qt::LeftButton);
        QSignalSpy progress(&flow->run(), &ImportRun::progressChanged);
        finishImport(*sheet);
        QVERIFY(!flow->mappingSheet());
        QVERIFY(!flow->progressSheet());
        QCOMPARE(progress.last().at(0).toLongLong(), 2);
        QCOMPARE(progress.last().at(1).toLongLong(), 2);
        QCOMPARE(doc.addressArray().size(), 2);
        QCOMPARE(doc.addressArray().at(1).toDict().stringValue(u"4"_s), u"Bob"_s);
        QCOMPARE(doc.searchFieldStr(), QString());
        QVERIFY(doc.isDocumentEdited());
        QTRY_VERIFY(!scrolled.isEmpty());
        QCOMPARE(scrolled.last().at(0).value<MyDocument::View>(), MyDocument::View::AddressShown);
    }

    void cancellingAtAnyStepLeavesTheMailingAsItWas_data()
    {
        QTest::addColumn<QString>("step");
        QTest::newRow("chooser") << u"chooser"_s;
        QTest::newRow("loading sheet") << u"loading"_s;
        QTest::newRow("mapping sheet") << u"mapping"_s;
        QTest::newRow("importing sheet") << u"importing"_s;
    }
    void cancellingAtAnyStepLeavesTheMailingAsItWas()
    {
        QFETCH(QString, step);
        MyDocument &doc = fixture->doc();
        const QString path = file(u"new.csv"_s, "a@x.org,Ada,extra\nb@x.org,Bob,more\n");
        QSignalSpy finished(flow.get(), &ImportFlow::finished);

        flow->startAddressImport();
        if (step == u"chooser") {
            chooser()->reject();
        } else {
            choose(path);
            QVERIFY(flow->progressSheet());
            QCOMPARE(flow->progressSheet()->objectName(), u"importLoadingSheet"_s);
            QCOMPARE(flow->progressSheet()->windowModality(), Qt::WindowModal);
            QCOMPARE(unnamedControls(*flow->progressSheet()), QStringList());
            if (step == u"loading") {
                QTest::mouseClick(flow->progressSheet()->cancelButton(), Qt::LeftButton);
            } else {
                ImportMappingSheet *sheet = waitForMapping();
                QVERIFY(sheet);
                // A new column would be made by the run, and records added.
                QTest::mouseClick(sheet->toolButton(ImportMappingSheet::Tool::AllToNewColumns), Qt::LeftButton);
                if (step == u"mapping") {
                    QTest::mouseClick(button(*sheet, u"cancelImportButton"_s), Qt::LeftButton);
                } else {
                    QTest::mouseClick(button(*sheet, u"importButton"_s), Qt::LeftButton);
                    QVERIFY(flow->progressSheet());
                    QCOMPARE(flow->progressSheet()->objectName(), u"importImportingSheet"_s);
                    QTest::mouseClick(flow->progressSheet()->cancelButton(), Qt::LeftButton);
                }
            }
        }
        QTRY_COMPARE(flow->stage(), ImportFlow::Stage::Idle);
        QTest::qWait(20);
        QCOMPARE(doc.addressArray().size(), 0);
        QCOMPARE(doc.keyArray().size(), 5);
        QVERIFY(!doc.isDocumentEdited());
        QVERIFY(!flow->mappingSheet());
        QVERIFY(!flow->progressSheet());
        if (step != u"chooser") {
            QCOMPARE(finished.size(), 1);
            QCOMPARE(finished.first().first().toBool(), false);
        }

        // The next import goes through.
        ImportMappingSheet *sheet = mapped(path);
        QVERIFY(sheet);
        QTest::mouseClick(sheet->toolButton(ImportMappingSheet::Tool::Cascade), Qt::LeftButton);
        finishImport(*sheet);
        QCOMPARE(doc.addressArray().size(), 2);
    }

    void aFileNotInTheChosenEncodingSaysSoAndOpensNoMapping()
    {
        flow->startAddressImport();
        choose(file(u"latin.txt"_s, "caf\xe9\n"), u"Automatic"_s, u"UTF-8"_s);
        QTRY_COMPARE(flow->stage(), ImportFlow::Stage::Idle);
        QVERIFY(!flow->mappingSheet());
        QCOMPARE(fixture->alerts.shown().size(), 1);
        QCOMPARE(fixture->alerts.shown().first().messageText, LXSmartStringFileReader::decodingFailedMessage());
        QCOMPARE(fixture->doc().addressArray().size(), 0);
    }

    void theWindowsImportAndExportCommandsOpenTheDialogsOfTheSelectedTab()
    {
        FakeApplicationActions application;
        ScriptedFilePanel *panel = nullptr;
        WindowServices services{application, fixture->urlOpener, fixture->revealer, nullptr, nullptr, {}, {}};
        services.makeAlerts = [](QWidget *) { return std::unique_ptr<AlertPresenter>(new ScriptedAlertPresenter); };
        services.makeFilePanel = [&panel](QWidget *) {
            auto made = std::make_unique<ScriptedFilePanel>();
            panel = made.get();
            return std::unique_ptr<FilePanel>(std::move(made));
        };
        auto session = std::make_unique<DocumentSession>(
            DocumentSession::Services{SystemClock::instance(), fixture->alerts, NullUrlOpener::instance()});
        MailingWindow window(std::move(session), services);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        panel->queueOpenAnswer(file(u"people.csv"_s, "a@x.org,Ada\n"));
        window.action(u"actionImport"_s)->trigger();
        QCOMPARE(panel->openRequests().size(), 1);
        QCOMPARE(panel->openRequests().first().accessory, FilePanel::Accessory::ImportOptions);
        QTRY_VERIFY(window.findChild<ImportMappingSheet *>());
        auto *mapping = window.findChild<ImportMappingSheet *>();
        QTRY_VERIFY(mapping->isVisible());
        QCOMPARE(mapping->destinationPopUp(0)->itemText(4), u"email"_s);
        mapping->reject();

        // Export wants something to export.
        window.session().document().exceptArray().append(
            Value(Dict{{u"num"_s, Value(qint64(1))}, {u"email"_s, Value(u"a@x.org"_s)}}));
        window.tabs()->setCurrentIndex(MyDocument::ExceptionTab);
        QCoreApplication::processEvents();
        window.updateCommandEnabling();
        QVERIFY(window.action(u"actionExport"_s)->isEnabled());
        window.action(u"actionExport"_s)->trigger();
        auto *exportSheet = window.findChild<ExportSettingsSheet *>();
        QVERIFY(exportSheet);
        QTRY_VERIFY(exportSheet->isVisible());
        QCOMPARE(exportSheet->leftList()->count(), 2);
        QCOMPARE(exportSheet->leftList()->item(0)->text(), u"Email"_s);
        exportSheet->reject();
    }

    void theCommandFollowsTheSelectedTab()
    {
        fixture->doc().setSelectedTab(MyDocument::MailTab);
        flow->start();
        QCOMPARE(flow->stage(), ImportFlow::Stage::Idle);
        QVERIFY(!chooser());
        fixture->doc().setSelectedTab(MyDocument::DatabaseTab);
        flow->start();
        QCOMPARE(flow->stage(), ImportFlow::Stage::ChoosingFile);
        QVERIFY(chooser());
        QVERIFY(FilePanelDialog::hasAllowedExtension(u"list.TSV"_s, chooser()->allowedExtensions()));
        QVERIFY(FilePanelDialog::hasAllowedExtension(u"list.text"_s, chooser()->allowedExtensions()));
        QVERIFY(!FilePanelDialog::hasAllowedExtension(u"club.quill"_s, chooser()->allowedExtensions()));
        chooser()->reject();
    }
};

QTEST_MAIN(ImportDialogsTest)
#include "ImportDialogsTest.moc"
