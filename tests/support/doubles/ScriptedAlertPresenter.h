#pragma once

#include "platform/AlertPresenter.h"

#include <QList>

#include <deque>

namespace quillcast {

// A presenter without a screen: records every alert and answers each at once
// with the next scripted button (or a fixed default answer).
class ScriptedAlertPresenter final : public AlertPresenter
{
public:
    explicit ScriptedAlertPresenter(int defaultAnswer = 0) : m_defaultAnswer(defaultAnswer) {}

    void present(const Alert &alert, Completion completion) override;

    void queueAnswer(int button) { m_answers.push_back(button); }
    const QList<Alert> &shown() const { return m_shown; }

private:
    int m_defaultAnswer;
    std::deque<int> m_answers;
    QList<Alert> m_shown;
};

} // namespace quillcast
