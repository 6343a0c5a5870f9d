#include "RecordingApplicationShell.h"

namespace quillcast {

void RecordingApplicationShell::newUntitledDocument()
{
    ++untitledDocumentsCreated;
    ++openDocuments;
}

void RecordingApplicationShell::runAfter(int milliseconds, std::function<void()> work)
{
    timerDelays.append(milliseconds);
    m_timers.push_back(std::move(work));
}

void RecordingApplicationShell::insertApplicationMenuItem(int position, const QString &title,
                                                          std::function<void()> action)
{
    menuItems.append({position, title, std::move(action)});
}

int RecordingApplicationShell::fireTimers()
{
    int ran = 0;
    while (!m_timers.empty()) {
        auto work = std::move(m_timers.front());
        m_timers.pop_front();
        work();
        ++ran;
    }
    return ran;
}

} // namespace quillcast
