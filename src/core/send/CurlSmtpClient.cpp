#include "send/CurlSmtpClient.h"

#include <QByteArrayList>
#include <QSysInfo>

#include <curl/curl.h>

#include <cstring>
#include <memory>
#include <set>

#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quillcast {

// Which operations abortAll() has aborted, and the sockets of the transfers
// under way. Each operation carries the generation it was started in;
// abortAll() aborts every generation up to the current one and shuts down
// the sockets open at that moment. A socket is opened under the same lock
// and not at all for an aborted operation, so none slips through between
// the two.
struct CurlSmtpAborts
{
    std::mutex mutex;
    quint64 generation = 1; // of the operations started now
    quint64 abortedUpTo = 0;
    std::set<curl_socket_t> sockets;

    quint64 currentGeneration()
    {
        std::lock_guard lock(mutex);
        return generation;
    }
    bool aborted(quint64 operationGeneration)
    {
        std::lock_guard lock(mutex);
        return operationGeneration <= abortedUpTo;
    }
    void abortAll()
    {
        std::lock_guard lock(mutex);
        abortedUpTo = generation++;
        // The transfer sees its connection closed at once, wherever it waits.
        for (const curl_socket_t socket : sockets)
            ::shutdown(socket, SHUT_RDWR);
    }
};

namespace {

using Outcome = std::optional<SmtpFailure>;

// What the callbacks of one transfer know of the aborts.
struct AbortWatch
{
    CurlSmtpAborts *aborts;
    quint64 generation;
};

curl_socket_t onOpenSocket(void *user, curlsocktype, struct curl_sockaddr *address)
{
    auto *watch = static_cast<AbortWatch *>(user);
    std::lock_guard lock(watch->aborts->mutex);
    if (watch->generation <= watch->aborts->abortedUpTo)
        return CURL_SOCKET_BAD;
    const curl_socket_t socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (socket != CURL_SOCKET_BAD)
        watch->aborts->sockets.insert(socket);
    return socket;
}

int onCloseSocket(void *user, curl_socket_t socket)
{
    auto *watch = static_cast<AbortWatch *>(user);
    std::lock_guard lock(watch->aborts->mutex);
    watch->aborts->sockets.erase(socket);
    return ::close(socket);
}

void initialiseCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// What the server last said and what it was last asked, collected from
// libcurl's protocol trace so that a failure can be told in the server's own
// words. Commands are kept only by their verb and, for MAIL and RCPT, their
// address: an AUTH line carries the credentials and is cut to its mechanism.
// libcurl says QUIT before it returns a failure; what follows QUIT is left
// out, so that the refusal stays the last thing heard.
struct Transcript
{
    QByteArray lastCommand;
    int lastReplyCode = 0;
    QByteArray lastReplyText;
    QByteArrayList replyInProgress;
    bool quitting = false;

    void commandSent(QByteArray line)
    {
        if (quitting)
            return;
        line = line.trimmed();
        const qsizetype space = line.indexOf(' ');
        const QByteArray verb = (space < 0 ? line : line.left(space)).toUpper();
        static const QByteArrayList plainVerbs = {"EHLO", "HELO", "STARTTLS", "MAIL", "RCPT", "DATA",
                                                  "RSET", "NOOP", "VRFY"};
        if (verb == "QUIT") {
            quitting = true;
        } else if (plainVerbs.contains(verb)) {
            lastCommand = line;
        } else if (verb == "AUTH") {
            const QByteArrayList words = line.split(' ');
            lastCommand = words.size() > 1 ? "AUTH " + words.at(1) : verb;
        }
        // Anything else is a SASL continuation: credentials, never kept.
    }

    void replyReceived(const QByteArray &chunk)
    {
        if (quitting)
            return;
        for (const QByteArray &raw : chunk.split('\n')) {
            const QByteArray line = raw.trimmed();
            if (line.size() < 3)
                continue;
            bool isNumber = false;
            const int code = line.left(3).toInt(&isNumber);
            if (!isNumber)
                continue;
            replyInProgress.append(line.mid(4).trimmed());
            const bool lastLine = line.size() == 3 || line.at(3) != '-';
            if (lastLine) {
                lastReplyCode = code;
                // Multi-line replies are joined; an EHLO list is long, but only
                // refusals are ever shown and those are short.
                lastReplyText = replyInProgress.join(' ').left(500);
                replyInProgress.clear();
            }
        }
    }

