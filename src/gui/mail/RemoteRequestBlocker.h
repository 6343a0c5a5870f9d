#pragma once

#include <QWebEngineUrlRequestInterceptor>

namespace quillcast::gui {

// Lets a page load only what is on this computer or in the page itself
// (file:, cid:, data:, about:) and refuses every other request, whatever
// asks for it: an image, a style sheet, a font, a frame or a prefetch.
class RemoteRequestBlocker : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT

public:
    explicit RemoteRequestBlocker(QObject *parent = nullptr);

    static bool isAllowed(const QUrl &url);
    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

Q_SIGNALS:
    // Queued: interceptRequest may run off the main thread.
    void blocked(const QUrl &url);
};

} // namespace quillcast::gui
