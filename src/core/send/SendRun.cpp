#include "send/SendRun.h"

#include "database/ExceptionCommands.h"
#include "database/RecordChecks.h"
#include "database/SendListCommands.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/AlertPresenter.h"
#include "platform/Clock.h"
#include "platform/Sleeper.h"
#include "document/LogTimeStamp.h"
#include "document/SendProgress.h"
#include "send/AccountRefusal.h"
#include "send/RecipientRefusal.h"
#include "send/RunJournal.h"
#include "send/RunJournalFolder.h"
#include "send/ServerSettings.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

bool isSendKind(SendRun::Kind kind)
{
    return kind == SendRun::Kind::SendChecked || kind == SendRun::Kind::SendAll || kind == SendRun::Kind::Resume ||
           kind == SendRun::Kind::RetryFailed;
}

bool isSelectionKind(SendRun::Kind kind)
{
    return kind == SendRun::Kind::Resume || kind == SendRun::Kind::RetryFailed;
}

bool isCheckedKind(SendRun::Kind kind)
{
    return kind == SendRun::Kind::SendChecked || kind == SendRun::Kind::PrepareChecked;
}

} // namespace

SendRun::SendRun(MyDocument &document, SendingServices services, Sleeper &sleeper, const Clock &pacingClock)
    : m_doc(document),
      m_progress(document.sendProgress()),
      m_services(services),
      m_preparation(document, services),
      m_sleeper(sleeper),
      m_pacingClock(pacingClock),
      m_alive(std::make_shared<SendRun *>(this))
{
    // Refusals heard while the worker went wait for its end.
    m_progressEnded =
        QObject::connect(&m_progress, &SendProgress::finished, &m_doc, [this] { addRefusedToExceptions(); });
}

SendRun::~SendRun()
{
    QObject::disconnect(m_progressEnded);
    m_alive.reset();
    bool ownWorker = false;
    {
        const std::lock_guard guard(m_threadLock);
        ownWorker = m_worker.joinable();
    }
    // Another run's object may be the one working on the document.
    if (ownWorker && m_progress.isRunning())
        m_progress.requestCancel();
    waitForFinished();
}

bool SendRun::isRunning() const
{
    return m_progress.isRunning();
}

void SendRun::cancel()
{
    m_progress.requestCancel();
}

void SendRun::waitForFinished()
{
    std::thread worker;
    {
        const std::lock_guard guard(m_threadLock);
        worker = std::move(m_worker);
    }
    if (worker.joinable())
        worker.join();
}

QString SendRun::confirmationText(Kind kind, qint64 count)
{
    switch (kind) {
    case Kind::SendChecked:
        return QString::asprintf("Do you want to send the emails for %lli checked records?", count);
    case Kind::PrepareChecked:
        return QString::asprintf("Do you want to prepare the emails for %lli checked records?", count);
    case Kind::SendAll:
        return QString::asprintf("Do you want to send the emails for all the %lli records?", count);
    case Kind::PrepareAll:
        return QString::asprintf("Do you want to prepare the emails for all the %lli records?", count);
    case Kind::Resume:
        return QString::asprintf("Do you want to resume the run and send the emails for %lli records?", count);
    case Kind::RetryFailed:
        return QString::asprintf("Do you want to send the emails again for the %lli records that failed?", count);
    }
    return QString();
}

void SendRun::refuseSecondRun()
{
    if (AlertPresenter *presenter = m_doc.alertPresenter()) {
        Alert alert;
        alert.messageText = u"A send run is already in progress"_s;
        alert.informativeText = u"Wait for it to finish, or cancel it, before starting another one."_s;
        alert.buttons = {u"OK"_s};
        alert.style = Alert::Style::Informational;
        presenter->present(alert, [](int) {});
    }
}

void SendRun::start(Kind kind)
{
    if (m_progress.isRunning()) {
        refuseSecondRun();
        return;
    }
    // The whole send list takes part, whatever its search field showed.
    m_doc.setSearchFieldSendStr(QString(u""_s));
    m_doc.filterSend();

    AlertPresenter *presenter = m_doc.alertPresenter();
    if (!presenter)
        return;
    qint64 count = isCheckedKind(kind) ? SendListCommands(m_doc).checkedRecordsSendN() : m_doc.sendArray().size();
    if (isSelectionKind(kind)) {
        const std::lock_guard guard(m_journalLock);
        count = m_selection ? qint64(m_selection->records().size()) : 0;
    }
    Alert alert;
    alert.messageText = confirmationText(kind, count);
    alert.informativeText = u"The task will be launched in a separate thread, you can stop it at any time"_s;
    alert.buttons = {u"OK"_s, u"Cancel"_s};
    alert.style = Alert::Style::Warning;
    alert.kind = Alert::Kind::Sheet;

    // The sheet may answer after the run object is gone with its window,
    // or after the document is.
    QPointer<MyDocument> document = m_doc.selfPointer();
    presenter->present(alert, [alive = std::weak_ptr<SendRun *>(m_alive), document, kind](int chosen) {
        const std::shared_ptr<SendRun *> run = alive.lock();
        if (chosen != 0 || !run || !document)
            return;
        (*run)->launch(kind);
    });
}

