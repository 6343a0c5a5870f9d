#include "tabs/SendTab.h"

#include "WindowContext.h"
#include "database/GeneralCommands.h"
#include "document/CommandEnabling.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "document/UserEdits.h"
#include "models/RecordTableModel.h"
#include "platform/AlertPresenter.h"
#include "platform/FilePanel.h"
#include "platform/UrlOpener.h"
#include "send/DraftFolderMailClient.h"
#include "send/LogView.h"
#include "send/MessagePreparation.h"
#include "send/RunProgressPanel.h"
#include "send/RunResultsModel.h"
#include "send/RunResultsPanel.h"
#include "send/RunTally.h"
#include "send/SendSummary.h"
#include "send/SendingServicesFactory.h"
#include "send/StaticConnectionProvider.h"
#include "send/XdgEmailMailClient.h"
#include "session/DocumentSession.h"
#include "window/Controls.h"

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

// Keystrokes that come this close together filter the list once.
constexpr std::chrono::milliseconds kSearchDelay{150};

bool isPrepareKind(SendRun::Kind kind)
{
    return kind == SendRun::Kind::PrepareChecked || kind == SendRun::Kind::PrepareAll;
}

QPushButton *commandButton(const QString &text, const char *name, const QString &tip, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(text);
    button->setToolTip(tip);
    button->setAutoDefault(false);
    return button;
}

} // namespace

SendTab::SendTab(WindowContext &context, QWidget *parent)
    : QWidget(parent), m_context(context), m_noConnections(std::make_unique<StaticConnectionProvider>())
{
    setObjectName(QStringLiteral("sendTab"));
    m_tally = new RunTally(this);
    buildLayout();

    m_searchTimer.setSingleShot(true);
    m_searchTimer.setInterval(kSearchDelay);
    connect(&m_searchTimer, &QTimer::timeout, this, &SendTab::applySearch);

    connect(m_tally, &RunTally::activeChanged, this, &SendTab::runActivityChanged);
    connect(m_tally, &RunTally::finished, this, &SendTab::runFinished);
    connect(m_tally, &RunTally::waitingForAnswers, this, [this](qint64 count) {
        m_summary->setText(tr("Waiting for the server's answers to %1 messages").arg(count));
    });
    connect(&m_context.session, &DocumentSession::documentReplaced, this, &SendTab::bindDocument);
    // The window's members, the session among them, go before its child
    // widgets: the list model must not outlive the record list it reads.
    connect(&m_context.session, &QObject::destroyed, this, [this] { bindDocument(nullptr); });
    connect(&m_context.session, &DocumentSession::filePathChanged, this, [this] { setDraftsFolder(m_chosenDraftsFolder); });
    bindDocument(&m_context.session.document());
}

SendTab::~SendTab() = default;

