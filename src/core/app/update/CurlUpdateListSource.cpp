#include "app/update/CurlUpdateListSource.h"

#include "app/update/UpdateListParser.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <curl/curl.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer
{
    QByteArray body;
    qint64 maxBytes = 0;
    bool tooLarge = false;
    const std::stop_token *stop = nullptr;
    bool plainHttp = false;
};

size_t onBody(char *data, size_t size, size_t count, void *userdata)
{
    auto *t = static_cast<Transfer *>(userdata);
    const size_t bytes = size * count;
    if (t->body.size() + qint64(bytes) > t->maxBytes) {
        t->tooLarge = true;
        return 0; // ends the transfer with a write error
    }
    t->body.append(data, qsizetype(bytes));
    return bytes;
}

int onProgress(void *userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    const auto *t = static_cast<const Transfer *>(userdata);
    return t->stop->stop_requested() ? 1 : 0;
}

// Runs once connected, before the request goes out: a plain http request
// must really be talking to this machine, whatever the name resolved to.
int beforeRequest(void *userdata, char *connectedIp, char *, int, int)
{
    const auto *t = static_cast<const Transfer *>(userdata);
    if (t->plainHttp && !CurlUpdateListSource::isLoopbackHost(QString::fromLatin1(connectedIp)))
        return CURL_PREREQFUNC_ABORT;
    return CURL_PREREQFUNC_OK;
}

struct EasyCleanup
{
    void operator()(CURL *h) const { curl_easy_cleanup(h); }
};

struct Response
{
    long status = 0;
    QByteArray body;
    QString redirect;
};

} // namespace

CurlUpdateListSource::CurlUpdateListSource() : CurlUpdateListSource(Options())
{
}

CurlUpdateListSource::CurlUpdateListSource(Options options) : m_options(options)
{
    initCurlOnce();
}

bool CurlUpdateListSource::isLoopbackHost(const QString &host)
{
    if (host.compare(u"localhost"_s, Qt::CaseInsensitive) == 0)
        return true;
    const QByteArray ascii = host.toLatin1();
    in_addr v4{};
    if (::inet_pton(AF_INET, ascii.constData(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (::inet_pton(AF_INET6, ascii.constData(), &v6) == 1)
        return std::memcmp(&v6, &in6addr_loopback, sizeof v6) == 0;
    return false;
}

bool CurlUpdateListSource::isAllowedAddress(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"https")
        return true;
    return scheme == u"http" && isLoopbackHost(url.host());
}

std::optional<Dict> CurlUpdateListSource::fetch(const QUrl &url, std::stop_token stop)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_options.totalTimeoutMs);
    QUrl current = url;
    for (int hop = 0; hop <= m_options.maxRedirects; ++hop) {
        if (!isAllowedAddress(current) || stop.stop_requested())
            return std::nullopt;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return std::nullopt;

        const std::unique_ptr<CURL, EasyCleanup> handle(curl_easy_init());
        if (!handle)
            return std::nullopt;
        CURL *h = handle.get();
        Transfer transfer;
        transfer.maxBytes = m_options.maxBytes;
        transfer.stop = &stop;
        transfer.plainHttp = current.scheme().toLower() == u"http";
        const QByteArray address = current.toEncoded();
        curl_easy_setopt(h, CURLOPT_URL, address.constData());
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(std::min<qint64>(m_options.connectTimeoutMs, left)));
        curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, long(left));
        curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(m_options.maxBytes));
        curl_easy_setopt(h, CURLOPT_USERAGENT, "Quillcast update check");
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
        curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
        curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
        curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, beforeRequest);
        curl_easy_setopt(h, CURLOPT_PREREQDATA, &transfer);
        if (transfer.plainHttp)
            curl_easy_setopt(h, CURLOPT_NOPROXY, "*"); // this machine is never reached through a proxy

        if (curl_easy_perform(h) != CURLE_OK || transfer.tooLarge)
            return std::nullopt;
        long status = 0;
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 300 && status < 400) {
            char *location = nullptr;
            curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &location);
            if (!location)
                return std::nullopt;
            current = QUrl(QString::fromUtf8(location), QUrl::StrictMode);
            continue;
        }
        if (status < 200 || status >= 300)
            return std::nullopt;
        return UpdateListParser::parse(transfer.body);
    }
    return std::nullopt;
}

} // namespace quillcast