    bool serverRefused() const { return lastReplyCode >= 400; }
    QString lastReply() const
    {
        return lastReplyText.isEmpty() ? QString::number(lastReplyCode)
                                       : QString::number(lastReplyCode) + u' ' + QString::fromUtf8(lastReplyText);
    }
};

int onTrace(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    auto *transcript = static_cast<Transcript *>(user);
    const QByteArray chunk(data, static_cast<qsizetype>(size));
    if (type == CURLINFO_HEADER_IN)
        transcript->replyReceived(chunk);
    else if (type == CURLINFO_HEADER_OUT)
        transcript->commandSent(chunk);
    return 0;
}

struct Upload
{
    QByteArray bytes;
    qsizetype offset = 0;
};

size_t onRead(char *buffer, size_t size, size_t count, void *user)
{
    auto *upload = static_cast<Upload *>(user);
    const size_t left = static_cast<size_t>(upload->bytes.size() - upload->offset);
    const size_t n = std::min(size * count, left);
    std::memcpy(buffer, upload->bytes.constData() + upload->offset, n);
    upload->offset += static_cast<qsizetype>(n);
    return n;
}

// The replies to the account check's own command arrive as "body" data;
// without a sink libcurl would print them on standard output.
size_t onWrite(char *, size_t size, size_t count, void *)
{
    return size * count;
}

int onProgress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto *watch = static_cast<const AbortWatch *>(user);
    return watch->aborts->aborted(watch->generation) ? 1 : 0;
}

// SMTP wants CRLF line ends; a builder may hand over bare LFs.
QByteArray withCrLfLineEnds(const QByteArray &message)
{
    QByteArray out;
    out.reserve(message.size() + message.size() / 40);
    for (qsizetype i = 0; i < message.size(); ++i) {
        const char c = message.at(i);
        if (c == '\r') {
            out.append("\r\n");
            if (i + 1 < message.size() && message.at(i + 1) == '\n')
                ++i;
        } else if (c == '\n') {
            out.append("\r\n");
        } else {
            out.append(c);
        }
    }
    return out;
}

// An address that would break out of the angle brackets of MAIL FROM or
// RCPT TO, or start a command of its own.
bool unsafeEnvelopeAddress(const QString &address)
{
    for (const QChar c : address) {
        if (c == u'\r' || c == u'\n' || c == u'<' || c == u'>' || c == QChar(0))
            return true;
    }
    return false;
}

// An address as a log line can show it.
QString oneLine(const QString &text)
{
    QString out = text;
    out.replace(u'\r', u' ').replace(u'\n', u' ').replace(QChar(0), u' ');
    return out;
}

QString heloName()
{
    const QString name = QSysInfo::machineHostName();
    if (name.isEmpty())
        return {};
    for (const QChar c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != u'.' && c != u'-')
            return {};
    }
    return name;
}

Outcome failure(const QString &localized, const QString &detail = {})
{
    SmtpFailure described;
    described.localizedDescription = localized;
    described.fullDescription = detail.isEmpty() ? localized : localized + u" ("_s + detail + u')';
    return described;
}

struct Request
{
    SmtpSettings settings;
    bool isCheck = false;
    QString envelopeFrom;
    QStringList envelopeTo;
    QByteArray message;
};

QString describeCommandRefusal(const Transcript &transcript)
{
    const QString reply = transcript.lastReply();
    const QString command = QString::fromUtf8(transcript.lastCommand);
    const QString verb = command.section(u' ', 0, 0).toUpper();
    if (command.isEmpty())
        return u"The server refused the connection: %1"_s.arg(reply);
    if (verb == u"AUTH")
        return u"Login denied by the server (%1)"_s.arg(reply);
    if (verb == u"MAIL") {
        const QString address = command.section(u':', 1).section(u' ', 0, 0);
        return u"The server refused the sender %1: %2"_s.arg(address, reply);
    }
    if (verb == u"RCPT") {
        const QString address = command.section(u':', 1).section(u' ', 0, 0);
        return u"The server refused the recipient %1: %2"_s.arg(address, reply);
    }
    if (verb == u"DATA")
        return u"The server refused the message: %1"_s.arg(reply);
    if (verb == u"STARTTLS")
        return u"The server refused to secure the connection: %1"_s.arg(reply);
    if (verb == u"EHLO" || verb == u"HELO")
        return u"The server refused the greeting: %1"_s.arg(reply);
    return u"The server refused the request: %1"_s.arg(reply);
}