void SendTab::buildLayout()
{
    auto *searchLabel = new QLabel(tr("Search:"), this);
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("sendSearchField"));
    m_search->setAccessibleName(tr("Search"));
    m_search->setPlaceholderText(tr("Address"));
    m_search->setClearButtonEnabled(true);
    searchLabel->setBuddy(m_search);
    connect(m_search, &QLineEdit::textEdited, this, [this] { m_searchTimer.start(); });

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("sendListTable"));
    m_table->setAccessibleName(tr("Send list"));
    setUpReadOnlyRowTable(m_table);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->horizontalHeader()->setSectionsMovable(false);

    m_sendChecked = commandButton(tr("Send Checked"), "sendCheckedButton",
                                  tr("Send a message to every checked record of the send list"), this);
    m_sendAll = commandButton(tr("Send All"), "sendAllButton", tr("Send a message to every record of the send list"),
                              this);
    m_prepareChecked = commandButton(tr("Prepare Checked"), "prepareCheckedButton",
                                     tr("Write a draft for every checked record of the send list"), this);
    m_prepareAll = commandButton(tr("Prepare All"), "prepareAllButton",
                                 tr("Write a draft for every record of the send list"), this);
    m_prepareSelected = commandButton(tr("Prepare Selected"), "prepareSelectedButton",
                                      tr("Open the message of the selected record in your mail program"), this);
    m_sendSelected = commandButton(tr("Send Selected"), "sendSelectedButton",
                                   tr("Send the message of the selected record now"), this);
    connect(m_sendChecked, &QPushButton::clicked, this, [this] { startRun(SendRun::Kind::SendChecked); });
    connect(m_sendAll, &QPushButton::clicked, this, [this] { startRun(SendRun::Kind::SendAll); });
    connect(m_prepareChecked, &QPushButton::clicked, this, [this] { startRun(SendRun::Kind::PrepareChecked); });
    connect(m_prepareAll, &QPushButton::clicked, this, [this] { startRun(SendRun::Kind::PrepareAll); });
    connect(m_prepareSelected, &QPushButton::clicked, this, [this] { runSelected(false); });
    connect(m_sendSelected, &QPushButton::clicked, this, [this] { runSelected(true); });

    auto *pauseLabel = new QLabel(tr("Pause between messages:"), this);
    m_pause = new QSpinBox(this);
    m_pause->setObjectName(QStringLiteral("pauseField"));
    m_pause->setAccessibleName(tr("Pause between messages"));
    m_pause->setRange(1, 24 * 3600);
    m_pause->setSuffix(tr(" s"));
    // A value is taken when typing ends, not at every digit.
    m_pause->setKeyboardTracking(false);
    pauseLabel->setBuddy(m_pause);
    connect(m_pause, &QSpinBox::valueChanged, this, &SendTab::pauseEdited);

    m_draftsButton = commandButton(tr("Drafts Folder…"), "draftsFolderButton",
                                   tr("Choose the folder into which prepared messages are written"), this);
    m_draftsLabel = new QLabel(this);
    m_draftsLabel->setObjectName(QStringLiteral("draftsFolderLine"));
    m_draftsLabel->setAccessibleName(tr("Drafts folder"));
    m_draftsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_draftsLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    connect(m_draftsButton, &QPushButton::clicked, this, &SendTab::chooseDraftsFolder);

    m_refusedToExceptions = namedControl<QCheckBox>(QStringLiteral("addRefusedToExceptionsBox"),
                                                    tr("Add addresses refused as unknown to the exceptions"), this);
    m_refusedToExceptions->setText(tr("Add addresses refused as unknown to the exceptions"));
    m_refusedToExceptions->setToolTip(
        tr("When the server refuses an address for good because it does not exist (550 5.1.1), put it on the "
           "exception list with the server's reply as its note"));
    connect(m_refusedToExceptions, &QCheckBox::toggled, this, [this](bool on) {
        if (m_document)
            UserEdits(*m_document).editAddRefusedToExceptions(on);
    });

    m_progress = new RunProgressPanel(this);
    connect(m_progress, &RunProgressPanel::cancelRequested, this, &SendTab::cancelRun);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("runSummaryLine"));
    m_summary->setAccessibleName(tr("Summary"));
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setWordWrap(true);

    auto *logLabel = new QLabel(tr("Log:"), this);
    m_log = new LogView(this);
    logLabel->setBuddy(m_log);
    m_clearLog = commandButton(tr("Clear Log"), "clearLogButton", tr("Empty the log (undoable)"), this);
    connect(m_clearLog, &QPushButton::clicked, this, [this] {
        if (m_document)
            m_document->clearLog();
    });

    // Top to bottom: the list and its search, what to do with it, how, how
    // it goes, and what happened.
    auto *searchRow = new QHBoxLayout;
    searchRow->addStretch(1);
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(m_search, 0);
    m_search->setMinimumWidth(220);

    auto *commandRow = new QHBoxLayout;
    for (QPushButton *button : {m_sendChecked, m_sendAll, m_prepareChecked, m_prepareAll})
        commandRow->addWidget(button);
    commandRow->addSpacing(16);
    commandRow->addWidget(m_prepareSelected);
    commandRow->addWidget(m_sendSelected);
    commandRow->addStretch(1);

    auto *optionRow = new QHBoxLayout;
    optionRow->addWidget(pauseLabel);
    optionRow->addWidget(m_pause);
    optionRow->addSpacing(16);
    optionRow->addWidget(m_draftsButton);
    optionRow->addWidget(m_draftsLabel, 1);

    auto *refusalRow = new QHBoxLayout;
    refusalRow->addWidget(m_refusedToExceptions);
    refusalRow->addStretch(1);

    auto *logHeader = new QHBoxLayout;
    logHeader->addWidget(logLabel);
    logHeader->addStretch(1);
    logHeader->addWidget(m_clearLog);

    m_results = new RunResultsPanel(this);
    m_results->setResults(&m_context.session.runResults());
    connect(m_results->retryButton(), &QPushButton::clicked, this, &SendTab::retryFailed);
    connect(m_results->checkButton(), &QPushButton::clicked, this, &SendTab::checkFailed);
    connect(m_results->exportButton(), &QPushButton::clicked, this, &SendTab::exportResults);
    // The commands follow what the results hold.
    connect(&m_context.session.runResults(), &RunResultsModel::countsChanged, this, &SendTab::updateCommands);

    // The log and the results side by side: what the run said, and what
    // became of each recipient.
    auto *logPane = new QWidget(this);
    auto *logLayout = new QVBoxLayout(logPane);
    logLayout->setContentsMargins(0, 0, 0, 0);
    logLayout->addLayout(logHeader);
    logLayout->addWidget(m_log, 1);
    auto *outcome = new QSplitter(Qt::Horizontal, this);
    outcome->setObjectName(QStringLiteral("logResultsSplitter"));
    outcome->setChildrenCollapsible(false);
    outcome->addWidget(logPane);
    outcome->addWidget(m_results);
    outcome->setStretchFactor(0, 1);
    outcome->setStretchFactor(1, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(searchRow);
    layout->addWidget(m_table, 3);
    layout->addLayout(commandRow);
    layout->addLayout(optionRow);
    layout->addLayout(refusalRow);
    layout->addWidget(m_progress);
    layout->addWidget(m_summary);
    layout->addWidget(outcome, 2);

    QWidget *order[] = {m_search,
                        m_table,
                        m_sendChecked,
                        m_sendAll,
                        m_prepareChecked,
                        m_prepareAll,
                        m_prepareSelected,
                        m_sendSelected,
                        m_pause,
                        m_draftsButton,
                        m_refusedToExceptions,
                        m_progress->cancelButton(),
                        m_clearLog,
                        m_log,
                        m_results->table(),
                        m_results->retryButton(),
                        m_results->checkButton(),
                        m_results->exportButton()};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

quillcast::MyDocument &SendTab::document() const
{
    return m_context.session.document();
}

void SendTab::bindDocument(quillcast::MyDocument *document)
{
    if (m_document)
        disconnect(m_document, nullptr, this, nullptr);
    m_document = document;
    // The old document's run and transports went with it.
    m_runTransports = nullptr;
    m_tally->setDocument(document);
    m_log->setDocument(document);
    m_progress->setProgress(document ? &document->sendProgress() : nullptr);
    m_summary->clear();

    RecordTableModel *old = m_model;
    m_model = nullptr;
    if (document) {
        m_model = new RecordTableModel(
            document->sendList(),
            [this, doc = QPointer<MyDocument>(document)](const Dict &record, const QString &key, const Value &value) {
                // The run reads the records' flags on its worker.
                if (doc && !isRunActive())
                    doc->setRecordValue(record, key, value);
            },
            this);
    }
    m_table->setModel(m_model);
    delete old;
    if (m_model) {
        connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
            updateCommands();
            Q_EMIT selectionChanged();
        });
        for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
            connect(m_model, signal, this, &SendTab::updateCommands);
        connect(m_model, &QAbstractItemModel::modelReset, this, &SendTab::updateCommands);
    }
    if (!document)
        return;

    // The results of the mailing's last run, as its journal tells them; a
    // run that did not finish is offered to resume once the window is up.
    const Status shown = m_context.session.showLastRunResults();
    m_results->setProblem(shown ? QString() : shown.error());
    const RunResultsModel &results = m_context.session.runResults();
    // A mailing only looked at is not sent from.
    if (shown && !results.journalPath().isEmpty() && results.end() != RunJournal::End::Finished &&
        m_context.session.access() == DocumentSession::Access::Editing)
        QTimer::singleShot(0, this, &SendTab::offerResume);

    updateColumns();
    connect(document, &MyDocument::keyArrayChanged, this, &SendTab::updateColumns);
    connect(document, &MyDocument::keyNameChanged, this, &SendTab::updateColumns);
    connect(document, &MyDocument::isCheckedRecords4SendChanged, this, &SendTab::updateCommands);
    connect(document, &MyDocument::sendArrayChanged, this, &SendTab::updateCommands);
    connect(document, &MyDocument::logViewTextChanged, this, &SendTab::updateCommands);
    connect(document, &MyDocument::logAppended, this, [this] {
        if (!m_clearLog->isEnabled() && !isRunActive())
            updateCommands();
    });

    m_search->setText(document->searchFieldSendStr());
    connect(document, &MyDocument::searchFieldSendStrChanged, this, [this](const QString &text) {
        if (m_search->text() != text && !m_searchTimer.isActive())
            m_search->setText(text);
    });

    {
        const QSignalBlocker quiet(m_pause);
        m_pause->setValue(int(std::clamp<qint64>(document->sendPrepTimeInterval(), 1, m_pause->maximum())));
    }
    connect(document, &MyDocument::sendPrepTimeIntervalChanged, this, [this](qint64 seconds) {
        const QSignalBlocker quiet(m_pause);
        m_pause->setValue(int(std::clamp<qint64>(seconds, 1, m_pause->maximum())));
    });
    {
        const QSignalBlocker quiet(m_refusedToExceptions);
        m_refusedToExceptions->setChecked(document->addRefusedToExceptions() != 0);
    }
    connect(document, &MyDocument::addRefusedToExceptionsChanged, this, [this](qint64 value) {
        const QSignalBlocker quiet(m_refusedToExceptions);
        m_refusedToExceptions->setChecked(value != 0);
    });
    setDraftsFolder(m_chosenDraftsFolder);
    updateCommands();
}

