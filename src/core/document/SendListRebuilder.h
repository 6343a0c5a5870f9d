#pragma once

#include "platform/QtMainLoop.h"
#include "util/List.h"

#include <QtGlobal>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quillcast {

class MyDocument;

// Rebuilds a document's send list: the database records whose address field
// is not on the exception list, in database order, the very record objects.
//
// The new list is built aside on a worker thread and put in place, with the
// send list's views re-evaluated, on the document's thread, so no view ever
// sees a half-built list. Requests made while a rebuild runs are coalesced:
// the worker builds the latest one next, and only the result of the latest
// request is put in place (an older result would undo a newer edit).
class SendListRebuilder
{
public:
    using Completion = std::function<void()>;

    explicit SendListRebuilder(MyDocument &document);
    // Stops the worker and waits for it.
    ~SendListRebuilder();
    SendListRebuilder(const SendListRebuilder &) = delete;
    SendListRebuilder &operator=(const SendListRebuilder &) = delete;

    // On the document's thread. The completion runs there once the list of
    // this request (or of a later one) is in place. Refused while a send run
    // is active: its list must not change under it.
    bool request(Completion done = {});
    // Builds and puts the list in place at once, on the calling thread; for
    // callers without an event loop (the CLI).
    bool rebuildNow();
    // Whether a requested list is not in place yet.
    bool isPending() const;

    // The send list of these lists: the exception test for every record,
    // answered by one hash set of the exception addresses.
    static List::Items buildSendItems(const List &addresses, const List &exceptions);

private:
    struct Job
    {
        quint64 generation = 0;
        List addresses;
        List exceptions;
    };

    void workerLoop();
    void apply(quint64 generation, List::Items items);

    MyDocument &m_document;
    // Where built lists are put in place.
    QtMainLoop m_documentThread;

    // Main-thread state.
    quint64 m_requested = 0;
    std::vector<Completion> m_waiting;

    // Shared with the worker.
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::optional<Job> m_next;
    bool m_stopping = false;
    std::thread m_worker;
};

} // namespace quillcast