// The failure in words a user understands, and the same with libcurl's own
// detail for the system log.
SmtpFailure describe(CURLcode code, const Transcript &transcript, const char *errorBuffer, long osErrno,
                     const QString &host, int port)
{
    const QString curlDetail = QString::fromUtf8(*errorBuffer ? errorBuffer : curl_easy_strerror(code));
    QString localized;
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        localized = u"Could not find the server \"%1\""_s.arg(host);
        break;
    case CURLE_COULDNT_CONNECT: {
        const QString reason = osErrno != 0 ? QString::fromLocal8Bit(std::strerror(static_cast<int>(osErrno)))
                                            : QString::fromUtf8(curl_easy_strerror(code));
        localized = u"Could not connect to %1 port %2: %3"_s.arg(host, QString::number(port), reason);
        break;
    }
    case CURLE_PEER_FAILED_VERIFICATION:
        localized = u"The server's certificate could not be verified (%1)"_s.arg(curlDetail);
        break;
    case CURLE_SSL_CONNECT_ERROR:
        localized = u"A secure connection to %1 could not be set up (%2)"_s.arg(host, curlDetail);
        break;
    case CURLE_USE_SSL_FAILED:
        localized = transcript.serverRefused() && transcript.lastCommand.startsWith("STARTTLS")
            ? describeCommandRefusal(transcript)
            : u"The server %1 does not offer STARTTLS, so the connection cannot be secured"_s.arg(host);
        break;
    case CURLE_OPERATION_TIMEDOUT:
        localized = u"The server %1 did not answer in time (%2)"_s.arg(host, curlDetail);
        break;
    case CURLE_ABORTED_BY_CALLBACK:
        localized = u"The operation was cancelled before the server had answered"_s;
        break;
    case CURLE_LOGIN_DENIED:
        localized = transcript.serverRefused() ? u"Login denied by the server (%1)"_s.arg(transcript.lastReply())
                                               : u"Login denied by the server (%1)"_s.arg(curlDetail);
        break;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UPLOAD_FAILED:
    case CURLE_REMOTE_ACCESS_DENIED:
        localized = transcript.serverRefused() ? describeCommandRefusal(transcript)
                                               : u"The connection to %1 failed (%2)"_s.arg(host, curlDetail);
        break;
    default:
        localized = transcript.serverRefused() ? describeCommandRefusal(transcript)
                                               : u"Sending via %1 failed (%2)"_s.arg(host, curlDetail);
        break;
    }
    const QString full = u"%1 [libcurl error %2: %3; last command: %4; last reply: %5]"_s.arg(
        localized, QString::number(static_cast<int>(code)), curlDetail,
        transcript.lastCommand.isEmpty() ? u"none"_s : QString::fromUtf8(transcript.lastCommand),
        transcript.lastReplyCode == 0 ? u"none"_s : transcript.lastReply());
    SmtpFailure described;
    described.localizedDescription = localized;
    described.fullDescription = full;
    if (transcript.serverRefused()) {
        described.replyCode = transcript.lastReplyCode;
        described.replyText = QString::fromUtf8(transcript.lastReplyText);
    }
    return described;
}

struct CurlDeleter
{
    void operator()(CURL *curl) const { curl_easy_cleanup(curl); }
    void operator()(CURLU *url) const { curl_url_cleanup(url); }
    void operator()(curl_slist *list) const { curl_slist_free_all(list); }
};

