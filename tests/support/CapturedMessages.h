#pragma once

#include <QStringList>
#include <QtGlobal>

#include <mutex>

namespace quillcast::testing {

// Collects what goes to Qt's message log (our system log) while it lives.
class CapturedMessages
{
public:
    CapturedMessages()
    {
        const std::lock_guard guard(lock());
        captured().clear();
        m_previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &message) {
            const std::lock_guard logged(lock());
            captured().append(message);
        });
    }
    ~CapturedMessages() { qInstallMessageHandler(m_previous); }
    CapturedMessages(const CapturedMessages &) = delete;
    CapturedMessages &operator=(const CapturedMessages &) = delete;

    QStringList lines() const
    {
        const std::lock_guard guard(lock());
        return captured();
    }

private:
    static std::mutex &lock()
    {
        static std::mutex m;
        return m;
    }
    static QStringList &captured()
    {
        static QStringList lines;
        return lines;
    }

    QtMessageHandler m_previous = nullptr;
};

} // namespace quillcast::testing