void SendRun::resumeRun(const QString &journalPath, bool resendUnknown)
{
    if (m_progress.isRunning()) {
        refuseSecondRun();
        return;
    }
    m_doc.setSearchFieldSendStr(QString(u""_s));
    m_doc.filterSend();
    startSelected(Kind::Resume, RunSelection::forResume(m_doc, journalPath, resendUnknown));
}

void SendRun::retryFailed(const QString &journalPath, bool includePermanent)
{
    if (m_progress.isRunning()) {
        refuseSecondRun();
        return;
    }
    m_doc.setSearchFieldSendStr(QString(u""_s));
    m_doc.filterSend();
    startSelected(Kind::RetryFailed, RunSelection::forRetry(m_doc, journalPath, includePermanent));
}

void SendRun::startSelected(Kind kind, const Result<RunSelection> &selection)
{
    if (!selection) {
        if (AlertPresenter *presenter = m_doc.alertPresenter()) {
            Alert alert;
            alert.messageText = u"The run cannot be continued"_s;
            alert.informativeText = selection.error();
            alert.buttons = {u"OK"_s};
            alert.style = Alert::Style::Warning;
            presenter->present(alert, [](int) {});
        }
        return;
    }
    {
        const std::lock_guard guard(m_journalLock);
        m_selection = selection.value();
    }
    start(kind);
}

QString SendRun::accountRefusal() const
{
    const std::lock_guard guard(m_journalLock);
    return m_accountReply;
}

void SendRun::answered(const LXMailCoreBridge::SendReport &report, const QString &address)
{
    if (!report.succeeded && m_doc.addRefusedToExceptions() != 0 && !address.isEmpty() &&
        RecipientRefusal::addressUnknown(report.replyCode, report.replyText)) {
        m_refusedAddresses.emplace_back(address, QString::number(report.replyCode) + u' ' + report.replyText);
        if (!m_progress.isRunning())
            addRefusedToExceptions();
    }
    if (report.succeeded || !AccountRefusal::stopsTheRun(report.replyCode, report.replyText))
        return;
    if (m_accountStopped.exchange(true))
        return;
    {
        const std::lock_guard guard(m_journalLock);
        m_accountReply = QString::number(report.replyCode) + u' ' + report.replyText;
    }
    m_doc.appendToLogView(LogTimeStamp::now(m_doc.clock()) + u' ' +
                          AccountRefusal::stopLine(report.replyCode, report.replyText) + u'\n');
    if (m_progress.isRunning())
        m_progress.requestCancel();
}

void SendRun::addRefusedToExceptions()
{
    if (m_progress.isRunning())
        return;
    const std::vector<std::pair<QString, QString>> refused = std::exchange(m_refusedAddresses, {});
    for (const auto &[address, reply] : refused) {
        ExceptionCommands exceptions(m_doc);
        if (exceptions.emailInExceptionList(Value(address)))
            continue;
        Dict record = exceptions.getNewExceptRow();
        record.set(DocumentKeys::exceptEmail(), Value(address));
        record.set(DocumentKeys::exceptNote(), Value(reply));
        exceptions.addTheExcept(record);
        m_doc.appendToLogView(LogTimeStamp::now(m_doc.clock()) + u' ' + address +
                              u" added to the exception list: the server refused the address ("_s + reply + u")\n"_s);
    }
}

