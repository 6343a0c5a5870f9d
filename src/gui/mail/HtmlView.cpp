#include "mail/HtmlView.h"

#include "mail/HtmlPage.h"
#include "mail/RemoteRequestBlocker.h"

#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace quillcast::gui {

HtmlView::HtmlView(UrlOpener &urlOpener, QWidget *parent)
    : QWebEngineView(parent),
      // No storage name: off the record, nothing of a mail is kept on disk.
      m_profile(new QWebEngineProfile(this)),
      m_blocker(new RemoteRequestBlocker(m_profile))
{
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->setUrlRequestInterceptor(m_blocker);
    connect(m_blocker, &RemoteRequestBlocker::blocked, this, [this](const QUrl &url) {
        ++m_blocked;
        Q_EMIT requestBlocked(url);
    }, Qt::QueuedConnection);

    QWebEngineSettings *settings = m_profile->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    // A file dropped on the view must not replace the mail with itself.
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);

    setPage(new HtmlPage(m_profile, urlOpener, this));
    // Back, reload and "view source" have no meaning for a shown text.
    setContextMenuPolicy(Qt::NoContextMenu);
}

HtmlView::~HtmlView()
{
    // The page goes before the profile it was made with.
    delete page();
}

void HtmlView::loadHtml(const QString &html)
{
    setHtml(html, QUrl());
}

} // namespace quillcast::gui
