#include "models/RecordTableModel.h"

#include "TestRecords.h"
#include "document/MyDocument.h"
#include "platform/SystemClock.h"

#include <QSignalSpy>
#include <QtTest>

using quillcast::Dict;
using quillcast::List;
using quillcast::MyDocument;
using quillcast::SystemClock;
using quillcast::Value;
using quillcast::gui::RecordTableModel;
using quillcast::testing::record;
using Kind = RecordTableModel::Column::Kind;

namespace {

// A set-up mailing with user keys "Name" ("4") and "City" ("5"), holding rows
// records, and a model of its database table over it.
struct Table
{
    explicit Table(qsizetype rows = 3)
    {
        doc.setUpOpenedDocument();
        List keys = doc.keyArray();
        keys.append(Dict{{QStringLiteral("innerKey"), QStringLiteral("4")}, {QStringLiteral("publicKey"), QStringLiteral("Name")}});
        keys.append(Dict{{QStringLiteral("innerKey"), QStringLiteral("5")}, {QStringLiteral("publicKey"), QStringLiteral("City")}});
        doc.setKeyArray(keys);
        List::Items items;
        items.reserve(size_t(rows));
        for (qsizetype i = 0; i < rows; ++i)
            items.push_back(record(i + 1, false, QStringLiteral("r%1@x.org").arg(i + 1), QStringLiteral("Name %1").arg(i)));
        doc.setAddressArray(List(std::move(items)));
        doc.filterAddresses();
        doc.updateChangeCount(MyDocument::ChangeKind::Cleared);
        model.setColumns({{QStringLiteral("1"), QStringLiteral("#"), Kind::Number, false},
                          {QStringLiteral("2"), QStringLiteral("sel"), Kind::Check, true},
                          {QStringLiteral("3"), QStringLiteral("email"), Kind::Text, true},
                          {QStringLiteral("4"), QStringLiteral("Name"), Kind::Text, true}});
    }

    MyDocument doc{SystemClock::instance()};
    RecordTableModel model{doc.addresses(),
                           [this](const Dict &r, const QString &key, const Value &v) { doc.setRecordValue(r, key, v); }};
};

} // namespace

// How a cell's edit or tick reaches the document, and that one edit among a
// million rows is told as that row, the database page's tests check through
// the view; here, how the model follows the list it shows.
class RecordTableModelTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void singleRowsAreAnnouncedAlone()
    {
        Table table;
        QSignalSpy inserted(&table.model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&table.model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&table.model, &QAbstractItemModel::modelReset);

        table.doc.appendRecord(record(4, false, QStringLiteral("new@x.org")));
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted[0][1].toInt(), 3);
        QCOMPARE(table.model.rowCount(), 4);
        QCOMPARE(table.model.index(3, 2).data().toString(), QStringLiteral("new@x.org"));

        const Dict second = *table.model.recordAt(1);
        QVERIFY(table.doc.removeRecord(second));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed[0][1].toInt(), 1);
        QCOMPARE(table.model.rowCount(), 3);
        QCOMPARE(table.model.index(1, 2).data().toString(), QStringLiteral("r3@x.org"));
        QCOMPARE(reset.count(), 0);
    }

    void readOnlyColumnsAndBadNumbersAreRefused()
    {
        Table table;
        QVERIFY(!(table.model.flags(table.model.index(0, 0)) & Qt::ItemIsEditable));
        QVERIFY(!table.model.setData(table.model.index(0, 0), QStringLiteral("9")));
        QVERIFY(!table.model.setData(table.model.index(7, 2), QStringLiteral("past the end")));
        QVERIFY(!table.doc.isDocumentEdited());
    }

    void aSearchRearrangesTheTable()
    {
        Table table;
        QSignalSpy reset(&table.model, &QAbstractItemModel::modelReset);
        table.doc.setSearchFieldStr(QStringLiteral("Name 2"));
        table.doc.filterAddresses();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(table.model.rowCount(), 1);
        QCOMPARE(table.model.index(0, 2).data().toString(), QStringLiteral("r3@x.org"));
        // A record added later that the search lets through joins as one row.
        QSignalSpy inserted(&table.model, &QAbstractItemModel::rowsInserted);
        table.doc.appendRecord(record(9, false, QStringLiteral("z@x.org"), QStringLiteral("Name 2b")));
        table.doc.appendRecord(record(10, false, QStringLiteral("y@x.org"), QStringLiteral("Other")));
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(table.model.rowCount(), 2);
    }

    // The preview's list: the send list under the preview's own search, a
    // view the send list does not keep; its rows must not move with the send
    // list's shown view.
    void aViewOfItsOwnFollowsOnlyItsReEvaluations()
    {
        MyDocument doc{SystemClock::instance()};
        doc.setUpOpenedDocument();
        doc.setSendArray(List({Value(record(1, false, QStringLiteral("ann@x.org"))),
                               Value(record(2, false, QStringLiteral("bob@x.org")))}));
        doc.setSearchFieldPreviewStr(QStringLiteral("bob"));
        doc.filterPreview();
        doc.filterSend();
        RecordTableModel model(doc.sendList(), doc.previewArrayShown(), {});
        model.setColumns({{QStringLiteral("3"), QStringLiteral("email"), Kind::Text, false}});
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("bob@x.org"));

        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        doc.sendList().append(record(3, false, QStringLiteral("carl@x.org")));
        QCOMPARE(inserted.count(), 0);
        QCOMPARE(model.rowCount(), 1);

        doc.setSearchFieldPreviewStr(QString());
        doc.filterPreview();
        model.viewRearranged();
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.rowOf(*doc.previewArrayShown().at(2)), 2);
    }

    void columnChangesAreAnnouncedAsSuch()
    {
        Table table;
        QSignalSpy inserted(&table.model, &QAbstractItemModel::columnsInserted);
        QSignalSpy removed(&table.model, &QAbstractItemModel::columnsRemoved);
        QSignalSpy header(&table.model, &QAbstractItemModel::headerDataChanged);
        QSignalSpy reset(&table.model, &QAbstractItemModel::modelReset);

        QList<RecordTableModel::Column> columns = table.model.columns();
        columns.append({QStringLiteral("5"), QStringLiteral("City"), Kind::Text, true});
        table.model.setColumns(columns);
        QCOMPARE(inserted.count(), 1);
        columns[3].title = QStringLiteral("First name");
        table.model.setColumns(columns);
        QCOMPARE(header.count(), 1);
        QCOMPARE(table.model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("First name"));
        columns.removeAt(3);
        table.model.setColumns(columns);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(removed[0][1].toInt(), 3);
        QCOMPARE(table.model.columnOfKey(QStringLiteral("5")), 3);
        QCOMPARE(reset.count(), 0);
    }
};

QTEST_GUILESS_MAIN(RecordTableModelTest)
#include "RecordTableModelTest.moc"