void SendRun::launch(Kind kind)
{
    ServerSettings settings(m_doc, m_services.connections);
    const ServerCredentials server = settings.serverForSending(m_services.server);
    // Sending through the user's own mail system is checked as well.
    if (isSendKind(kind)) {
        if (const int code = ServerSettings::checkForCorrectServerSetting(server); code != ServerSettings::Complete) {
            settings.presentServerSettingErrorDialog(code);
            return;
        }
    }
    if (!m_progress.tryStart()) {
        refuseSecondRun();
        return;
    }
    waitForFinished(); // the worker of the previous run has ended its loop already
    // Before the worker exists: it reads the server from its start on.
    m_preparation.setServer(server);
    m_launched.fetch_add(1);

    const bool sending = isSendKind(kind);
    const std::lock_guard guard(m_threadLock);
    m_worker = std::thread([this, kind, sending] {
        if (isSelectionKind(kind))
            runSelection(kind);
        else if (isCheckedKind(kind))
            doPrepareCheckedRecordsSending(sending);
        else
            doPrepareAllRecordsSending(sending);
    });
}

void SendRun::doPrepareCheckedRecordsSending(bool sending)
{
    const QString checked = DocumentKeys::checkedInnerKey();
    List::Items records;
    m_doc.sendArray().read([&](const List::Items &items) {
        for (const Value &item : items) {
            if (item.toDict().boolValue(checked))
                records.push_back(item);
        }
    });
    const QString stamp = LogTimeStamp::now(m_doc.clock());
    if (sending) {
        const QString via =
            m_preparation.sendsThroughServer() ? m_preparation.server().name : u"Mail.app"_s;
        m_doc.appendToLogView(stamp + u" Prepare and send checked records via "_s + via + u" \u2026\n"_s);
    } else {
        m_doc.appendToLogView(stamp + u" Prepare checked records via Mail.app \u2026\n"_s);
    }
    doPrepareInArray(records, sending);
}

void SendRun::doPrepareAllRecordsSending(bool sending)
{
    const QString stamp = LogTimeStamp::now(m_doc.clock());
    m_doc.appendToLogView(stamp + (sending ? u" Prepare and send all records \u2026\n"_s : u" Prepare all records \u2026\n"_s));
    List::Items records;
    for (const Dict &record : *m_doc.sendArrayShown().records())
        records.emplace_back(record);
    doPrepareInArray(records, sending);
}

void SendRun::pause()
{
    const QDateTime started = m_pacingClock.now();
    for (;;) {
        const qint64 elapsedMs = started.msecsTo(m_pacingClock.now());
        if (elapsedMs >= m_doc.sendPrepTimeInterval() * 1000)
            return;
        if (m_progress.cancelRequested())
            return;
        m_sleeper.sleepFor(std::chrono::milliseconds(500));
    }
}

std::optional<QString> SendRun::lastJournalPath() const
{
    const std::lock_guard guard(m_journalLock);
    return m_journalPath;
}

std::shared_ptr<RunJournal> SendRun::startJournal(const List::Items &records)
{
    if (m_services.journalFolder.isEmpty())
        return nullptr;
    const auto refuse = [this](const QString &why) {
        m_doc.appendToLogView(LogTimeStamp::now(m_doc.clock()) + u" The run's journal could not be written ("_s + why +
                              u"); should the run be interrupted, it cannot be resumed\n"_s);
        return nullptr;
    };
    Result<std::unique_ptr<RunJournal>> started =
        RunJournalFolder(m_services.journalFolder).startRun(m_services.mailingPath, QDateTime::currentDateTimeUtc());
    if (!started)
        return refuse(started.error());
    std::shared_ptr<RunJournal> journal = std::move(started).value();
    journal->setObserver(m_journalObserver);
    std::vector<RunJournal::Queued> queued;
    queued.reserve(records.size());
    const QString number = DocumentKeys::numberInnerKey();
    for (size_t i = 0; i < records.size(); ++i)
        queued.push_back({qint64(i), records[i].toDict().value(number).toString()});
    if (const Status written = journal->queued(queued); !written)
        return refuse(written.error());
    const std::lock_guard guard(m_journalLock);
    m_journalPath = journal->path();
    return journal;
}

