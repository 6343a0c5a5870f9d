#include "SendCommands.h"

#include "OpenedMailing.h"
#include "ParsedArguments.h"
#include "StoredConnections.h"
#include "document/MyDocument.h"
#include "document/SendListRebuilder.h"
#include "platform/Clock.h"
#include "send/CleartextCredentials.h"
#include "send/DraftFolderMailClient.h"
#include "send/MessageBuilder.h"
#include "send/MessagePreparation.h"
#include "send/Preview.h"
#include "send/RunJournalFolder.h"
#include "send/RunResults.h"
#include "send/RunWarnings.h"
#include "document/SendProgress.h"
#include "send/SendRun.h"
#include "send/SendSummary.h"
#include "send/SendingServicesFactory.h"
#include "send/ServerSettings.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <atomic>
#include <csignal>
#include <limits>

using namespace Qt::StringLiterals;

namespace quillcast::cli {

namespace {

// How often Ctrl-C was pressed during a run: the first press asks the run to
// stop before its next message, a second one (or the first once every
// message is handed over) ends the wait for the server's answers.
std::atomic<int> g_interrupts{0};

extern "C" void onInterrupt(int)
{
    g_interrupts.fetch_add(1);
}

// Ctrl-C cancels between messages while it is installed, instead of ending
// the program in the middle of a message.
class InterruptGuard
{
public:
    InterruptGuard()
    {
        g_interrupts.store(0);
        struct sigaction action = {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previous);
    }
    ~InterruptGuard() { sigaction(SIGINT, &m_previous, nullptr); }
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

private:
    struct sigaction m_previous = {};
};

// The server of the command line's server options.
struct ServerOptions
{
    ServerCredentials server;
    QString error;
};

ServerOptions serverOptions(const ParsedArguments &args)
{
    ServerOptions result;
    static const QHash<QString, qint64> securities{{u"plain"_s, 0}, {u"starttls"_s, 1}, {u"tls"_s, 2}};
    const QString security = args.has(u"--security"_s) ? args.value(u"--security"_s).toLower() : u"starttls"_s;
    if (!securities.contains(security)) {
        result.error = u"--security must be plain, starttls or tls"_s;
        return result;
    }
    const qint64 connectionType = securities.value(security);
    const std::optional<qint64> port =
        args.number(u"--smtp-port"_s, connectionType == 2 ? 465 : (connectionType == 1 ? 587 : 25), 1, 65535);
    if (!port) {
        result.error = u"--smtp-port must be a port number from 1 to 65535"_s;
        return result;
    }
    ServerCredentials &server = result.server;
    server.name = args.value(u"--smtp-host"_s);
    server.port = static_cast<qint32>(*port);
    server.connectionType = static_cast<qint32>(connectionType);
    if (args.has(u"--user"_s)) {
        if (!args.has(u"--password-env"_s)) {
            result.error = u"--user needs --password-env VAR (passwords never come from the command line)"_s;
            return result;
        }
        const QString variable = args.value(u"--password-env"_s);
        if (!qEnvironmentVariableIsSet(variable.toLocal8Bit().constData())) {
            result.error = u"the environment variable %1 is not set"_s.arg(variable);
            return result;
        }
        server.requirePassword = true;
        server.username = args.value(u"--user"_s);
        server.password = qEnvironmentVariable(variable.toLocal8Bit().constData());
    } else if (args.has(u"--password-env"_s)) {
        result.error = u"--password-env needs --user"_s;
        return result;
    }
    return result;
}

void runEvents(MyDocument &doc)
{
    QCoreApplication::sendPostedEvents(&doc);
    QCoreApplication::sendPostedEvents();
}

} // namespace

bool SendCommands::handles(const QString &command)
{
    return command == u"send" || command == u"preview";
}

QString SendCommands::summary()
{
    return u"  send FILE.quill (--checked|--all|--resume [--resend-unknown]|--retry-failed\n"
           "       [--include-permanent]) --yes [--prepare] [--drafts DIR] [--sendmail PATH]\n"
           "       [--smtp-host H [--smtp-port P] [--security plain|starttls|tls]\n"
           "        [--user U --password-env VAR] | --connection N] [--allow-plain-auth]\n"
           "       [--interval N] [--wait SECONDS] [--report FILE.csv]\n"
           "                            run the send run over the checked or all records of the\n"
           "                            send list: --prepare writes drafts (.eml) into DIR\n"
           "                            (default FILE-drafts beside the mailing); sending goes\n"
           "                            through the SMTP server given or through sendmail for\n"
           "                            this run only (the mailing keeps its own choice);\n"
           "                            without either, as the mailing says. Without\n"
           "                            --smtp-host the stored connection N (see connections\n"
           "                            list) or else the mailing's chosen one is used, and N\n"
           "                            becomes the mailing's choice. Drafts and sendmail get\n"
           "                            the whole message, HTML and files included; a message\n"
           "                            with nothing to read is refused, and what the run\n"
           "                            lacks (a subject, a text alternative, a size most\n"
           "                            providers take) is warned about first.\n"
           "                            A user name and password that would travel unencrypted\n"
           "                            to another machine are warned about (--allow-plain-auth:\n"
           "                            meant so). Sending needs a complete server setting\n"
           "                            in any case. Ctrl-C stops before the next message; a\n"
           "                            second Ctrl-C stops waiting for the server's answers,\n"
           "                            as --wait does after SECONDS (default 300). The log is\n"
           "                            saved in the mailing: one line for every message. Exit\n"
           "                            0 when every message was accepted, 1 when any was\n"
           "                            refused, failed or not answered.\n"
           "                            Every run through a server keeps a journal (in\n"
           "                            $XDG_STATE_HOME/Quillcast/runs, the last 20 runs of\n"
           "                            each mailing): --resume sends the last run's messages\n"
           "                            the server had not accepted when it stopped (the one\n"
           "                            whose answer is unknown only with --resend-unknown);\n"
           "                            --retry-failed sends again those that failed or were\n"
           "                            refused for now (4xx), and with --include-permanent\n"
           "                            those refused for good (5xx). A refusal of the account\n"
           "                            (login, sending limit) stops the run at once.\n"
           "                            --report writes the run's results per recipient as\n"
           "                            CSV; given alone, those of the mailing's last run\n"
           "  preview FILE.quill [--record N] [--json|--eml]\n"
           "                            the merged message of send-list record N (from 0)\n"_s;
}

int SendCommands::run(const QString &command, const QStringList &arguments)
{
    return command == u"send" ? runSend(arguments) : runPreview(arguments);
}

int SendCommands::refuse(const QString &command, int status, const QString &message)
{
    m_ctx.err << command << ": " << message << Qt::endl;
    return status;
}

int SendCommands::runSend(const QStringList &arguments)
{
    const QString command = u"send"_s;
    const ParsedArguments args = ParsedArguments::parse(
        arguments,
        {u"--checked"_s, u"--all"_s, u"--prepare"_s, u"--yes"_s, u"--allow-plain-auth"_s, u"--resume"_s,
         u"--resend-unknown"_s, u"--retry-failed"_s, u"--include-permanent"_s},
        {u"--drafts"_s, u"--sendmail"_s, u"--smtp-host"_s, u"--smtp-port"_s, u"--security"_s, u"--user"_s,
         u"--password-env"_s, u"--interval"_s, u"--wait"_s, u"--connection"_s, u"--report"_s});
    if (!args.error.isEmpty())
        return refuse(command, 2, args.error);
    if (args.positional.size() != 1)
        return refuse(command, 2, u"give one mailing file"_s);
    const bool resume = args.has(u"--resume"_s);
    const bool retry = args.has(u"--retry-failed"_s);
    const int modes = int(args.has(u"--checked"_s)) + int(args.has(u"--all"_s)) + int(resume) + int(retry);
    if (modes == 0 && args.has(u"--report"_s))
        return writeLastReport(args.positional[0], args.value(u"--report"_s));
    if (modes != 1)
        return refuse(command, 2,
                      resume || retry ? u"give one of --checked, --all, --resume and --retry-failed"_s
                                      : u"give one of --checked and --all"_s);
    if (args.has(u"--resend-unknown"_s) && !resume)
        return refuse(command, 2, u"--resend-unknown needs --resume"_s);
    if (args.has(u"--include-permanent"_s) && !retry)
        return refuse(command, 2, u"--include-permanent needs --retry-failed"_s);
    if ((resume || retry) && (args.has(u"--prepare"_s) || args.has(u"--sendmail"_s)))
        return refuse(command, 2, u"a resumed or retried run sends through a server: no --prepare or --sendmail"_s);
    if (!args.has(u"--yes"_s))
        return refuse(command, 2, u"a send run asks for confirmation; add --yes to start it"_s);
    const bool hasServer = args.has(u"--smtp-host"_s);
    if (!hasServer) {
        for (const QString &option : {u"--smtp-port"_s, u"--security"_s, u"--user"_s, u"--password-env"_s}) {
            if (args.has(option))
                return refuse(command, 2, u"%1 needs --smtp-host"_s.arg(option));
        }
    }
    if (hasServer && args.has(u"--sendmail"_s))
        return refuse(command, 2, u"give --smtp-host or --sendmail, not both"_s);
    if (hasServer && args.has(u"--connection"_s))
        return refuse(command, 2, u"give --smtp-host or --connection, not both"_s);
    const std::optional<qint64> connectionIndex =
        args.number(u"--connection"_s, -1, 0, std::numeric_limits<qint32>::max());
    if (!connectionIndex)
        return refuse(command, 2, u"--connection must be the number of a stored connection, from 0"_s);
    constexpr qint64 aDay = 24 * 3600;
    const std::optional<qint64> interval = args.number(u"--interval"_s, 0, 1, aDay);
    if (!interval)
        return refuse(command, 2, u"--interval must be a whole number of seconds, 1 or more"_s);
    const std::optional<qint64> waitSeconds = args.number(u"--wait"_s, 300, 0, aDay);
    if (!waitSeconds)
        return refuse(command, 2, u"--wait must be a number of seconds"_s);
    ServerOptions server;
    if (hasServer) {
        server = serverOptions(args);
        if (!server.error.isEmpty())
            return refuse(command, 2, server.error);
    }
    const bool prepare = args.has(u"--prepare"_s);
    const QString drafts = args.has(u"--drafts"_s) ? args.value(u"--drafts"_s) : DraftFolderMailClient::defaultFolderFor(args.positional[0]);

    OpenedMailing mailing(m_ctx, command, true);
    if (!mailing.open(args.positional[0]))
        return 1;
    MyDocument &doc = mailing.document();
    mailing.alerts().setConsentButton(u"OK"_s);
    if (prepare && !QDir().mkpath(drafts))
        return refuse(command, 1, u"cannot create the drafts folder %1"_s.arg(drafts));
    // A transport given for this run is used for this run only: the
    // mailing's own choice, its kind of message and its chosen connection
    // are saved as they were.
    const SendingServices::Transport transport = hasServer ? SendingServices::Transport::MailServer
        : args.has(u"--sendmail"_s)                      ? SendingServices::Transport::MailClient
                                                          : SendingServices::Transport::AsMailingSays;
    if (*interval > 0)
        doc.setSendPrepTimeInterval(*interval);
    if (!doc.sendListRebuilder().rebuildNow())
        return refuse(command, 1, u"the send list could not be built"_s);

    // The server given on the command line, or else the user's stored
    // connections with the mailing's chosen one (or the one named).
    SendingServicesFactory::Options options;
    options.draftsFolder = drafts;
    if (args.has(u"--sendmail"_s))
        options.sendmailPath = args.value(u"--sendmail"_s);
    options.transport = transport;
    StoredConnections stored;
    std::unique_ptr<SendingServicesFactory> sending;
    if (hasServer) {
        sending = SendingServicesFactory::forServer(doc, server.server, m_ctx.clock, options);
    } else {
        // Only the password of the connection the run uses is read, below.
        if (const Status loaded = stored.load(ConnectionList::PasswordLoading::None); !loaded)
            return refuse(command, 1, loaded.error());
        const qsizetype count = stored.list().connectionArray().size();
        if (*connectionIndex >= count)
            return refuse(command, 1,
                          u"there is no stored connection %1 (%2 stored)"_s.arg(*connectionIndex).arg(count));
        if (*connectionIndex >= 0)
            doc.setSelectedIndexConnection(*connectionIndex);
        // The connection the run will use (an index beyond the list is repaired).
        ServerSettings(doc, &stored.list()).adjustSendingValueFromPref();
        stored.list().readPassword(doc.selectedIndexConnection().value_or(0));
        sending = SendingServicesFactory::forConnections(doc, stored.list(), m_ctx.clock, options);
    }
    if (!prepare && sending->sendsThroughServer() && !args.has(u"--allow-plain-auth"_s)) {
        // A warning only, as the user may mean it.
        const ServerCredentials used = sending->server();
        if (CleartextCredentials::wouldTravelInClear(used.name, used.connectionType, used.requirePassword,
                                                     used.username, used.password))
            m_ctx.err << command << ": warning: " << CleartextCredentials::warning(used.name) << "; "
                      << (hasServer ? u"use --security starttls or tls"_s
                                    : u"choose starttls or tls for the connection (connections edit)"_s)
                      << ", or give --allow-plain-auth if this is meant" << Qt::endl;
    }

    for (const QString &warning : RunWarnings::beforeRun(doc))
        m_ctx.err << command << ": warning: " << warning << Qt::endl;

    qint64 accepted = 0;
    qint64 failed = 0;
    QObject::connect(&doc, &MyDocument::deliveryFinished, &doc,
                     [&](bool succeeded) { ++(succeeded ? accepted : failed); });

    // One line for every record begun, with its estimate, and the last line.
    SendProgress &progress = doc.sendProgress();
    QString shownAction = progress.snapshot().action;
    bool finished = false;
    QObject::connect(&progress, &SendProgress::changed, &doc, [&](const SendProgress::Snapshot &now) {
        if (now.action == shownAction)
            return;
        shownAction = now.action;
        if (now.action.startsWith(u"Preparing"_s))
            m_ctx.out << now.action << (now.estimate.isEmpty() ? QString() : u"  "_s + now.estimate) << Qt::endl;
        else
            m_ctx.out << now.action << Qt::endl;
    });
    QObject::connect(&progress, &SendProgress::finished, &doc, [&] { finished = true; });

    // The earlier run a resume or retry goes on from: the mailing's last.
    std::optional<QString> earlier;
    if (resume || retry) {
        if (!sending->sendsThroughServer())
            return refuse(command, 1, u"the mailing sends through the mail system; a run through a server is needed"_s);
        earlier = mailing.session().lastRunJournal();
        if (!earlier)
            return refuse(command, 1, u"this mailing has no run to go on from"_s);
        if (resume && !mailing.session().unfinishedRunJournal())
            return refuse(command, 1, u"the last run of this mailing finished; nothing to resume"_s);
    }

    SendingServicesFactory &transports = *sending;
    SendRun &run = mailing.session().startSendRun(std::move(sending));
    InterruptGuard interrupts;
    const bool checked = args.has(u"--checked"_s);
    if (resume)
        run.resumeRun(*earlier, args.has(u"--resend-unknown"_s));
    else if (retry)
        run.retryFailed(*earlier, args.has(u"--include-permanent"_s));
    else if (prepare)
        checked ? run.prepareCheckedRecords() : run.prepareAllRecords();
    else
        checked ? run.sendCheckedRecords() : run.sendAllRecords();
    if (run.launchedCount() == 0) {
        // The settings alert has been printed; nothing was started.
        return 1;
    }

    bool cancelling = false;
    while (!finished) {
        if (g_interrupts.load() > 0 && !cancelling) {
            cancelling = true;
            run.cancel();
            m_ctx.err << command << ": stopping before the next message" << Qt::endl;
        }
        runEvents(doc);
        QThread::msleep(50);
    }
    run.waitForFinished();
    runEvents(doc);

    // The server's answers still on their way, for --wait seconds at most.
    const QDeadlineTimer deadline{std::chrono::seconds(*waitSeconds)};
    QElapsedTimer waiting;
    waiting.start();
    const int interruptsBeforeWait = g_interrupts.load();
    const auto waitEnded = [&] {
        const int pressed = g_interrupts.load();
        return pressed >= 2 || pressed > interruptsBeforeWait;
    };
    if (doc.deliveriesInFlight() > 0)
        m_ctx.out << "Waiting for the server's answers to " << doc.deliveriesInFlight() << " messages" << Qt::endl;
    while (doc.deliveriesInFlight() > 0 && !deadline.hasExpired() && !waitEnded()) {
        runEvents(doc);
        QThread::msleep(20);
    }
    runEvents(doc);
    // What has not been answered by now gets its line and is cut off: the
    // process ends now instead of when the server answers.
    const qint64 waited = deadline.hasExpired() ? *waitSeconds : waiting.elapsed() / 1000;
    const int unanswered = doc.giveUpOnDeliveries(waited);
    transports.abortDeliveries();
    runEvents(doc);

    if (!mailing.save())
        return 1;

    if (run.stoppedForAccount())
        m_ctx.err << command << ": sending stopped: the server refused the account (" << run.accountRefusal()
                  << "); once it is fixed, go on with --resume" << Qt::endl;
    if (args.has(u"--report"_s)) {
        const std::optional<QString> journal = run.lastJournalPath();
        if (!journal)
            return refuse(command, 1, u"this run kept no journal (it did not go through a server): no report"_s);
        if (const int written = writeReport(*journal, args.value(u"--report"_s)); written != 0)
            return written;
    }

    SendSummary summary;
    summary.refused = run.refusedCount();
    summary.handedToServer = run.handedToServerCount();
    summary.accepted = accepted;
    summary.failed = failed;
    summary.unanswered = unanswered;
    summary.handedToMailClient = run.handedToMailClientCount();
    summary.mailClientFailed = run.mailClientFailedCount();
    summary.preparing = prepare;
    summary.draftsFolder = drafts;
    m_ctx.out << summary.line() << Qt::endl;
    return summary.allDelivered() && !cancelling && !run.stoppedForAccount() ? 0 : 1;
}

int SendCommands::writeReport(const QString &journalPath, const QString &csvPath)
{
    const Result<RunResults> results = RunResults::read(journalPath);
    if (!results)
        return refuse(u"send"_s, 1, results.error());
    if (const Status written = results->writeCsv(csvPath); !written)
        return refuse(u"send"_s, 1, u"cannot write %1: %2"_s.arg(csvPath, written.error()));
    const RunResults::Counts counts = results->counts();
    m_ctx.out << u"Results of the run of %1 written to %2: %3 accepted, %4 refused, %5 failed, %6 unknown, %7 not sent"_s
                     .arg(results->run().start().toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss"_s), csvPath)
                     .arg(counts.accepted)
                     .arg(counts.refused)
                     .arg(counts.failed)
                     .arg(counts.unknown)
                     .arg(counts.notSent)
              << Qt::endl;
    return 0;
}

int SendCommands::writeLastReport(const QString &mailingPath, const QString &csvPath)
{
    if (!QFileInfo::exists(mailingPath))
        return refuse(u"send"_s, 1, u"no such mailing: %1"_s.arg(mailingPath));
    const std::optional<QString> last =
        RunJournalFolder(RunJournalFolder::standardFolder()).latestRunOf(mailingPath);
    if (!last)
        return refuse(u"send"_s, 1, u"this mailing has no run to report"_s);
    return writeReport(*last, csvPath);
}

int SendCommands::runPreview(const QStringList &arguments)
{
    const QString command = u"preview"_s;
    const ParsedArguments args =
        ParsedArguments::parse(arguments, {u"--json"_s, u"--eml"_s}, {u"--record"_s});
    if (!args.error.isEmpty())
        return refuse(command, 2, args.error);
    if (args.positional.size() != 1)
        return refuse(command, 2, u"give one mailing file"_s);
    if (args.has(u"--json"_s) && args.has(u"--eml"_s))
        return refuse(command, 2, u"give --json or --eml, not both"_s);
    const std::optional<qint64> record = args.number(u"--record"_s, 0, 0, std::numeric_limits<qint64>::max());
    if (!record)
        return refuse(command, 2, u"--record must be a record number from 0"_s);
    const qsizetype row = *record;

    OpenedMailing mailing(m_ctx, command, false);
    if (!mailing.openForReading(args.positional[0]))
        return 1;
    MyDocument &doc = mailing.document();
    doc.sendListRebuilder().rebuildNow();
    doc.filterPreview();
    const qsizetype count = doc.previewArrayShown().size();
    if (row >= count)
        return refuse(command, 1,
                      count == 0 ? u"the send list is empty"_s
                                 : u"the send list has %1 records (0 to %2)"_s.arg(count).arg(count - 1));

    Preview preview(doc);
    preview.setSelectedRow(row);
    preview.doPreviewTableChanged();

    if (args.has(u"--eml"_s)) {
        const Dict recipient = *doc.previewArrayShown().at(row);
        MessageContent content = MessagePreparation::messageContent(
            doc.emailKind(), MessagePreparation::merge(doc, recipient), doc.attachmentBookmarks());
        content.date = m_ctx.clock.now();
        const Result<QByteArray> message = MessageBuilder::build(content);
        if (!message)
            return refuse(command, 1, message.error());
        // The message is 7-bit text.
        m_ctx.out << QString::fromLatin1(message.value());
        return 0;
    }
    if (args.has(u"--json"_s)) {
        const QJsonObject object{{u"from"_s, doc.previewFormFrom()},
                                 {u"to"_s, doc.previewFormTo()},
                                 {u"subject"_s, doc.previewFormSubject()},
                                 {u"body"_s, doc.previewFormBody()},
                                 {u"bodyHtml"_s, doc.previewFormBodyHtml()},
                                 {u"bodyHtmlAltText"_s, doc.previewFormBodyHtmlAltText()},
                                 {u"attachment"_s, doc.previewFormAttach()},
                                 {u"attachments"_s, QJsonArray::fromStringList(preview.attachedFiles())}};
        m_ctx.out << QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Indented));
        return 0;
    }
    m_ctx.out << "From: " << doc.previewFormFrom() << "\n"
              << "To: " << doc.previewFormTo() << "\n"
              << "Subject: " << doc.previewFormSubject() << "\n";
    if (!doc.previewFormAttach().isEmpty())
        m_ctx.out << "Attachment: " << doc.previewFormAttach() << "\n";
    for (const QString &file : preview.attachedFiles())
        m_ctx.out << "Attachment: " << file << "\n";
    if (doc.emailKind() == 1) {
        m_ctx.out << "\n--- HTML ---\n" << doc.previewFormBodyHtml() << "\n--- Text alternative ---\n"
                  << doc.previewFormBodyHtmlAltText() << "\n";
    } else {
        m_ctx.out << "\n" << doc.previewFormBody() << "\n";
    }
    m_ctx.out.flush();
    return 0;
}

} // namespace quillcast::cli
