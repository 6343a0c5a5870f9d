#pragma once

#include <QWebEnginePage>

namespace quillcast {
class UrlOpener;
}

namespace quillcast::gui {

// The page of an HtmlView: it shows what it is given and hands every link
// the user follows (in place or in a new window) to the desktop's browser.
class HtmlPage : public QWebEnginePage
{
    Q_OBJECT

public:
    HtmlPage(QWebEngineProfile *profile, UrlOpener &urlOpener, QObject *parent = nullptr);

    // Whether the page lets a navigation happen in itself, and opens the
    // followed links outside (public for the view's tests).
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;

protected:
    QWebEnginePage *createWindow(WebWindowType type) override;

private:
    UrlOpener &m_urlOpener;
    // Catches the first navigation of a page a link wants to open in a new
    // window; it opens no window.
    bool m_catchesNewWindow = false;
};

} // namespace quillcast::gui
