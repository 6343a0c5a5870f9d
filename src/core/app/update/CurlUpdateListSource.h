#pragma once

#include "app/update/UpdateListSource.h"

namespace quillcast {

// Downloads the update list with libcurl.
//
// The list decides which pages the user is sent to, so it must come from
// where it claims to: only https addresses are fetched, with the server's
// certificate and host name verified. Plain http is allowed for the loopback
// host alone (127.0.0.0/8, ::1, "localhost"), where a local test or mirror
// server answers; any other address is refused without a connection.
// Redirects are followed by hand, each target checked the same way. Bodies
// larger than the cap and slow servers end the download.
class CurlUpdateListSource final : public UpdateListSource
{
public:
    struct Options
    {
        qint64 maxBytes = 1024 * 1024;
        int connectTimeoutMs = 10'000;
        int totalTimeoutMs = 30'000; // for the whole fetch, redirects included
        int maxRedirects = 5;
    };

    CurlUpdateListSource();
    explicit CurlUpdateListSource(Options options);

    std::optional<Dict> fetch(const QUrl &url, std::stop_token stop) override;

    // https with a host, or http to the loopback host.
    static bool isAllowedAddress(const QUrl &url);
    static bool isLoopbackHost(const QString &host);

private:
    Options m_options;
};

} // namespace quillcast