void SendTab::updateColumns()
{
    if (!m_model || !m_document)
        return;
    QList<RecordTableModel::Column> columns;
    m_document->keyArray().read([&](const List::Items &keys) {
        for (const Value &key : keys) {
            const Dict dict = key.toDict();
            RecordTableModel::Column column;
            column.key = dict.stringValue(DocumentKeys::innerKey());
            column.title = dict.stringValue(DocumentKeys::publicKey());
            if (column.key == DocumentKeys::numberInnerKey()) {
                column.kind = RecordTableModel::Column::Kind::Number;
            } else if (column.key == DocumentKeys::checkedInnerKey()) {
                // The one thing the send list edits: which records a checked run takes.
                column.kind = RecordTableModel::Column::Kind::Check;
                column.editable = true;
            }
            columns.append(column);
        }
    });
    const bool first = m_model->columnCount() == 0;
    m_model->setColumns(columns);
    if (first && columns.size() >= DocumentKeys::fixedKeyCount) {
        const QFontMetrics metrics = m_table->fontMetrics();
        m_table->setColumnWidth(0, metrics.horizontalAdvance(QStringLiteral("0000000")));
        m_table->setColumnWidth(1, metrics.horizontalAdvance(QStringLiteral("sel")) + 32);
        m_table->setColumnWidth(2, metrics.horizontalAdvance(QStringLiteral("firstname.lastname@example.org")));
    }
}

