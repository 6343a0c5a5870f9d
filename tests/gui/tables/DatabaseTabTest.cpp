// The database page driven through its widgets: the search field, the key
// list, the column and record buttons, the check boxes and the cells.
#include "TablesFixture.h"

#include "models/RecordTableModel.h"
#include "tables/KeyListModel.h"
#include "tables/SearchCoalescer.h"
#include "tabs/DatabaseTab.h"
#include "tabs/ExceptionsTab.h"

#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QSignalSpy>
#include <QtTest>

using namespace quillcast;
using namespace quillcast::gui;
using namespace quillcast::gui::testing;
using quillcast::testing::record;

namespace {

Records fourPeople()
{
    return {{record(1, false, QStringLiteral("ann@bonn.de"), QStringLiteral("Ann"), QStringLiteral("Bonn")),
             record(2, true, QStringLiteral("bob@ulm.de"), QStringLiteral("Bob Smith"), QStringLiteral("Ulm")),
             record(3, false, QStringLiteral("cy@koeln.de"), QStringLiteral("Cy smith"), QStringLiteral("Bonn-Nord")),
             record(14, false, QStringLiteral("dee@ulm.de"), QStringLiteral("Dee"), QStringLiteral("Ulm"))},
            {}};
}

// The "email" column of every row the table shows, top to bottom.
QStringList shownEmails(const RecordTableModel &model)
{
    return shownValues(model, QStringLiteral("3"));
}

} // namespace

class DatabaseTabTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What a search matches is the core's rule (its search tests); here the
    // typing reaching it, on the worker as in place, and what the page shows.
    void searchFiltersAsYouType_data()
    {
        QTest::addColumn<bool>("onWorker");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("shown");

        const QStringList all{QStringLiteral("ann@bonn.de"), QStringLiteral("bob@ulm.de"), QStringLiteral("cy@koeln.de"),
                              QStringLiteral("dee@ulm.de")};
        for (const bool worker : {false, true}) {
            const char *where = worker ? "worker" : "in place";
            QTest::addRow("%s: the address and a user column", where)
                << worker << QStringLiteral("ulm") << QStringList{QStringLiteral("bob@ulm.de"), QStringLiteral("dee@ulm.de")};
            QTest::addRow("%s: nothing matches", where) << worker << QStringLiteral("zzz") << QStringList{};
            QTest::addRow("%s: typed and erased shows everything", where) << worker << QStringLiteral("x\b") << all;
        }
    }
    void searchFiltersAsYouType()
    {
        QFETCH(bool, onWorker);
        QFETCH(QString, typed);
        QFETCH(QStringList, shown);
        TablesFixture fixture(fourPeople());
        DatabaseTab page(fixture.context);
        page.search().setWorkerThreshold(onWorker ? 0 : 1000000);
        QSignalSpy applied(&page.search(), &SearchCoalescer::applied);

        auto *field = child<QLineEdit>(page, "databaseSearchField");
        for (const QChar c : typed) {
            if (c == u'\b')
                QTest::keyClick(field, Qt::Key_Backspace);
            else
                QTest::keyClicks(field, QString(c));
        }
        QVERIFY(applied.wait(3000));

        QCOMPARE(shownEmails(*page.recordsModel()), shown);
        QCOMPARE(fixture.doc().searchFieldStr(), field->text());
        QTRY_COMPARE(child<QLabel>(page, "databaseStatus")->text(),
                     QStringLiteral("4 records, 1 checked, %1 shown").arg(shown.size()));
    }

    // A word typed in one go is searched once, for the whole word; a walk
    // still running when the user types on is dropped for the newer text.
    void keystrokesAreCoalescedAndTheLatestWins()
    {
        TablesFixture fixture(fourPeople());
        DatabaseTab page(fixture.context);
        auto *field = child<QLineEdit>(page, "databaseSearchField");
        QSignalSpy applied(&page.search(), &SearchCoalescer::applied);

        page.search().setDelay(std::chrono::milliseconds(500));
        QTest::keyClicks(field, QStringLiteral("Bonn"));
        QVERIFY(applied.wait(3000));
        QCOMPARE(applied.count(), 1);
        QCOMPARE(applied.at(0).at(0).toString(), QStringLiteral("Bonn"));
        QCOMPARE(shownEmails(*page.recordsModel()), (QStringList{QStringLiteral("ann@bonn.de"), QStringLiteral("cy@koeln.de")}));

        // On the worker: the walk for "Bonn-" starts, then "Bonn-N" replaces it.
        applied.clear();
        page.search().setWorkerThreshold(0);
        QTest::keyClicks(field, QStringLiteral("-"));
        page.search().flush();
        QTest::keyClicks(field, QStringLiteral("N"));
        page.search().flush();
        QVERIFY(applied.wait(3000));
        QTRY_VERIFY(!page.search().isBusy());
        QCOMPARE(applied.count(), 1);
        QCOMPARE(applied.at(0).at(0).toString(), QStringLiteral("Bonn-N"));
        QCOMPARE(shownEmails(*page.recordsModel()), QStringList{QStringLiteral("cy@koeln.de")});
    }

    void tickingSelMarksEditedAndCountsTheCheck()
    {
        TablesFixture fixture(fourPeople());
        DatabaseTab page(fixture.context);
        QVERIFY(showExposed(page, {1100, 600}));
        auto *table = child<QTableView>(page, "recordsTable");
        auto *status = child<QLabel>(page, "databaseStatus");
        QCOMPARE(status->text(), QStringLiteral("4 records, 1 checked, 4 shown"));
        QVERIFY(!fixture.doc().isDocumentEdited());

        const QModelIndex sel = page.recordsModel()->index(0, 1);
        clickCheckBox(*table, sel);
        QCOMPARE(sel.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(fixture.doc().addressArray().at(0).toDict().boolValue(QStringLiteral("2")));
        QVERIFY(fixture.doc().isDocumentEdited());
        QTRY_COMPARE(status->text(), QStringLiteral("4 records, 2 checked, 4 shown"));

        // Unticking the only other checked record leaves one.
        clickCheckBox(*table, page.recordsModel()->index(1, 1));
        QTRY_COMPARE(status->text(), QStringLiteral("4 records, 1 checked, 4 shown"));
        QVERIFY(fixture.doc().isCheckedRecords());
    }

    void cellsStoreWhatWasTyped_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Value>("stored");
        QTest::addColumn<bool>("edited");

        QTest::newRow("address") << QStringLiteral("3") << QStringLiteral("new@bonn.de") << Value(QStringLiteral("new@bonn.de")) << true;
        QTest::newRow("spaces kept") << QStringLiteral("5") << QStringLiteral("  Bad Godesberg ")
                                     << Value(QStringLiteral("  Bad Godesberg ")) << true;
        QTest::newRow("number") << QStringLiteral("1") << QStringLiteral("42") << Value(qint64(42)) << false;
        QTest::newRow("not a number") << QStringLiteral("1") << QStringLiteral("forty") << Value(qint64(1)) << false;
    }
    void cellsStoreWhatWasTyped()
    {
        QFETCH(QString, key);
        QFETCH(QString, typed);
        QFETCH(Value, stored);
        QFETCH(bool, edited);
        TablesFixture fixture(fourPeople());
        DatabaseTab page(fixture.context);
        QVERIFY(showExposed(page));
        auto *table = child<QTableView>(page, "recordsTable");
        QSignalSpy reset(page.recordsModel(), &QAbstractItemModel::modelReset);

        const QModelIndex cell = page.recordsModel()->index(0, page.recordsModel()->columnOfKey(key));
        QVERIFY(typeIntoCell(*table, cell, typed));

        QCOMPARE(fixture.doc().addressArray().at(0).toDict().value(key), stored);
        QCOMPARE(fixture.doc().isDocumentEdited(), edited);
        // Cell edits leave no undo step in the core.
        QVERIFY(!fixture.doc().undoManager().canUndo());
        QCOMPARE(reset.count(), 0);
    }

    // Which names the rule refuses is the core's (its key command tests);
    // here an accepted and a refused name, and the keys with no editor.
    void keyNamesFollowTheKeyNameRule_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("nameAfter");
        QTest::addColumn<bool>("refused");

        QTest::newRow("renamed") << 4 << QStringLiteral("Town") << QStringLiteral("Town") << false;
        QTest::newRow("blank") << 4 << QStringLiteral("   ") << QStringLiteral("City") << true;
        QTest::newRow("a fixed key's name") << 3 << QStringLiteral("email") << QStringLiteral("Name") << true;
        QTest::newRow("fixed keys have no editor") << 2 << QStringLiteral("mail") << QStringLiteral("email") << false;
        QTest::newRow("the number key neither") << 0 << QStringLiteral("No") << QStringLiteral("#") << false;
    }
    void keyNamesFollowTheKeyNameRule()
    {
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QString, nameAfter);
        QFETCH(bool, refused);
        TablesFixture fixture(fourPeople());
        DatabaseTab page(fixture.context);
        QVERIFY(showExposed(page));
        auto *keys = child<QListView>(page, "keyList");
        auto *message = child<QLabel>(page, "keyListMessage");

        const bool editable = typeIntoCell(*keys, page.keyModel()->index(row), typed);
        QCOMPARE(editable, row >= 3);

        QCOMPARE(fixture.doc().keyArray().at(row).toDict().stringValue(QStringLiteral("publicKey")), nameAfter);
        QCOMPARE(page.keyModel()->index(row).data().toString(), nameAfter);
        QCOMPARE(page.recordsModel()->headerData(row, Qt::Horizontal).toString(), nameAfter);
        QCOMPARE(message->isVisible(), refused);
        QCOMPARE(fixture.doc().isDocumentEdited(), editable && !refused);
    }

    void deleteColumnFollowsTheKeySelection()
    {
        TablesFixture fixture(fourPeople());
        DatabaseTab page(fixture.context);
        auto *keys = child<QListView>(page, "keyList");
        auto *deleteButton = child<QPushButton>(page, "deleteColumnButton");
        QVERIFY(!deleteButton->isEnabled());

        const struct
        {
            int row;
            bool enabled;
        } steps[] = {{2, false}, {3, true}, {1, false}, {4, true}, {-1, false}};
        for (const auto &step : steps) {
            if (step.row < 0)
                keys->selectionModel()->clearSelection();
            else
                QTest::mouseClick(keys->viewport(), Qt::LeftButton, {},
                                  keys->visualRect(page.keyModel()->index(step.row)).center());
            QCOMPARE(page.selectedKeyRow().has_value(), step.row >= 0);
            QCOMPARE(fixture.doc().canRemoveKeyListElement(), step.enabled);
            QCOMPARE(deleteButton->isEnabled(), step.enabled);
        }
    }

    void addAndDeleteAColumnWithItsSheet()
    {
        TablesFixture fixture(fourPeople());
        DatabaseTab page(fixture.context);
        QVERIFY(showExposed(page, {900, 500}));
        auto *table = child<QTableView>(page, "recordsTable");
        QSignalSpy inserted(page.recordsModel(), &QAbstractItemModel::columnsInserted);
        QSignalSpy removed(page.recordsModel(), &QAbstractItemModel::columnsRemoved);

        QTest::mouseClick(child<QPushButton>(page, "addColumnButton"), Qt::LeftButton);
        QCOMPARE(page.recordsModel()->columnCount(), 6);
        QCOMPARE(page.recordsModel()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("KEY6"));
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(page.selectedKeyRow(), std::optional<qsizetype>(5));
        QVERIFY(child<QPushButton>(page, "deleteColumnButton")->isEnabled());
        QVERIFY(fixture.doc().isDocumentEdited());
        // The table scrolls to the new column once the loop comes round.
        QTRY_VERIFY(table->horizontalScrollBar()->value() > 0);
        QVERIFY(table->viewport()->rect().intersects(table->visualRect(page.recordsModel()->index(0, 5))));

        // "Cancel" first, then "Delete".
        fixture.alerts.queueAnswer(0);
        QTest::mouseClick(child<QPushButton>(page, "deleteColumnButton"), Qt::LeftButton);
        QCOMPARE(fixture.alerts.shown().size(), 1);
        QCOMPARE(fixture.alerts.shown().at(0).messageText, QStringLiteral("Do you want to delete the selected DB Key 'KEY6'?"));
        QCOMPARE(fixture.alerts.shown().at(0).buttons, (QStringList{QStringLiteral("Cancel"), QStringLiteral("Delete")}));
        QCOMPARE(page.recordsModel()->columnCount(), 6);

        fixture.alerts.queueAnswer(1);
        QTest::mouseClick(child<QPushButton>(page, "deleteColumnButton"), Qt::LeftButton);
        QCOMPARE(page.recordsModel()->columnCount(), 5);
        QCOMPARE(fixture.doc().keyArray().size(), 5);
        QCOMPARE(removed.count(), 1);
        // The list lost its selection with the key: nothing left to delete.
        QVERIFY(!page.selectedKeyRow());
        QVERIFY(!fixture.doc().canRemoveKeyListElement());
        QVERIFY(!child<QPushButton>(page, "deleteColumnButton")->isEnabled());
    }

    void addAndRemoveRecords()
    {
        TablesFixture fixture(fourPeople());
        DatabaseTab page(fixture.context);
        QVERIFY(showExposed(page));
        auto *field = child<QLineEdit>(page, "databaseSearchField");
        QTest::keyClicks(field, QStringLiteral("ulm"));
        page.search().flush();
        QCOMPARE(page.recordsModel()->rowCount(), 2);

        QTest::mouseClick(child<QPushButton>(page, "addRecordButton"), Qt::LeftButton);
        // Numbered after what the search showed; the search is cleared to show it.
        QCOMPARE(field->text(), QString());
        QCOMPARE(page.recordsModel()->rowCount(), 5);
        QCOMPARE(page.selectedRows(), QList<qsizetype>{4});
        QCOMPARE(page.recordsModel()->index(4, 0).data().toString(), QStringLiteral("15"));
        QCOMPARE(fixture.doc().undoManager().undoActionName(), QStringLiteral("Add Record"));

        child<QTableView>(page, "recordsTable")->selectRow(1);
        QTest::mouseClick(child<QPushButton>(page, "removeRecordButton"), Qt::LeftButton);
        QCOMPARE(shownEmails(*page.recordsModel()),
                 (QStringList{QStringLiteral("ann@bonn.de"), QStringLiteral("cy@koeln.de"), QStringLiteral("dee@ulm.de"), QString()}));
        QTRY_COMPARE(child<QLabel>(page, "databaseStatus")->text(), QStringLiteral("4 records, 0 checked, 4 shown"));
        QCOMPARE(fixture.doc().undoManager().undoActionName(), QStringLiteral("Delete Record"));
    }

    // A table over a million records hears of one edited cell as that cell,
    // and of one tick as that row: never a reset of the whole table.
    void aMillionRowsHearOfOneEditAsOneRow()
    {
        constexpr qsizetype kRecords = 1000000;
        TablesFixture fixture;
        Records many;
        many.addresses.reserve(kRecords);
        for (qsizetype i = 0; i < kRecords; ++i)
            many.addresses.append(record(i + 1, false, QStringLiteral("r%1@x.org").arg(i)));
        fixture.fill(many);
        DatabaseTab page(fixture.context);
        QVERIFY(showExposed(page, {1100, 700}));
        auto *table = child<QTableView>(page, "recordsTable");
        QCOMPARE(page.recordsModel()->rowCount(), int(kRecords));
        table->scrollTo(page.recordsModel()->index(500000, 2));

        QSignalSpy changed(page.recordsModel(), &QAbstractItemModel::dataChanged);
        QSignalSpy reset(page.recordsModel(), &QAbstractItemModel::modelReset);
        QSignalSpy layout(page.recordsModel(), &QAbstractItemModel::layoutChanged);
        const QModelIndex cell = page.recordsModel()->index(500000, 2);
        QVERIFY(typeIntoCell(*table, cell, QStringLiteral("edited@x.org")));
        clickCheckBox(*table, page.recordsModel()->index(500000, 1));

        QCOMPARE(changed.count(), 2);
        for (const QList<QVariant> &signal : changed) {
            QCOMPARE(signal.at(0).toModelIndex().row(), 500000);
            QCOMPARE(signal.at(1).toModelIndex().row(), 500000);
        }
        QCOMPARE(reset.count(), 0);
        QCOMPARE(layout.count(), 0);
        QCOMPARE(fixture.doc().addressArray().at(500000).toDict().stringValue(QStringLiteral("3")), QStringLiteral("edited@x.org"));
        QTRY_COMPARE(child<QLabel>(page, "databaseStatus")->text(),
                     QStringLiteral("%1 records, 1 checked, %1 shown").arg(QLocale().toString(qint64(kRecords))));
    }

    // Typing still waiting to be searched when a command clears the search
    // (an added record) does not bring the old text back over the new record.
    void aCommandClearingTheSearchDropsTheTypingBeforeIt()
    {
        TablesFixture fixture(fourPeople());
        DatabaseTab page(fixture.context);
        page.search().setDelay(std::chrono::milliseconds(200));
        auto *field = child<QLineEdit>(page, "databaseSearchField");
        QTest::keyClicks(field, QStringLiteral("ulm"));
        page.search().flush();
        QTest::keyClicks(field, QStringLiteral("-Nord"));
        QVERIFY(page.search().isBusy());

        QTest::mouseClick(child<QPushButton>(page, "addRecordButton"), Qt::LeftButton);
        QVERIFY(!page.search().isBusy());
        QTest::qWait(300);
        QCOMPARE(field->text(), QString());
        QCOMPARE(fixture.doc().searchFieldStr(), QString());
        QCOMPARE(page.recordsModel()->rowCount(), 5);
    }

    // A mailing as the session reads it has views nobody evaluated yet: the
    // pages show its records all the same, and so do lists put in place later.
    void aMailingReadFromItsFileShowsItsRecords()
    {
        TablesFixture fixture;
        Records records = fourPeople();
        records.exceptions = {quillcast::testing::exceptRecord(1, QStringLiteral("spam@bonn.de"))};
        fixture.fill(records, false);
        DatabaseTab database(fixture.context);
        ExceptionsTab exceptions(fixture.context);
        QCOMPARE(database.recordsModel()->rowCount(), 4);
        QCOMPARE(exceptions.exceptionsModel()->rowCount(), 1);
        QCOMPARE(child<QLabel>(database, "databaseStatus")->text(), QStringLiteral("4 records, 1 checked, 4 shown"));

        fixture.doc().setAddressArray(List({Value(record(7, false, QStringLiteral("g@x.org")))}));
        QTRY_COMPARE(database.recordsModel()->rowCount(), 1);
        QCOMPARE(shownEmails(*database.recordsModel()), QStringList{QStringLiteral("g@x.org")});
        QTRY_COMPARE(child<QLabel>(database, "databaseStatus")->text(), QStringLiteral("1 record, 0 checked, 1 shown"));
    }

    // A new or reverted document replaces the one the page showed.
    void anotherDocumentIsShownInPlaceOfTheOld()
    {
        TablesFixture fixture(fourPeople());
        DatabaseTab page(fixture.context);
        QVERIFY(showExposed(page));
        QTest::keyClicks(child<QLineEdit>(page, "databaseSearchField"), QStringLiteral("ulm"));

        QVERIFY(fixture.session.newDocument().ok());
        QCoreApplication::processEvents();
        QCOMPARE(page.recordsModel()->rowCount(), 0);
        QCOMPARE(page.recordsModel()->columnCount(), 3);
        QCOMPARE(page.keyModel()->rowCount(), 3);
        QCOMPARE(child<QLineEdit>(page, "databaseSearchField")->text(), QString());
        QTest::qWait(int(SearchCoalescer::kDefaultDelay.count()) + 50);
        QCOMPARE(fixture.doc().searchFieldStr(), QString());
        QTest::mouseClick(child<QPushButton>(page, "addRecordButton"), Qt::LeftButton);
        QCOMPARE(page.recordsModel()->rowCount(), 1);
    }
};

QTEST_MAIN(DatabaseTabTest)
#include "DatabaseTabTest.moc"
