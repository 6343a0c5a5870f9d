#pragma once

#include "platform/AlertPresenter.h"

#include <QList>

#include <utility>
#include <vector>

namespace quillcast::testing {

// A presenter whose alerts stay open, as a sheet does, until the test
// answers them: every completion is held until answer() calls it.
class HeldAlertPresenter final : public AlertPresenter
{
public:
    void present(const Alert &alert, Completion completion) override
    {
        m_shown.append(alert);
        m_open.push_back(std::move(completion));
    }

    // Answers the oldest open alert with button; false when none is open.
    bool answer(int button)
    {
        if (m_open.empty())
            return false;
        Completion completion = std::move(m_open.front());
        m_open.erase(m_open.begin());
        if (completion)
            completion(button);
        return true;
    }

    const QList<Alert> &shown() const { return m_shown; }
    std::size_t openCount() const { return m_open.size(); }

private:
    QList<Alert> m_shown;
    std::vector<Completion> m_open;
};

} // namespace quillcast::testing
