#include "PageSettler.h"

#include <QApplication>
#include <QThread>
#include <QWidget>

namespace quillcast::gui::tools {

namespace {

constexpr char kHtmlViewClass[] = "QWebEngineView";
// What the widgets need to lay out and paint once shown or switched to.
constexpr std::chrono::milliseconds kWidgetPaint{300};
// After an HTML view's last load: the engine composites its frame a little
// later than it reports the load finished.
constexpr std::chrono::milliseconds kHtmlQuiet{400};

} // namespace

PageSettler::PageSettler(QObject *parent) : QObject(parent)
{
    m_sinceLastLoad.start();
}

void PageSettler::watch(QWidget *root)
{
    const QList<QWidget *> widgets = root->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        // A view gone since may have left its address to a new one.
        if (!widget->inherits(kHtmlViewClass) || (m_views.contains(widget) && m_views.value(widget).view))
            continue;
        m_views.insert(widget, ViewState{widget});
        // By name: the tools build whether or not the pages hold HTML views.
        connect(widget, SIGNAL(loadStarted()), this, SLOT(loadStarted()));
        connect(widget, SIGNAL(loadFinished(bool)), this, SLOT(loadFinished(bool)));
    }
}

void PageSettler::loadStarted()
{
    auto found = m_views.find(sender());
    if (found == m_views.end())
        return;
    found->loading = true;
    m_sinceLastLoad.restart();
}

void PageSettler::loadFinished(bool)
{
    auto found = m_views.find(sender());
    if (found == m_views.end())
        return;
    found->loading = false;
    found->loadedOnce = true;
    m_sinceLastLoad.restart();
}

bool PageSettler::atRest(QWidget *root) const
{
    bool anyView = false;
    for (const ViewState &state : m_views) {
        QWidget *view = state.view;
        if (!view || !view->isVisible() || !root->isAncestorOf(view))
            continue;
        anyView = true;
        if (state.loading || !state.loadedOnce)
            return false;
    }
    return !anyView || m_sinceLastLoad.elapsed() >= kHtmlQuiet.count();
}

bool PageSettler::settle(QWidget *root, std::chrono::milliseconds limit)
{
    watch(root);
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (waited.elapsed() >= kWidgetPaint.count() && atRest(root))
            return true;
        if (waited.elapsed() >= limit.count())
            return false;
        QThread::msleep(10);
    }
}

} // namespace quillcast::gui::tools