void SendRun::runSelection(Kind kind)
{
    std::optional<RunSelection> selection;
    {
        const std::lock_guard guard(m_journalLock);
        selection = std::move(m_selection);
        m_selection.reset();
    }
    if (!selection) {
        // Started without a selection (start(Kind::Resume) itself): an
        // empty run, so that the progress still ends.
        runRecords({}, true, nullptr, {});
        return;
    }
    const QString stamp = LogTimeStamp::now(m_doc.clock());
    const QString via = m_preparation.server().name;
    const QString of = selection->run().start().toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s);
    const QString gone =
        selection->gone() == 0 ? QString() : u"; %1 no longer on the send list"_s.arg(selection->gone());
    if (kind == Kind::Resume) {
        const QString doubt = selection->unknown() == 0 ? QString()
            : selection->resendUnknown()
            ? u"; %1 whose answer is unknown sent again"_s.arg(selection->unknown())
            : u"; %1 whose answer is unknown not sent again"_s.arg(selection->unknown());
        m_doc.appendToLogView(stamp + u" Resume the run of "_s + of + u" via "_s + via + doubt + gone + u" \u2026\n"_s);
    } else {
        m_doc.appendToLogView(stamp + u" Send again the failed of the run of "_s + of + u" via "_s + via + gone +
                              u" \u2026\n"_s);
    }
    // Both go on in the run's own journal, which keeps the last outcome of
    // each recipient.
    std::shared_ptr<RunJournal> journal;
    Result<std::unique_ptr<RunJournal>> reopened =
        RunJournal::reopen(selection->journalPath(), selection->run().validLength());
    if (reopened)
        reopened.value()->setObserver(m_journalObserver);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const Status noted = !reopened ? Status::failure(reopened.error())
        : kind == Kind::Resume     ? reopened.value()->resumed(selection->resendUnknown(), now)
                                   : reopened.value()->retried(selection->includePermanent(), now);
    if (noted) {
        journal = std::move(reopened).value();
        const std::lock_guard guard(m_journalLock);
        m_journalPath = journal->path();
    } else {
        m_doc.appendToLogView(stamp + u" The run's journal could not be written ("_s + noted.error() +
                              u"); should the run be interrupted, it cannot be resumed\n"_s);
    }
    runRecords(selection->records(), true, journal, selection->places());
}

void SendRun::doPrepareInArray(const List::Items &records, bool sending)
{
    std::shared_ptr<RunJournal> journal;
    std::vector<qint64> places;
    if (sending && m_preparation.sendsThroughServer()) {
        journal = startJournal(records);
        for (size_t i = 0; journal && i < records.size(); ++i)
            places.push_back(qint64(i));
    }
    runRecords(records, sending, journal, places);
}

void SendRun::runRecords(const List::Items &records, bool sending, const std::shared_ptr<RunJournal> &journal,
                         const std::vector<qint64> &places)
{
    m_refused.store(0);
    m_handedToServer.store(0);
    m_handedToMailClient.store(0);
    m_mailClientFailed.store(0);
    m_accountStopped.store(false);
    if (m_doc.sendPrepTimeInterval() < 1)
        m_doc.setSendPrepTimeInterval(1);

    const auto n = static_cast<qint64>(records.size());
    m_progress.begin(n);
    for (qint64 i = 0; i < n; ++i) {
        m_progress.recordStarted(i, m_doc.sendPrepTimeInterval());
        if (i > 0)
            pause();
        const Dict record = records[static_cast<size_t>(i)].toDict();
        if (m_progress.cancelRequested()) {
            if (journal && m_accountStopped.load())
                journal->endWhenAnswered(RunJournal::End::Stopped, accountRefusal(), QDateTime::currentDateTimeUtc());
            else if (journal)
                journal->endWhenAnswered(RunJournal::End::Cancelled, QString(), QDateTime::currentDateTimeUtc());
            m_progress.cancelledAt(i);
            return;
        }
        std::optional<MessagePreparation::JournalEntry> entry;
        if (sending) {
            // The answer may come after this run object is gone.
            auto hears = [alive = std::weak_ptr<SendRun *>(m_alive),
                          address = record.value(m_doc.addresses().keys().address).toString()](
                             const LXMailCoreBridge::SendReport &report) {
                if (const std::shared_ptr<SendRun *> run = alive.lock())
                    (*run)->answered(report, address);
            };
            entry = MessagePreparation::JournalEntry{journal, journal ? places[static_cast<size_t>(i)] : i,
                                                     std::move(hears)};
        }
        switch (m_preparation.prepareMailWithDict(record, sending, entry)) {
        case MessagePreparation::Outcome::Refused:
            m_refused.fetch_add(1);
            break;
        case MessagePreparation::Outcome::HandedToServer:
            m_handedToServer.fetch_add(1);
            break;
        case MessagePreparation::Outcome::HandedToMailClient:
            m_handedToMailClient.fetch_add(1);
            break;
        case MessagePreparation::Outcome::MailClientFailed:
            m_mailClientFailed.fetch_add(1);
            break;
        default:
            break;
        }
    }
    if (journal)
        journal->endWhenAnswered(RunJournal::End::Finished, QString(), QDateTime::currentDateTimeUtc());
    m_progress.done();
}

} // namespace quillcast
