#pragma once

#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace quillcast {
class RecordList;
}

namespace quillcast::gui {

// Turns the keystrokes of a search field into re-evaluations of a record
// list's shown view without ever holding up the typing: a keystroke restarts
// a short wait, so that a word typed quickly is searched once; a long list is
// then walked on a worker, and a newer keystroke cancels the walk in progress,
// whose result, should it still arrive, is ignored. The result is put in
// place on this object's thread (the list's owner), and only while it still
// fits the list.
class SearchCoalescer : public QObject
{
    Q_OBJECT

public:
    // How long typing must pause before the list is searched in place.
    static constexpr std::chrono::milliseconds kDefaultDelay{80};
    // The same before a walk on the worker, which holds nothing up and is
    // dropped at the next keystroke: only a burst (a paste, a held key) is
    // gathered, so that the result comes as soon as the walk can bring it.
    static constexpr std::chrono::milliseconds kWorkerDelay{30};
    // From this many records on, the list is walked on a worker: one walk of a
    // million records takes about a tenth of a second.
    static constexpr qsizetype kDefaultWorkerThreshold = 20000;

    explicit SearchCoalescer(QObject *parent = nullptr);
    // Cancels a walk in progress and waits for it to give up.
    ~SearchCoalescer() override;

    // The list searched and how its document takes the search text (the
    // document keeps one per list). None: keystrokes are dropped.
    void bind(RecordList *list, std::function<void(const QString &)> setSearchText);

    // The wait before a search in place; the worker's is never longer.
    void setDelay(std::chrono::milliseconds delay) { m_delay = delay; }
    void setWorkerThreshold(qsizetype records) { m_workerThreshold = records; }

    // The user typed: the list is searched for text once typing pauses.
    void textEdited(const QString &text);
    // Searches at once for the text typed last, if any is waiting.
    void flush();
    // Drops the search waiting or being walked: a command set the list's
    // search text itself (an added record clears it), and the typing before
    // it must not bring the old text back.
    void cancel();
    // Whether a search is waiting or being walked.
    bool isBusy() const { return m_timer.isActive() || m_walking; }

Q_SIGNALS:
    // The shown view now holds what text lets through.
    void applied(const QString &text);

private:
    void search();
    void walkAside(const QString &text);
    void cancelWalk();

    QPointer<RecordList> m_list;
    std::function<void(const QString &)> m_setSearchText;
    QTimer m_timer;
    std::chrono::milliseconds m_delay = kDefaultDelay;
    QString m_pending;
    qsizetype m_workerThreshold = kDefaultWorkerThreshold;
    // One walk at a time; the pool lets the destructor wait for it.
    QThreadPool m_pool;
    std::shared_ptr<std::atomic<bool>> m_cancelWalk;
    quint64 m_walkToken = 0;
    bool m_walking = false;
};

} // namespace quillcast::gui