Outcome perform(const CurlSmtpClient::Options &options, AbortWatch watch, const Request &request,
                QString *acceptedReply = nullptr)
{
    if (watch.aborts->aborted(watch.generation))
        return failure(u"The operation was cancelled before the server had answered"_s);

    const SmtpSettings &settings = request.settings;
    const QString host = settings.hostname.trimmed();
    if (host.isEmpty())
        return failure(u"No server name is set"_s);
    if (settings.port < 0 || settings.port > 65535)
        return failure(u"The port %1 is not valid"_s.arg(settings.port));
    if (unsafeEnvelopeAddress(request.envelopeFrom))
        return failure(u"The sender address \"%1\" cannot be used"_s.arg(oneLine(request.envelopeFrom)));
    if (!request.isCheck) {
        if (request.envelopeTo.isEmpty())
            return failure(u"The message has no recipient"_s);
        for (const QString &to : request.envelopeTo) {
            if (unsafeEnvelopeAddress(to))
                return failure(u"The recipient address \"%1\" cannot be used"_s.arg(oneLine(to)));
        }
    }

    const bool implicitTls = settings.connectionType == SmtpSettings::Security::Tls;
    std::unique_ptr<CURLU, CurlDeleter> url(curl_url());
    const QString hostInUrl = host.contains(u':') && !host.startsWith(u'[') ? u'[' + host + u']' : host;
    if (!url || curl_url_set(url.get(), CURLUPART_SCHEME, implicitTls ? "smtps" : "smtp", 0) != CURLUE_OK
        || curl_url_set(url.get(), CURLUPART_HOST, hostInUrl.toUtf8().constData(), 0) != CURLUE_OK)
        return failure(u"The server name \"%1\" is not valid"_s.arg(host));
    if (settings.port > 0)
        curl_url_set(url.get(), CURLUPART_PORT, QByteArray::number(settings.port).constData(), 0);
    const QString helo = heloName();
    if (!helo.isEmpty())
        curl_url_set(url.get(), CURLUPART_PATH, QByteArray("/" + helo.toLatin1()).constData(), 0);
    const int port = settings.port > 0 ? settings.port : (implicitTls ? 465 : 25);

    // Declared before the handle: libcurl still traces the QUIT exchange
    // while the handle is cleaned up.
    Transcript transcript;
    Upload upload;
    std::unique_ptr<curl_slist, CurlDeleter> recipients;
    char errorBuffer[CURL_ERROR_SIZE] = {};

    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl)
        return failure(u"The mail connection could not be prepared"_s);
    CURL *h = curl.get();
    curl_easy_setopt(h, CURLOPT_CURLU, url.get());
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, onTrace);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &transcript);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &watch);
    curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, onOpenSocket);
    curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &watch);
    curl_easy_setopt(h, CURLOPT_CLOSESOCKETFUNCTION, onCloseSocket);
    curl_easy_setopt(h, CURLOPT_CLOSESOCKETDATA, &watch);

    if (settings.connectionType == SmtpSettings::Security::StartTls)
        curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    const QByteArray caFile = options.caFile ? options.caFile->toLocal8Bit() : QByteArray();
    if (!caFile.isEmpty())
        curl_easy_setopt(h, CURLOPT_CAINFO, caFile.constData());

    const long connectTimeout = settings.timeoutSeconds ? *settings.timeoutSeconds : options.connectTimeoutSeconds;
    const long wholeTimeout = settings.timeoutSeconds ? *settings.timeoutSeconds : options.operationTimeoutSeconds;
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, connectTimeout);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, wholeTimeout);
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, wholeTimeout);

    const QByteArray username = settings.username.value_or(QString()).toUtf8();
    const QByteArray password = settings.password.value_or(QString()).toUtf8();
    const QByteArray bearer = settings.oauth2Token.value_or(QString()).toUtf8();
    if (settings.username && !settings.username->isEmpty()) {
        if (settings.authType == SmtpSettings::Auth::SaslPlain) {
            curl_easy_setopt(h, CURLOPT_USERNAME, username.constData());
            curl_easy_setopt(h, CURLOPT_PASSWORD, password.constData());
            curl_easy_setopt(h, CURLOPT_LOGIN_OPTIONS, "AUTH=PLAIN");
        } else if (settings.authType == SmtpSettings::Auth::XOAuth2Outlook) {
            curl_easy_setopt(h, CURLOPT_USERNAME, username.constData());
            curl_easy_setopt(h, CURLOPT_XOAUTH2_BEARER, bearer.constData());
            curl_easy_setopt(h, CURLOPT_LOGIN_OPTIONS, "AUTH=XOAUTH2");
        }
    }

    const QByteArray from = QByteArray('<' + request.envelopeFrom.toUtf8() + '>');
    QByteArray checkCommand;
    if (request.isCheck) {
        checkCommand = QByteArray("MAIL FROM:" + from);
        curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, checkCommand.constData());
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onWrite);
    } else {
        curl_easy_setopt(h, CURLOPT_MAIL_FROM, from.constData());
        for (const QString &to : request.envelopeTo) {
            curl_slist *grown = curl_slist_append(recipients.get(), QByteArray('<' + to.toUtf8() + '>').constData());
            if (!grown)
                return failure(u"The mail connection could not be prepared"_s);
            recipients.release();
            recipients.reset(grown);
        }
        curl_easy_setopt(h, CURLOPT_MAIL_RCPT, recipients.get());
        upload.bytes = withCrLfLineEnds(request.message);
        curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(h, CURLOPT_READFUNCTION, onRead);
        curl_easy_setopt(h, CURLOPT_READDATA, &upload);
        curl_easy_setopt(h, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(upload.bytes.size()));
    }

    const CURLcode code = curl_easy_perform(h);
    Outcome outcome;
    if (code != CURLE_OK && watch.aborts->aborted(watch.generation)) {
        // Cut off by abortAll(): whatever libcurl made of the closed
        // connection, the server's answer is unknown.
        outcome = failure(u"The operation was cancelled before the server had answered"_s);
    } else if (code != CURLE_OK) {
        long osErrno = 0;
        curl_easy_getinfo(h, CURLINFO_OS_ERRNO, &osErrno);
        outcome = describe(code, transcript, errorBuffer, osErrno, host, port);
    } else if (acceptedReply && transcript.lastReplyCode >= 200 && transcript.lastReplyCode < 300) {
        // The answer to the message's final dot: QUIT is not said yet.
        *acceptedReply = transcript.lastReply();
    }
    curl.reset(); // says QUIT and closes before the completion runs
    return outcome;
}

} // namespace

