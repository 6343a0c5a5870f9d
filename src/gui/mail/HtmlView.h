#pragma once

#include <QUrl>
#include <QWebEngineView>

class QWebEngineProfile;

namespace quillcast {
class UrlOpener;
}

namespace quillcast::gui {

class RemoteRequestBlocker;

// Shows a mail's HTML as a browser engine does (mail HTML is tables and
// inline CSS that a rich-text widget gets wrong), and nothing more: the page
// runs no JavaScript, keeps nothing once closed, and fetches nothing from the
// network (a remote image is how a sender learns that a mail was opened; a
// preview must not tell anyone). Local files and the page's own data may
// load. A click on a link opens it in the desktop's browser instead of
// navigating the view away from the mail.
class HtmlView : public QWebEngineView
{
    Q_OBJECT

public:
    explicit HtmlView(UrlOpener &urlOpener, QWidget *parent = nullptr);
    ~HtmlView() override;

    // Loads html without a base address.
    void loadHtml(const QString &html);
    // The requests refused so far.
    int blockedRequestCount() const { return m_blocked; }

Q_SIGNALS:
    void requestBlocked(const QUrl &url);

private:
    QWebEngineProfile *m_profile;
    RemoteRequestBlocker *m_blocker;
    int m_blocked = 0;
};

} // namespace quillcast::gui