QList<qsizetype> SendTab::selectedRows() const
{
    QList<qsizetype> rows;
    if (!m_table->selectionModel())
        return rows;
    const QModelIndexList selected = m_table->selectionModel()->selectedRows();
    rows.reserve(selected.size());
    for (const QModelIndex &index : selected)
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

bool SendTab::hasSelection() const
{
    const QItemSelectionModel *selection = m_table->selectionModel();
    return selection && selection->hasSelection();
}

bool SendTab::isRunActive() const
{
    return m_tally->isActive() || (m_document && m_document->preparingSending());
}

void SendTab::updateCommands()
{
    if (!m_document)
        return;
    const bool active = isRunActive();
    CommandEnablingState state = GeneralCommands(*m_document).enablingState(false, hasSelection());
    // The page's buttons are only seen on the send page.
    state.selectedTab = MyDocument::SendTab;
    m_context.session.runResults().describe(state);
    const auto enabled = [&](Command command) {
        return !active && CommandEnabling::isEnabled(command, CommandEnabling::Control::MenuItem, state).value_or(true);
    };
    m_results->retryButton()->setEnabled(enabled(Command::retryFailedRecords));
    m_results->checkButton()->setEnabled(enabled(Command::checkFailedRecords));
    // Written from the journal, which the run only appends to.
    state.preparingSending = active;
    m_results->exportButton()->setEnabled(
        CommandEnabling::isEnabled(Command::exportRunResults, CommandEnabling::Control::MenuItem, state).value_or(true));
    m_sendChecked->setEnabled(enabled(Command::sendCheckedRecords));
    m_prepareChecked->setEnabled(enabled(Command::prepareCheckedRecords));
    m_sendAll->setEnabled(enabled(Command::sendAllRecords));
    m_prepareAll->setEnabled(enabled(Command::prepareAllRecords));
    m_sendSelected->setEnabled(enabled(Command::sendSelectedRecord));
    m_prepareSelected->setEnabled(enabled(Command::prepareSelectedRecord));
    m_search->setEnabled(!active);
    m_draftsButton->setEnabled(!active);
    m_refusedToExceptions->setEnabled(!active);
    m_clearLog->setEnabled(!active && !m_document->logViewText().isEmpty());
    m_progress->cancelButton()->setEnabled(active);
}

void SendTab::applySearch()
{
    if (!m_document || isRunActive())
        return;
    m_document->setSearchFieldSendStr(m_search->text());
    m_document->filterSend();
}

void SendTab::focusSearch()
{
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
}

void SendTab::pauseEdited(int seconds)
{
    if (!m_document)
        return;
    m_document->setSendPrepTimeInterval(seconds);
    // Marks the mailing edited, and during a run recomputes the estimate.
    m_document->changedTimeInterval();
}

QString SendTab::draftsFolder() const
{
    if (!m_chosenDraftsFolder.isEmpty())
        return m_chosenDraftsFolder;
    return DraftFolderMailClient::defaultFolderFor(m_context.session.filePath());
}

void SendTab::setDraftsFolder(const QString &folder)
{
    m_chosenDraftsFolder = folder;
    const QString shown = QDir::toNativeSeparators(draftsFolder());
    m_draftsLabel->setText(shown);
    m_draftsLabel->setToolTip(shown);
}

void SendTab::chooseDraftsFolder()
{
    FilePanel::OpenRequest request;
    request.window = m_context.window;
    request.choosesFolders = true;
    m_context.filePanel.runOpenPanel(request, [self = QPointer<SendTab>(this)](std::optional<QStringList> paths) {
        if (self && paths && !paths->isEmpty())
            self->setDraftsFolder(paths->constFirst());
    });
}

std::unique_ptr<quillcast::SendingServicesFactory> SendTab::makeTransports() const
{
    SendingServicesFactory::Options options;
    options.draftsFolder = draftsFolder();
    options.sendmailPath = m_sendmailPath;
    ConnectionProvider &connections = m_context.connections ? *m_context.connections : *m_noConnections;
    return SendingServicesFactory::forConnections(document(), connections, document().clock(), options);
}

void SendTab::refuseSecondRun()
{
    // The worker may be done while the server's answers are still counted
    // for this run's summary: a second run waits for them too.
    Alert alert;
    alert.messageText = tr("A send run is already in progress");
    alert.informativeText = tr("Wait for it to finish, or cancel it, before starting another one.");
    alert.buttons = {tr("OK")};
    alert.style = Alert::Style::Informational;
    m_context.alerts.present(alert, [](int) {});
}

void SendTab::launchRun(const std::function<void(quillcast::SendRun &run)> &start, bool preparing)
{
    if (!m_document)
        return;
    if (isRunActive()) {
        refuseSecondRun();
        return;
    }
    std::unique_ptr<SendingServicesFactory> transports = makeTransports();
    m_runTransports = transports.get();
    SendRun &run = m_context.session.startSendRun(std::move(transports));
    m_tally->expectRun(&run, preparing, draftsFolder());
    // The run asks for confirmation, checks the server and starts its
    // worker; the tally hears of the start from the run's progress.
    start(run);
}

void SendTab::startRun(quillcast::SendRun::Kind kind)
{
    launchRun([kind](SendRun &run) { run.start(kind); }, isPrepareKind(kind));
}

void SendTab::retryFailed()
{
    const QString journal = m_context.session.runResults().journalPath();
    if (journal.isEmpty())
        return;
    // Refused for good (5xx) stays out: the address itself was refused.
    launchRun([journal](SendRun &run) { run.retryFailed(journal, false); }, false);
}

void SendTab::resumeLastRun(bool resendUnknown)
{
    const QString journal = m_context.session.runResults().journalPath();
    if (journal.isEmpty())
        return;
    launchRun([journal, resendUnknown](SendRun &run) { run.resumeRun(journal, resendUnknown); }, false);
}

void SendTab::offerResume()
{
    const RunResultsModel &results = m_context.session.runResults();
    // Another mailing, or a run, since the offer was planned.
    if (!m_document || isRunActive() || results.journalPath().isEmpty() ||
        results.end() == RunJournal::End::Finished)
        return;
    const RunResultsModel::Counts counts = results.counts();
    Alert alert;
    alert.messageText = tr("This mailing's last send run did not finish.");
    alert.informativeText =
        RunResultsPanel::countsText(counts, true) + u"\n\n"_s +
        tr("Resume sends the message, in the run's order and with the same pause, to the recipients not "
           "sent to yet and to those whose message failed or was refused for now; never again to one that "
           "the server accepted.");
    alert.buttons = {tr("Resume")};
    if (counts.unknown > 0) {
        alert.informativeText +=
            u' ' + tr("The server may have accepted the messages whose answer is unknown (%1): Resume does not "
                      "send them again, Resume and Resend Unknown does.")
                       .arg(counts.unknown);
        alert.buttons.append(tr("Resume and Resend Unknown"));
    }
    alert.buttons.append(tr("Not Now"));
    alert.style = Alert::Style::Informational;
    alert.kind = Alert::Kind::Sheet;
    const bool offersResend = counts.unknown > 0;
    m_context.alerts.present(alert, [self = QPointer<SendTab>(this), offersResend](int chosen) {
        if (!self)
            return;
        if (chosen == 0)
            self->resumeLastRun(false);
        else if (chosen == 1 && offersResend)
            self->resumeLastRun(true);
    });
}

void SendTab::checkFailed()
{
    if (!m_document || isRunActive())
        return;
    m_context.session.checkFailedRecords();
}

void SendTab::exportResults()
{
    if (m_context.session.runResults().journalPath().isEmpty())
        return;
    FilePanel::SaveRequest request;
    request.window = m_context.window;
    request.proposedName = tr("%1 results.csv").arg(m_context.session.displayName());
    request.allowedExtensions = {QStringLiteral("csv")};
    m_context.filePanel.runSavePanel(request, [self = QPointer<SendTab>(this)](std::optional<QString> path) {
        if (!self || !path)
            return;
        const Status written = self->m_context.session.exportRunResults(*path);
        if (written)
            return;
        Alert alert;
        alert.messageText = tr("The results could not be exported");
        alert.informativeText = written.error();
        alert.buttons = {tr("OK")};
        alert.style = Alert::Style::Warning;
        alert.kind = Alert::Kind::Sheet;
        self->m_context.alerts.present(alert, [](int) {});
    });
}

void SendTab::runSelected(bool sending)
{
    const QList<qsizetype> rows = selectedRows();
    if (rows.isEmpty() || isRunActive() || !m_document)
        return;
    if (sending) {
        // Through the session, which keeps the transports until the
        // server has answered.
        std::unique_ptr<SendingServicesFactory> transports = makeTransports();
        m_runTransports = transports.get();
        const SendingServices services = transports->services();
        // The last run's object goes with its transports.
        m_tally->expectRun(nullptr, false, QString());
        m_context.session.startSendRun(std::move(transports));
        MessagePreparation(*m_document, services).sendSelectedRecord(rows);
        return;
    }
    // A compose window of the desktop's mail program, for this one record:
    // the program is started and not waited for.
    XdgEmailMailClient compose(m_composeProgram);
    SendingServices services;
    services.mailClient = &compose;
    services.transport = SendingServices::Transport::MailClient;
    MessagePreparation(*m_document, services).prepareSelectedRecord(rows);
}

void SendTab::cancelRun()
{
    if (!m_document)
        return;
    if (m_document->preparingSending()) {
        m_document->sendProgress().requestCancel();
        return;
    }
    // The worker has ended: stop waiting for the server's answers; each
    // delivery cut off is answered, and counted, as failed.
    if (m_tally->isWaitingForAnswers() && m_runTransports && m_context.session.sendRun())
        m_runTransports->abortDeliveries();
}

void SendTab::runActivityChanged(bool active)
{
    if (active)
        m_summary->clear();
    updateCommands();
    Q_EMIT runActiveChanged(active);
}

QString SendTab::summaryText() const
{
    return m_summary->text();
}

void SendTab::runFinished(const quillcast::SendSummary &summary)
{
    m_summary->setText(summary.line());
    if (summary.preparing && summary.handedToMailClient > 0)
        offerDraftsFolder(summary.draftsFolder);
}

void SendTab::offerDraftsFolder(const QString &folder)
{
    Alert alert;
    alert.messageText = tr("The drafts are in the folder “%1”.").arg(QDir::toNativeSeparators(folder));
    alert.informativeText = tr("Open them with your mail program to check and send them.");
    alert.buttons = {tr("Open Drafts Folder"), tr("Close")};
    alert.style = Alert::Style::Informational;
    alert.kind = Alert::Kind::Sheet;
    m_context.alerts.present(alert, [self = QPointer<SendTab>(this), folder](int chosen) {
        if (self && chosen == 0)
            self->m_context.urlOpener.openFile(folder);
    });
}

} // namespace quillcast::gui
