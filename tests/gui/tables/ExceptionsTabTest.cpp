// The exception-list page driven through its widgets.
#include "TablesFixture.h"

#include "models/RecordTableModel.h"
#include "tables/SearchCoalescer.h"
#include "tabs/ExceptionsTab.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

using namespace quillcast;
using namespace quillcast::gui;
using namespace quillcast::gui::testing;
using quillcast::testing::exceptRecord;

namespace {

Records threeExceptions()
{
    Dict dated = exceptRecord(2, QStringLiteral("boss@ulm.de"), QStringLiteral("asked twice"), true);
    dated.set(QStringLiteral("date"), Value(QDateTime(QDate(2024, 5, 1), QTime(10, 0))));
    return {{},
            {exceptRecord(1, QStringLiteral("spam@bonn.de"), QStringLiteral("bounced")), dated,
             exceptRecord(3, QStringLiteral("cy@ulm.de"), QStringLiteral("Bonn office"))}};
}

QStringList shownEmails(const RecordTableModel &model)
{
    return shownValues(model, QStringLiteral("email"));
}

} // namespace

class ExceptionsTabTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Typing searches the exception list with its own rule (the core's: the
    // address and the note) and its own stored text.
    void searchReadsTheNoteToo()
    {
        TablesFixture fixture(threeExceptions());
        ExceptionsTab page(fixture.context);
        QSignalSpy applied(&page.search(), &SearchCoalescer::applied);

        QTest::keyClicks(child<QLineEdit>(page, "exceptionsSearchField"), QStringLiteral("Bonn"));
        QVERIFY(applied.wait(3000));
        QCOMPARE(shownEmails(*page.exceptionsModel()), QStringList{QStringLiteral("cy@ulm.de")});
        QCOMPARE(fixture.doc().searchFieldExceptStr(), QStringLiteral("Bonn"));
        // The database's search is another one.
        QCOMPARE(fixture.doc().searchFieldStr(), QString());
    }

    void cellsOfTheUserAreEditableAndMarkTheMailingEdited_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("editable");
        QTest::newRow("email") << QStringLiteral("email") << QStringLiteral(" Boss@Ulm.de") << true;
        QTest::newRow("note") << QStringLiteral("note") << QStringLiteral("left the firm") << true;
        QTest::newRow("number") << QStringLiteral("num") << QStringLiteral("9") << false;
        QTest::newRow("date") << QStringLiteral("date") << QStringLiteral("1.1.2020") << false;
    }
    void cellsOfTheUserAreEditableAndMarkTheMailingEdited()
    {
        QFETCH(QString, key);
        QFETCH(QString, typed);
        QFETCH(bool, editable);
        TablesFixture fixture(threeExceptions());
        ExceptionsTab page(fixture.context);
        QVERIFY(showExposed(page));
        const Dict record = fixture.doc().exceptArray().at(1).toDict();
        const Value before = record.value(key);

        const QModelIndex cell = page.exceptionsModel()->index(1, page.exceptionsModel()->columnOfKey(key));
        QCOMPARE(typeIntoCell(*child<QTableView>(page, "exceptionsTable"), cell, typed), editable);

        QCOMPARE(record.value(key), editable ? Value(typed) : before);
        QCOMPARE(fixture.doc().isDocumentEdited(), editable);
    }

    void tickingCountsTheShownChecks()
    {
        TablesFixture fixture(threeExceptions());
        ExceptionsTab page(fixture.context);
        QVERIFY(showExposed(page, {900, 400}));
        auto *status = child<QLabel>(page, "exceptionsStatus");
        QCOMPARE(status->text(), QStringLiteral("3 records, 1 checked, 3 shown"));

        clickCheckBox(*child<QTableView>(page, "exceptionsTable"), page.exceptionsModel()->index(2, 1));
        QVERIFY(fixture.doc().exceptArray().at(2).toDict().boolValue(QStringLiteral("sel")));
        QVERIFY(fixture.doc().isDocumentEdited());
        QTRY_COMPARE(status->text(), QStringLiteral("3 records, 2 checked, 3 shown"));

        // The exception list counts only the checks its search shows.
        QTest::keyClicks(child<QLineEdit>(page, "exceptionsSearchField"), QStringLiteral("spam"));
        page.search().flush();
        QTRY_COMPARE(status->text(), QStringLiteral("3 records, 0 checked, 1 shown"));
    }

    void addAndRemove()
    {
        TablesFixture fixture(threeExceptions());
        ExceptionsTab page(fixture.context);
        QVERIFY(showExposed(page));
        QTest::keyClicks(child<QLineEdit>(page, "exceptionsSearchField"), QStringLiteral("ulm"));
        page.search().flush();

        QTest::mouseClick(child<QPushButton>(page, "addExceptionButton"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(page, "exceptionsSearchField")->text(), QString());
        QCOMPARE(page.exceptionsModel()->rowCount(), 4);
        QCOMPARE(page.selectedRows(), QList<qsizetype>{3});
        QCOMPARE(page.exceptionsModel()->index(3, 0).data().toString(), QStringLiteral("4"));
        QVERIFY(!page.exceptionsModel()->index(3, 3).data().toString().isEmpty());

        child<QTableView>(page, "exceptionsTable")->selectRow(0);
        QTest::mouseClick(child<QPushButton>(page, "removeExceptionButton"), Qt::LeftButton);
        QCOMPARE(shownEmails(*page.exceptionsModel()),
                 (QStringList{QStringLiteral("boss@ulm.de"), QStringLiteral("cy@ulm.de"), QString()}));
        QCOMPARE(fixture.doc().undoManager().undoActionName(), QStringLiteral("Delete Record"));
    }
};

QTEST_MAIN(ExceptionsTabTest)
#include "ExceptionsTabTest.moc"