CurlSmtpClient::Options CurlSmtpClient::Options::fromEnvironment()
{
    Options options;
    const QString caFile = qEnvironmentVariable("QUILLCAST_SMTP_CA_FILE");
    if (!caFile.isEmpty())
        options.caFile = caFile;
    return options;
}

CurlSmtpClient::CurlSmtpClient() : CurlSmtpClient(Options::fromEnvironment()) {}

CurlSmtpClient::CurlSmtpClient(Options options)
    : m_options(std::move(options)), m_aborts(std::make_unique<CurlSmtpAborts>())
{
    initialiseCurlOnce();
}

CurlSmtpClient::~CurlSmtpClient()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    abortAll();
    m_wake.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
}

void CurlSmtpClient::abortAll()
{
    m_aborts->abortAll();
}

void CurlSmtpClient::sendMessage(const SmtpSettings &settings, const QString &envelopeFrom,
                                 const QStringList &envelopeTo, const QByteArray &message, Completion done)
{
    Request request{settings, false, envelopeFrom, envelopeTo, message};
    const AbortWatch watch{m_aborts.get(), m_aborts->currentGeneration()};
    enqueue({[this, watch, request = std::move(request)](QString &) { return perform(m_options, watch, request); },
             std::move(done), {}});
}

void CurlSmtpClient::sendMessageKeepingReply(const SmtpSettings &settings, const QString &envelopeFrom,
                                             const QStringList &envelopeTo, const QByteArray &message, Delivered done)
{
    Request request{settings, false, envelopeFrom, envelopeTo, message};
    const AbortWatch watch{m_aborts.get(), m_aborts->currentGeneration()};
    enqueue({[this, watch, request = std::move(request)](QString &reply) {
                 return perform(m_options, watch, request, &reply);
             },
             {}, std::move(done)});
}

void CurlSmtpClient::checkAccount(const SmtpSettings &settings, const QString &from, Completion done)
{
    Request request{settings, true, from, {}, {}};
    const AbortWatch watch{m_aborts.get(), m_aborts->currentGeneration()};
    enqueue({[this, watch, request = std::move(request)](QString &) { return perform(m_options, watch, request); },
             std::move(done), {}});
}

void CurlSmtpClient::enqueue(Operation operation)
{
    std::lock_guard lock(m_mutex);
    m_queue.push_back(std::move(operation));
    const bool enoughIdle = static_cast<qsizetype>(m_queue.size()) <= m_idle;
    if (!enoughIdle && static_cast<int>(m_workers.size()) < std::max(1, m_options.maxConcurrent))
        m_workers.emplace_back([this] { workerLoop(); });
    else
        m_wake.notify_one();
}

void CurlSmtpClient::workerLoop()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_idle;
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        --m_idle;
        if (m_queue.empty())
            return; // stopping, and nothing is left to complete
        Operation operation = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        QString reply;
        const Outcome outcome = operation.perform(reply);
        if (operation.delivered)
            operation.delivered(outcome, reply);
        else
            operation.done(outcome);
        operation = {};
        lock.lock();
    }
}

} // namespace quillcast
