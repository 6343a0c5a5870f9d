#include "tabs/SendTab.h"

#include "LocalSmtpServer.h"
#include "RecordingFileRevealer.h"
#include "RecordingUrlOpener.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"
#include "TestFiles.h"
#include "TestRecords.h"
#include "WindowContext.h"
#include "document/MyDocument.h"
#include "document/SendListRebuilder.h"
#include "platform/QtMainLoop.h"
#include "platform/SystemClock.h"
#include "send/LogView.h"
#include "send/RunJournalFolder.h"
#include "send/StaticConnectionProvider.h"
#include "session/DocumentSession.h"

#include <QElapsedTimer>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace quillcast;
using namespace Qt::StringLiterals;
using quillcast::gui::LogView;
using quillcast::gui::SendTab;
using quillcast::gui::WindowContext;
using quillcast::testing::LocalSmtpServer;
using quillcast::testing::record;

namespace {

// A plain, password-free connection to port on this machine.
Dict localConnection(int port)
{
    return Dict{{u"mailServerDescription"_s, Value(u"local"_s)},
                {u"mailServerName"_s, Value(u"127.0.0.1"_s)},
                {u"useCustomPort"_s, Value(qint64(1))},
                {u"customPortUsed"_s, Value(qint64(port))},
                {u"connectionType"_s, Value(qint64(0))}};
}

// A send page over an untitled mailing with the given records, a mail form
// that merges, sending through the server of connections.
struct Page
{
    explicit Page(const List::Items &records, List connectionList = List())
        : connections(std::move(connectionList), [this](int panel) { openedPreferences.append(panel); })
    {
        MyDocument &doc = session->document();
        doc.setMailFormFrom(u"sender@example.org"_s);
        doc.setMailFormSubject(u"Hello _email_"_s);
        doc.setMailFormBody(u"Dear _email_,\nthe news.\n"_s);
        doc.setUseMailServerToSend(1);
        doc.setEmailKind(0);
        doc.setSendPrepTimeInterval(1);
        doc.setAddressArray(List(List::Items(records)));
        doc.filterAddresses();
        doc.sendListRebuilder().rebuildNow();
        doc.updateChangeCount(MyDocument::ChangeKind::Cleared);
        tab = std::make_unique<SendTab>(context, &window);
        active = std::make_unique<QSignalSpy>(tab.get(), &SendTab::runActiveChanged);
        window.resize(1100, 750);
        tab->resize(window.size());
        window.show();
    }

    MyDocument &doc() { return session->document(); }
    template<typename T = QPushButton>
    T *child(const char *name)
    {
        T *found = tab->findChild<T *>(QString::fromLatin1(name));
        if (!found)
            qFatal("no child %s", name);
        return found;
    }
    void click(const char *name) { QTest::mouseClick(child(name), Qt::LeftButton); }
    QString logText() { return child<LogView>("logView")->toPlainText(); }

    ScriptedAlertPresenter alerts;
    RecordingUrlOpener urlOpener;
    RecordingFileRevealer revealer;
    ScriptedFilePanel filePanel;
    QtMainLoop mainLoop;
    QList<int> openedPreferences;
    StaticConnectionProvider connections;
    std::unique_ptr<DocumentSession> session =
        std::make_unique<DocumentSession>(DocumentSession::Services{SystemClock::instance(), alerts, urlOpener});
    QWidget window;
    WindowContext context{*session, alerts, filePanel, urlOpener, revealer, mainLoop, &window, nullptr, &connections, {}};
    std::unique_ptr<SendTab> tab;
    // A run's start and end, as the page tells them.
    std::unique_ptr<QSignalSpy> active;
};

List::Items checkedRecords(const QStringList &addresses)
{
    List::Items items;
    qint64 number = 0;
    for (const QString &address : addresses)
        items.push_back(record(++number, true, address));
    return items;
}

// The results table's rows as "address | outcome | reply" (the time between
// the outcome and the reply left out).
QStringList resultRows(QTableView *table)
{
    QStringList rows;
    const QAbstractItemModel *model = table->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column : {0, 1, 3})
            cells += model->index(row, column).data().toString();
        rows += cells.join(u" | "_s);
    }
    return rows;
}

qsizetype storedMessages(const LocalSmtpServer &server)
{
    return QDir(server.messagesFolder()).entryList({u"*.json"_s}, QDir::Files).size();
}

// A run of mailing started now in the journals' folder, as a send run
// would start it; null when it could not be started.
std::unique_ptr<RunJournal> startedRun(const QString &mailing)
{
    Result<std::unique_ptr<RunJournal>> journal =
        RunJournalFolder(RunJournalFolder::standardFolder()).startRun(mailing, QDateTime::currentDateTimeUtc());
    return journal.ok() ? std::move(journal.value()) : nullptr;
}

} // namespace

class SendTabTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<LocalSmtpServer> m_server;
    // The runs' journals go here rather than to the user's state folder.
    QTemporaryDir m_state;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_STATE_HOME", m_state.path().toLocal8Bit());
        m_server = std::make_unique<LocalSmtpServer>(QStringList{u"--delay"_s, u"0.2"_s, u"--late"_s, u"60"_s});
        QVERIFY2(m_server->error().isEmpty(), qPrintable(m_server->error()));
    }

    void cleanupTestCase() { m_server.reset(); }

    // The test server's connection list, at its port of mode.
    List server(const char *mode = "clear") const { return List({Value(localConnection(m_server->port(mode)))}); }

    // "Done. 3 sent." reads the same when all failed: the summary says what the server did.
    void aRunShowsItsProgressLogAndWhatTheServerDid_data()
    {
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<qsizetype>("stored");
        QTest::newRow("all accepted") << QStringList{u"a@example.org"_s, u"b@example.org"_s, u"c@example.org"_s}
                                      << u"Summary: 0 refused (see the log), 3 accepted by the server, 0 failed"_s
                                      << qsizetype(3);
        QTest::newRow("all refused by the server")
            << QStringList{u"a@reject.test"_s, u"b@reject.test"_s, u"c@reject.test"_s}
            << u"Summary: 0 refused (see the log), 0 accepted by the server, 3 failed"_s << qsizetype(0);
        QTest::newRow("one without an address")
            << QStringList{u"a@example.org"_s, u"not an address"_s, u"c@reject.test"_s}
            << u"Summary: 1 refused (see the log), 1 accepted by the server, 1 failed"_s << qsizetype(1);
    }
    void aRunShowsItsProgressLogAndWhatTheServerDid()
    {
        QFETCH(QStringList, addresses);
        QFETCH(QString, summary);
        QFETCH(qsizetype, stored);
        const qsizetype storedBefore = storedMessages(*m_server);
        Page page(checkedRecords(addresses), server());
        auto *bar = page.child<QProgressBar>("runProgressBar");

        page.click("sendCheckedButton");
        QCOMPARE(page.alerts.shown().size(), 1);
        QCOMPARE(page.alerts.shown().at(0).messageText, u"Do you want to send the emails for 3 checked records?"_s);
        QTRY_COMPARE_WITH_TIMEOUT(page.active->size(), 1, 20000);
        QCOMPARE(page.active->at(0).at(0).toBool(), true);
        QVERIFY(!page.child("sendCheckedButton")->isEnabled());
        QVERIFY(page.child("cancelRunButton")->isEnabled());

        QTRY_COMPARE_WITH_TIMEOUT(page.active->size(), 2, 20000);
        QCOMPARE(page.active->at(1).at(0).toBool(), false);
        QCOMPARE(bar->maximum(), 3);
        QCOMPARE(bar->value(), 3);
        QCOMPARE(page.child<QLabel>("runActionLine")->text(), u"Done. 3 sent."_s);
        QCOMPARE(page.child<QLabel>("runEstimateLine")->text(), QString());
        QCOMPARE(page.tab->summaryText(), summary);
        QCOMPARE(page.child<QLabel>("runSummaryLine")->text(), summary);
        QVERIFY(!page.child("cancelRunButton")->isEnabled());
        QVERIFY(page.child("sendCheckedButton")->isEnabled());

        // The last answer's line is posted as the answer is counted.
        QTRY_COMPARE_WITH_TIMEOUT(page.logText().count(u'\n'), 4, 20000);
        QCOMPARE(page.logText(), page.doc().logViewText());
        const QStringList lines = page.logText().split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.at(0).endsWith(u" Prepare and send checked records via 127.0.0.1 \u2026"_s), qPrintable(lines.at(0)));
        QCOMPARE(lines.size(), 4);
        QCOMPARE(storedMessages(*m_server) - storedBefore, stored);
        QVERIFY(page.doc().isDocumentEdited());
    }

    // The run resets the results table once, at its start, never per message.
    void theResultsTableFollowsTheRunRowByRow()
    {
        Page page(checkedRecords({u"a@example.org"_s, u"b@reject.test"_s, u"not an address"_s, u"d@later.test"_s}),
                  server());
        auto *table = page.child<QTableView>("runResultsTable");
        QCOMPARE(page.child<QLabel>("runResultsCountsLine")->text(), u"No send run yet"_s);
        QSignalSpy resets(table->model(), &QAbstractItemModel::modelReset);
        QSignalSpy inserted(table->model(), &QAbstractItemModel::rowsInserted);
        page.click("sendAllButton");
        QTRY_COMPARE_WITH_TIMEOUT(page.active->size(), 2, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(page.child<QLabel>("runResultsCountsLine")->text(),
                                  u"Accepted: 1  Refused: 2  Failed: 1  Unknown: 0"_s, 10000);
        const QStringList rows = resultRows(table);
        QCOMPARE(rows.size(), 4);
        QVERIFY2(rows.at(0).startsWith(u"a@example.org | Accepted | 250 "_s), qPrintable(rows.at(0)));
        QCOMPARE(rows.at(1), u"b@reject.test | Refused | 550 5.1.1 <b@reject.test>: Recipient address rejected"_s);
        QCOMPARE(rows.at(2), u" | Failed | EMAIL ERROR: Can't prepare and send without a valid TO address"_s);
        QCOMPARE(rows.at(3), u"d@later.test | Refused for now | 451 4.3.0 <d@later.test>: try again later"_s);
        QCOMPARE(resets.size(), 1);
        QCOMPARE(inserted.size(), 4);
        QCOMPARE(table->model()->headerData(2, Qt::Horizontal).toString(), u"Time"_s);
        QVERIFY(!table->model()->index(0, 2).data().toString().isEmpty());
    }

    void theLastRunsResultsShowWhenTheMailingOpens_data()
    {
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::addColumn<QString>("counts");
        QTest::addColumn<QStringList>("rows");
        const QByteArray start = RunJournal::line({u"quillcast-run"_s, u"1"_s, u"M"_s, u"1765180800000"_s});
        const QList<QByteArray> queued{RunJournal::line({u"Q"_s, u"0"_s, u"1"_s}), RunJournal::line({u"Q"_s, u"1"_s, u"2"_s}),
                                       RunJournal::line({u"Q"_s, u"2"_s, u"3"_s})};
        const QByteArray handedA = RunJournal::line({u"H"_s, u"0"_s, u"1765180801000"_s, u"a@example.org"_s});
        const QByteArray acceptedA = RunJournal::line({u"A"_s, u"0"_s, u"1765180802000"_s, u"250 Ok"_s});
        const QByteArray handedB = RunJournal::line({u"H"_s, u"1"_s, u"1765180803000"_s, u"b@example.org"_s});
        QTest::newRow("cut short in a message")
            << (QList<QByteArray>{start} + queued + QList<QByteArray>{handedA, acceptedA, handedB})
            << u"Accepted: 1  Refused: 0  Failed: 0  Unknown: 1  Not sent: 1"_s
            << QStringList{u"a@example.org | Accepted | 250 Ok"_s, u"b@example.org | Unknown | "_s};
        QTest::newRow("not a journal") << QList<QByteArray>{"not a journal\n"}
                                       << u"The results of the last run could not be read"_s << QStringList{};
        QTest::newRow("no run") << QList<QByteArray>{} << u"No send run yet"_s << QStringList{};
    }
    void theLastRunsResultsShowWhenTheMailingOpens()
    {
        QFETCH(QList<QByteArray>, lines);
        QFETCH(QString, counts);
        QFETCH(QStringList, rows);
        QTemporaryDir scratch;
        const QString mailing = scratch.filePath(u"Members.quillcast"_s);
        if (!lines.isEmpty()) {
            const std::unique_ptr<RunJournal> run = startedRun(mailing);
            QVERIFY(run);
            QVERIFY(quillcast::testing::writeFile(run->path(), lines.join()));
        }
        Page page({});
        QVERIFY(page.session->create(mailing).ok());
        auto *table = page.child<QTableView>("runResultsTable");
        QCOMPARE(page.child<QLabel>("runResultsCountsLine")->text(), counts);
        QCOMPARE(resultRows(table), rows);
    }

    // Retry Failed sends to the record refused for now, at its address edited
    // meanwhile, and changes its row in place.
    void theFailedOfARunAreCheckedAndSentAgain()
    {
        const qsizetype storedBefore = storedMessages(*m_server);
        Page page(checkedRecords({u"a@example.org"_s, u"b@later.test"_s, u"c@reject.test"_s}), server());
        QVERIFY(!page.child("retryFailedButton")->isEnabled());
        QVERIFY(!page.child("checkFailedButton")->isEnabled());
        QVERIFY(!page.child("exportResultsButton")->isEnabled());
        page.click("sendAllButton");
        QTRY_COMPARE_WITH_TIMEOUT(page.active->size(), 2, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(page.child<QLabel>("runResultsCountsLine")->text(),
                                  u"Accepted: 1  Refused: 2  Failed: 0  Unknown: 0"_s, 10000);
        QVERIFY(page.child("retryFailedButton")->isEnabled());
        QVERIFY(page.child("checkFailedButton")->isEnabled());
        QVERIFY(page.child("exportResultsButton")->isEnabled());

        const auto flags = [&] {
            QList<bool> checked;
            page.doc().addressArray().read([&](const List::Items &items) {
                for (const Value &item : items)
                    checked += item.toDict().boolValue(u"2"_s);
            });
            return checked;
        };
        page.click("checkFailedButton");
        QCOMPARE(flags(), (QList<bool>{false, true, true}));
        QVERIFY(page.doc().undoManager().undo());
        QCOMPARE(flags(), (QList<bool>{true, true, true}));

        page.doc().setRecordValue(page.doc().addressArray().at(1).toDict(), u"3"_s, Value(u"b@example.org"_s));
        auto *table = page.child<QTableView>("runResultsTable");
        QSignalSpy resets(table->model(), &QAbstractItemModel::modelReset);
        QSignalSpy inserted(table->model(), &QAbstractItemModel::rowsInserted);
        page.click("retryFailedButton");
        QCOMPARE(page.alerts.shown().last().messageText,
                 u"Do you want to send the emails again for the 1 records that failed?"_s);
        QTRY_COMPARE_WITH_TIMEOUT(page.active->size(), 4, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(page.child<QLabel>("runResultsCountsLine")->text(),
                                  u"Accepted: 2  Refused: 1  Failed: 0  Unknown: 0"_s, 10000);
        const QStringList rows = resultRows(table);
        QCOMPARE(rows.size(), 3);
        QVERIFY2(rows.at(1).startsWith(u"b@example.org | Accepted | 250 "_s), qPrintable(rows.at(1)));
        QCOMPARE(rows.at(2), u"c@reject.test | Refused | 550 5.1.1 <c@reject.test>: Recipient address rejected"_s);
        QCOMPARE(resets.size(), 0);
        QCOMPARE(inserted.size(), 0);
        QCOMPARE(storedMessages(*m_server) - storedBefore, 2);
        QVERIFY(page.doc().logViewText().contains(u" Send again the failed of the run of "_s));
        QTRY_COMPARE(page.logText(), page.doc().logViewText());
        // Only the one refused for good is left: nothing to retry.
        QVERIFY(!page.child("retryFailedButton")->isEnabled());
        QVERIFY(page.child("checkFailedButton")->isEnabled());
    }

    void exportResultsWritesTheCsvWhereAsked_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("written");
        QTest::addColumn<QString>("alert");
        QTest::newRow("written") << u"results.csv"_s << true << QString();
        QTest::newRow("a folder that is not there") << u"gone/results.csv"_s << false
                                                    << u"The results could not be exported"_s;
        QTest::newRow("cancelled") << QString() << false << QString();
    }
    void exportResultsWritesTheCsvWhereAsked()
    {
        QFETCH(QString, target);
        QFETCH(bool, written);
        QFETCH(QString, alert);
        QTemporaryDir scratch;
        const QString mailing = scratch.filePath(u"Members.quillcast"_s);
        {
            const std::unique_ptr<RunJournal> run = startedRun(mailing);
            QVERIFY(run);
            QVERIFY(run->queued({{0, u"1"_s}}).ok());
            QVERIFY(run->handed(0, u"=a@example.org"_s, QDateTime::currentDateTimeUtc()).ok());
            QVERIFY(run->accepted(0, u"250 Ok"_s, QDateTime::currentDateTimeUtc()).ok());
            QVERIFY(run->flush().ok());
        }
        Page page({});
        QVERIFY(page.session->create(mailing).ok());
        QVERIFY(page.child("exportResultsButton")->isEnabled());
        const QString path = target.isEmpty() ? QString() : scratch.filePath(target);
        page.filePanel.queueSaveAnswer(target.isEmpty() ? std::nullopt : std::optional<QString>(path));
        page.click("exportResultsButton");
        QCOMPARE(page.filePanel.saveRequests().size(), 1);
        QCOMPARE(page.filePanel.saveRequests().at(0).proposedName, u"Members results.csv"_s);
        QCOMPARE(page.filePanel.saveRequests().at(0).window, &page.window);
        QCOMPARE(QFileInfo::exists(path), written);
        if (written) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QList<QByteArray> lines = file.readAll().split('\n');
            QCOMPARE(lines.at(0), "record,address,outcome,code,reply,time\r");
            QVERIFY2(lines.at(1).startsWith("1,\"'=a@example.org\",accepted,,250 Ok,"), lines.at(1).constData());
        }
        QCOMPARE(page.alerts.shown().isEmpty() ? QString() : page.alerts.shown().last().messageText, alert);
        if (!alert.isEmpty())
            QVERIFY(page.alerts.shown().last().informativeText.contains(path));
    }

    // A finished run is not offered again, whatever its journal holds.
    void aRunCutShortIsOfferedToResumeWhenTheMailingOpens_data()
    {
        QTest::addColumn<bool>("finished");
        QTest::addColumn<int>("answer");
        QTest::addColumn<qsizetype>("sent");
        QTest::addColumn<QString>("logged");
        QTest::newRow("Resume") << false << 0 << qsizetype(1) << u"; 1 whose answer is unknown not sent again"_s;
        QTest::newRow("Resume and Resend Unknown")
            << false << 1 << qsizetype(2) << u"; 1 whose answer is unknown sent again"_s;
        QTest::newRow("Not Now") << false << 2 << qsizetype(0) << QString();
        QTest::newRow("a finished run: not offered") << true << 0 << qsizetype(0) << QString();
    }
    void aRunCutShortIsOfferedToResumeWhenTheMailingOpens()
    {
        QFETCH(bool, finished);
        QFETCH(int, answer);
        QFETCH(qsizetype, sent);
        QFETCH(QString, logged);
        QTemporaryDir scratch;
        const QString mailing = scratch.filePath(u"Members.quillcast"_s);
        {
            Page writer(checkedRecords({u"a@example.org"_s, u"b@example.org"_s, u"c@example.org"_s}));
            QVERIFY(writer.session->saveAs(mailing).ok());
        }
        {
            const std::unique_ptr<RunJournal> run = startedRun(mailing);
            QVERIFY(run);
            QVERIFY(run->queued({{0, u"1"_s}, {1, u"2"_s}, {2, u"3"_s}}).ok());
            QVERIFY(run->handed(0, u"a@example.org"_s, QDateTime::currentDateTimeUtc()).ok());
            QVERIFY(run->accepted(0, u"250 Ok"_s, QDateTime::currentDateTimeUtc()).ok());
            QVERIFY(run->handed(1, u"b@example.org"_s, QDateTime::currentDateTimeUtc()).ok());
            if (finished)
                QVERIFY(run->ended(RunJournal::End::Finished, QString(), QDateTime::currentDateTimeUtc()).ok());
        }
        const qsizetype storedBefore = storedMessages(*m_server);
        Page page({}, server());
        page.alerts.queueAnswer(answer);
        QVERIFY(page.session->open(mailing).ok());
        if (finished) {
            QTest::qWait(200);
            QCOMPARE(page.alerts.shown().size(), 0);
            QCOMPARE(page.active->size(), 0);
            return;
        }
        QTRY_VERIFY(!page.alerts.shown().isEmpty());
        const Alert offer = page.alerts.shown().at(0);
        QCOMPARE(offer.messageText, u"This mailing's last send run did not finish."_s);
        QVERIFY2(offer.informativeText.startsWith(u"Accepted: 1  Refused: 0  Failed: 0  Unknown: 1  Not sent: 1\n\n"_s),
                 qPrintable(offer.informativeText));
        QCOMPARE(offer.buttons, (QStringList{u"Resume"_s, u"Resume and Resend Unknown"_s, u"Not Now"_s}));
        QCOMPARE(offer.kind, Alert::Kind::Sheet);
        if (sent == 0) {
            QTest::qWait(200);
            QCOMPARE(page.alerts.shown().size(), 1);
            QCOMPARE(page.active->size(), 0);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(page.active->size(), 2, 20000);
        QCOMPARE(page.alerts.shown().at(1).messageText,
                 u"Do you want to resume the run and send the emails for %1 records?"_s.arg(sent));
        QTRY_COMPARE_WITH_TIMEOUT(storedMessages(*m_server) - storedBefore, sent, 10000);
        QVERIFY2(page.doc().logViewText().contains(logged), qPrintable(page.doc().logViewText()));
        QTRY_COMPARE(page.child<QLabel>("runResultsCountsLine")->text(),
                     sent == 1 ? u"Accepted: 2  Refused: 0  Failed: 0  Unknown: 1"_s
                               : u"Accepted: 3  Refused: 0  Failed: 0  Unknown: 0"_s);
    }

    // Only an address refused as unknown goes to the exceptions, not one refused for now.
    void addressesRefusedAsUnknownGoToTheExceptionsWhenTicked()
    {
        Page page(checkedRecords({u"a@example.org"_s, u"b@reject.test"_s, u"c@later.test"_s}), server());
        auto *box = page.child<QCheckBox>("addRefusedToExceptionsBox");
        QVERIFY(!box->isChecked());
        QCOMPARE(box->accessibleName(), u"Add addresses refused as unknown to the exceptions"_s);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        QCOMPARE(page.doc().addRefusedToExceptions(), 1);
        QVERIFY(page.doc().isDocumentEdited());
        QVERIFY(page.doc().undoManager().undo());
        QVERIFY(!box->isChecked());
        QVERIFY(page.doc().undoManager().redo());
        QVERIFY(box->isChecked());

        page.click("sendAllButton");
        QTRY_COMPARE_WITH_TIMEOUT(page.active->size(), 2, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(page.doc().exceptArray().size(), qsizetype(1), 10000);
        const Dict listed = page.doc().exceptArray().at(0).toDict();
        QCOMPARE(listed.stringValue(u"email"_s), u"b@reject.test"_s);
        QCOMPARE(listed.stringValue(u"note"_s), u"550 5.1.1 <b@reject.test>: Recipient address rejected"_s);
        QTest::qWait(100);
        QCOMPARE(page.doc().exceptArray().size(), qsizetype(1));
    }

    // Cancel cuts the pause short: the second message never leaves.
    void cancelStopsBeforeTheNextMessage()
    {
        const qsizetype storedBefore = storedMessages(*m_server);
        Page page(checkedRecords({u"a@example.org"_s, u"b@example.org"_s, u"c@example.org"_s}), server());
        page.doc().setSendPrepTimeInterval(60);

        page.click("sendAllButton");
        QTRY_COMPARE_WITH_TIMEOUT(page.child<QLabel>("runActionLine")->text(),
                                  u"Preparing email: 2 of 3 (1 remaining)"_s, 20000);
        QCOMPARE(page.child<QLabel>("runEstimateLine")->text(), u"Completation in about 00:02:00 (hh:mm:ss)"_s);
        QElapsedTimer cancelled;
        cancelled.start();
        page.click("cancelRunButton");
        QTRY_COMPARE_WITH_TIMEOUT(page.active->size(), 2, 20000);
        // The pause is a minute: well under it means the cancel cut it short.
        QVERIFY2(cancelled.elapsed() < 30000, "the cancel waited for the pause");
        QCOMPARE(page.child<QLabel>("runActionLine")->text(), u"Cancelled at: 2 of 3 (1 sent, 2 unsent)"_s);
        QCOMPARE(page.tab->summaryText(), u"Summary: 0 refused (see the log), 1 accepted by the server, 0 failed"_s);
        QCOMPARE(page.child<QProgressBar>("runProgressBar")->value(), 1);
        QCOMPARE(storedMessages(*m_server) - storedBefore, 1);
    }

    // The worker ends once the last message is handed over; the run waits for
    // the answers, and what a Cancel cuts off then counts as failed.
    void theRunWaitsForTheServersAnswers()
    {
        Page page(checkedRecords({u"a@example.org"_s}), server("late"));
        page.click("sendAllButton");
        QTRY_COMPARE_WITH_TIMEOUT(page.child<QLabel>("runActionLine")->text(), u"Done. 1 sent."_s, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(page.tab->summaryText(), u"Waiting for the server's answers to 1 messages"_s, 20000);
        QCOMPARE(page.active->size(), 1);
        QVERIFY(page.tab->isRunActive());
        QVERIFY(!page.child("sendAllButton")->isEnabled());
        QVERIFY(page.child("cancelRunButton")->isEnabled());

        page.click("cancelRunButton");
        QTRY_COMPARE_WITH_TIMEOUT(page.active->size(), 2, 10000);
        QCOMPARE(page.tab->summaryText(), u"Summary: 0 refused (see the log), 0 accepted by the server, 1 failed"_s);
        QVERIFY(page.child("sendAllButton")->isEnabled());
    }

    void sendingTheSelectedRecordSendsItAlone()
    {
        const qsizetype storedBefore = storedMessages(*m_server);
        Page page(checkedRecords({u"a@example.org"_s, u"b@example.org"_s}), server());
        QSignalSpy selection(page.tab.get(), &SendTab::selectionChanged);
        QVERIFY(!page.child("prepareSelectedButton")->isEnabled());
        QVERIFY(!page.child("sendSelectedButton")->isEnabled());
        page.child<QTableView>("sendListTable")->selectRow(1);
        QCOMPARE(page.tab->selectedRows(), QList<qsizetype>{1});
        QVERIFY(selection.size() >= 1);
        QVERIFY(page.child("prepareSelectedButton")->isEnabled());
        page.click("sendSelectedButton");
        QTRY_VERIFY_WITH_TIMEOUT(page.logText().contains(u"Email sent via 127.0.0.1 to b@example.org"_s), 10000);
        QCOMPARE(storedMessages(*m_server) - storedBefore, 1);
        QCOMPARE(page.alerts.shown().size(), 0);
    }

    void aCancelledConfirmationStartsNoRun()
    {
        Page page(checkedRecords({u"a@example.org"_s}), server());
        page.alerts.queueAnswer(1);
        page.click("sendAllButton");
        QCOMPARE(page.alerts.shown().size(), 1);
        QTest::qWait(200);
        QCOMPARE(page.active->size(), 0);
        QVERIFY(page.child("sendAllButton")->isEnabled());
    }

    void tickingARecordEnablesTheCheckedCommandsAtOnce()
    {
        List::Items items{record(1, false, u"a@example.org"_s), record(2, false, u"b@example.org"_s)};
        Page page(items);
        auto *table = page.child<QTableView>("sendListTable");
        QVERIFY(!page.child("sendCheckedButton")->isEnabled());
        QVERIFY(!page.child("prepareCheckedButton")->isEnabled());
        QVERIFY(page.child("sendAllButton")->isEnabled());

        table->setFocus();
        table->setCurrentIndex(table->model()->index(1, 1));
        QTest::keyClick(table, Qt::Key_Space);
        QVERIFY(page.doc().isCheckedRecords4Send());
        QVERIFY(page.child("sendCheckedButton")->isEnabled());
        QVERIFY(page.child("prepareCheckedButton")->isEnabled());
        QVERIFY(page.doc().isDocumentEdited());
        QCOMPARE(page.doc().addressArray().at(1).toDict().boolValue(u"2"_s), true);

        QTest::keyClick(table, Qt::Key_Space);
        QVERIFY(!page.doc().isCheckedRecords4Send());
        QVERIFY(!page.child("sendCheckedButton")->isEnabled());
    }

    // The log is written in batches: a hundred thousand lines arriving as
    // fast as a worker can hand them in all arrive, in order, while the
    // loop keeps turning. How long it stands still is reported, not
    // asserted: a loaded test machine would make that a coin toss.
    void aFloodOfLogLinesArrivesWhole()
    {
        Page page({});
        constexpr int kLines = 100000;
        std::atomic<bool> stop{false};
        std::thread writer([&] {
            for (int i = 0; i < kLines && !stop.load(); ++i) {
                page.doc().appendToLogView(u"12/8/26, 1:00 Email sent via 127.0.0.1 to r%1@example.org\n"_s.arg(i));
                if (i % 200 == 199)
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });

        qint64 largestGap = 0;
        QElapsedTimer sinceTick;
        sinceTick.start();
        QTimer ticker;
        ticker.setInterval(10);
        connect(&ticker, &QTimer::timeout, &ticker, [&] { largestGap = std::max(largestGap, sinceTick.restart()); });
        ticker.start();
        auto *log = page.child<LogView>("logView");
        QElapsedTimer total;
        total.start();
        while (log->blockCount() < kLines + 1 && total.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        ticker.stop();
        stop.store(true);
        writer.join();

        QCOMPARE(log->blockCount(), kLines + 1);
        QCOMPARE(log->toPlainText().size(), page.doc().logViewText().size());
        qInfo("largest gap of a 10 ms timer while 100000 lines were logged: %lld ms", largestGap);
        // Kept at its end.
        QCOMPARE(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
    }

    // The undo command itself: the core's tests.
    void clearLogIsUndoable()
    {
        Page page({});
        page.doc().setLogViewText(u"12/8/26, 1:00 Email sent via host to a@example.org\n"_s);
        page.doc().updateChangeCount(MyDocument::ChangeKind::Cleared);
        QTRY_VERIFY(page.child("clearLogButton")->isEnabled());
        page.click("clearLogButton");
        QCOMPARE(page.logText(), QString());
        QVERIFY(page.doc().isDocumentEdited());
        QVERIFY(!page.child("clearLogButton")->isEnabled());

        QVERIFY(page.doc().undoManager().undo());
        QCOMPARE(page.logText(), u"12/8/26, 1:00 Email sent via host to a@example.org\n"_s);
        QVERIFY(page.child("clearLogButton")->isEnabled());
    }

    void incompleteSettingsLeadToThePreferences_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QList<int>>("opened");
        QTest::newRow("Open Server Settings") << 0 << QList<int>{ConnectionProvider::MailServerTab};
        QTest::newRow("Cancel") << 1 << QList<int>{};
    }
    void incompleteSettingsLeadToThePreferences()
    {
        QFETCH(int, answer);
        QFETCH(QList<int>, opened);
        Page page(checkedRecords({u"a@example.org"_s}));
        page.alerts.queueAnswer(0);
        page.alerts.queueAnswer(answer);
        page.click("sendCheckedButton");
        QCOMPARE(page.alerts.shown().size(), 2);
        const Alert &sheet = page.alerts.shown().at(1);
        QCOMPARE(sheet.messageText, u"Wrong server settings: Empty server name"_s);
        QCOMPARE(sheet.buttons, (QStringList{u"Open Server Settings"_s, u"Cancel"_s}));
        QCOMPARE(sheet.kind, Alert::Kind::Sheet);
        QTest::qWait(100);
        QCOMPARE(page.openedPreferences, opened);
        QCOMPARE(page.active->size(), 0);
    }

    void preparingWritesADraftPerRecordIntoTheChosenFolder()
    {
        QTemporaryDir scratch;
        const QString drafts = scratch.filePath(u"chosen drafts"_s);
        Page page(checkedRecords({u"a@example.org"_s, u"b@example.org"_s, u"bad address"_s}));
        QVERIFY(page.child<QLabel>("draftsFolderLine")->text().endsWith(u"Untitled-drafts"_s));
        page.filePanel.queueOpenAnswer(drafts);
        page.click("draftsFolderButton");
        QCOMPARE(page.filePanel.openRequests().size(), 1);
        QVERIFY(page.filePanel.openRequests().at(0).choosesFolders);
        QCOMPARE(page.tab->draftsFolder(), drafts);

        page.click("prepareAllButton");
        QCOMPARE(page.alerts.shown().at(0).messageText,
                 u"Do you want to prepare the emails for all the 3 records?"_s);
        QTRY_COMPARE_WITH_TIMEOUT(page.active->size(), 2, 20000);
        QCOMPARE(QDir(drafts).entryList({u"*.eml"_s}, QDir::Files).size(), 2);
        QCOMPARE(page.tab->summaryText(),
                 u"Summary: 1 refused (see the log), 2 drafts written, 0 failed; drafts in "_s + drafts);
        QCOMPARE(page.alerts.shown().size(), 2);
        QCOMPARE(page.alerts.shown().at(1).buttons.at(0), u"Open Drafts Folder"_s);
        QCOMPARE(page.urlOpener.openedFiles, QStringList{drafts});
    }

    void editingThePauseMarksTheMailingEdited()
    {
        Page page({});
        auto *pause = page.child<QSpinBox>("pauseField");
        QCOMPARE(pause->value(), 1);
        QVERIFY(!page.doc().isDocumentEdited());
        pause->setFocus();
        pause->selectAll();
        QTest::keyClicks(pause, u"12"_s);
        QTest::keyClick(pause, Qt::Key_Return);
        QCOMPARE(page.doc().sendPrepTimeInterval(), 12);
        QVERIFY(page.doc().isDocumentEdited());

        pause->selectAll();
        QTest::keyClicks(pause, u"0"_s);
        QTest::keyClick(pause, Qt::Key_Return);
        QVERIFY(page.doc().sendPrepTimeInterval() >= 1);

        // A value the document takes otherwise (a revert, a run's repair) shows.
        page.doc().setSendPrepTimeInterval(7);
        QCOMPARE(pause->value(), 7);
    }

    void sendingThroughTheSystemGoesToSendmail_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("summary");
        QTest::newRow("takes every message")
            << u"cat > \"$(mktemp \"$0.out.XXXXXX\")\"\nexit 0\n"_s
            << u"Summary: 0 refused (see the log), 2 accepted by sendmail, 0 failed"_s;
        QTest::newRow("queue full") << u"cat > /dev/null\necho 'queue full' >&2\nexit 75\n"_s
                                    << u"Summary: 0 refused (see the log), 0 accepted by sendmail, 2 failed"_s;
    }
    void sendingThroughTheSystemGoesToSendmail()
    {
        QFETCH(QString, script);
        QFETCH(QString, summary);
        QTemporaryDir scratch;
        const QString sendmail = scratch.filePath(u"sendmail"_s);
        QVERIFY(quillcast::testing::writeScript(sendmail, script));
        Page page(checkedRecords({u"a@example.org"_s, u"b@example.org"_s}), server());
        page.doc().setUseMailServerToSend(0);
        page.tab->setSendmailPath(sendmail);
        page.click("sendCheckedButton");
        QTRY_COMPARE_WITH_TIMEOUT(page.active->size(), 2, 20000);
        QCOMPARE(page.tab->summaryText(), summary);
        QTRY_COMPARE(page.logText().count(u"via sendmail to"_s), 2);
        QCOMPARE(page.logText(), page.doc().logViewText());
        // Nothing was written as a draft, nothing offered to open.
        QCOMPARE(page.alerts.shown().size(), 1);
    }

    void preparingTheSelectedRecordOpensOneComposeWindow()
    {
        QTemporaryDir scratch;
        const QString calls = scratch.filePath(u"calls"_s);
        const QString compose = scratch.filePath(u"xdg-email"_s);
        QVERIFY(quillcast::testing::writeScript(compose, u"for a; do last=$a; done\necho \"$last\" >> \"%1\"\n"_s.arg(calls)));
        Page page(checkedRecords({u"a@example.org"_s, u"b@example.org"_s, u"c@example.org"_s}));
        page.tab->setComposeProgram(compose);
        page.child<QTableView>("sendListTable")->selectRow(1);
        page.click("prepareSelectedButton");
        QTRY_VERIFY(QFileInfo::exists(calls));
        QTRY_COMPARE(page.logText().split(u'\n', Qt::SkipEmptyParts).size(), 1);
        QCOMPARE(quillcast::testing::fileContents(calls), QByteArray("mailto:b@example.org\n"));
    }

    // The window lets go of its session before its pages (members go before
    // child widgets).
    void thePageOutlivesItsSession()
    {
        Page page(checkedRecords({u"a@example.org"_s, u"b@example.org"_s}));
        page.doc().setLogViewText(u"a line\n"_s);
        QVERIFY(QTest::qWaitForWindowExposed(&page.window));
        auto *table = page.child<QTableView>("sendListTable");
        QCOMPARE(table->model()->rowCount(), 2);
        QTRY_COMPARE(page.logText(), u"a line\n"_s);

        page.session.reset();
        page.tab->repaint();
        QTest::qWait(50);
        QCOMPARE(table->model(), nullptr);
        QCOMPARE(page.logText(), QString());
    }

    void theSearchFiltersTheList()
    {
        Page page(checkedRecords({u"anna@example.org"_s, u"bert@example.org"_s, u"anne@example.org"_s}));
        auto *table = page.child<QTableView>("sendListTable");
        QCOMPARE(table->model()->rowCount(), 3);
        QTest::keyClicks(page.child<QLineEdit>("sendSearchField"), u"ann"_s);
        QTRY_COMPARE(table->model()->rowCount(), 2);
        QCOMPARE(page.doc().searchFieldSendStr(), u"ann"_s);
    }
};

QTEST_MAIN(SendTabTest)
#include "SendTabTest.moc"
