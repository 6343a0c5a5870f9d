#include "mail/RemoteRequestBlocker.h"

#include <QUrl>

namespace quillcast::gui {

RemoteRequestBlocker::RemoteRequestBlocker(QObject *parent) : QWebEngineUrlRequestInterceptor(parent)
{
}

bool RemoteRequestBlocker::isAllowed(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("file") || scheme == QLatin1String("cid") || scheme == QLatin1String("data")
           || scheme == QLatin1String("about");
}

void RemoteRequestBlocker::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    if (isAllowed(info.requestUrl()))
        return;
    info.block(true);
    Q_EMIT blocked(info.requestUrl());
}

} // namespace quillcast::gui
