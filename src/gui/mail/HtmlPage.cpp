#include "mail/HtmlPage.h"

#include "mail/RemoteRequestBlocker.h"
#include "platform/UrlOpener.h"

#include <QTimer>

namespace quillcast::gui {

HtmlPage::HtmlPage(QWebEngineProfile *profile, UrlOpener &urlOpener, QObject *parent)
    : QWebEnginePage(profile, parent), m_urlOpener(urlOpener)
{
}

bool HtmlPage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (m_catchesNewWindow) {
        m_urlOpener.openUrl(url);
        // This page only stood for the window that was never opened.
        QTimer::singleShot(0, this, &QObject::deleteLater);
        return false;
    }
    if (type == NavigationTypeLinkClicked) {
        m_urlOpener.openUrl(url);
        return false;
    }
    // The mail itself (loaded as data) and its local parts; a frame or a
    // redirect to the network would be refused by the blocker anyway.
    Q_UNUSED(isMainFrame);
    return RemoteRequestBlocker::isAllowed(url);
}

QWebEnginePage *HtmlPage::createWindow(WebWindowType type)
{
    Q_UNUSED(type);
    auto *catcher = new HtmlPage(profile(), m_urlOpener, this);
    catcher->m_catchesNewWindow = true;
    return catcher;
}

} // namespace quillcast::gui
