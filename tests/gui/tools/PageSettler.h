#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>

#include <chrono>

class QWidget;

namespace quillcast::gui::tools {

// Waits until what a window shows has come to rest, so that a picture of it
// shows the page rather than a half-loaded one. Widgets paint at the next
// turn of the event loop; HTML views load and render in the browser engine's
// own process, some time after they were given their page. The settler knows
// those views by their class name only, so it works whether or not the pages
// of the window have any.
class PageSettler : public QObject
{
    Q_OBJECT

public:
    explicit PageSettler(QObject *parent = nullptr);

    // Follows the loads of every HTML view now inside root (views added later
    // are found at the next settle()).
    void watch(QWidget *root);
    // Runs the event loop until every visible HTML view in root has loaded
    // and nothing has loaded for a moment, or until limit has passed.
    // False when the limit ended the wait.
    bool settle(QWidget *root, std::chrono::milliseconds limit);

private Q_SLOTS:
    void loadStarted();
    void loadFinished(bool ok);

private:
    struct ViewState
    {
        QPointer<QWidget> view;
        bool loading = false;
        bool loadedOnce = false;
    };

    bool atRest(QWidget *root) const;

    QHash<QObject *, ViewState> m_views;
    // Since the last load started or ended.
    QElapsedTimer m_sinceLastLoad;
};

} // namespace quillcast::gui::tools
