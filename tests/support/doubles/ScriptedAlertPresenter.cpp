#include "ScriptedAlertPresenter.h"

namespace quillcast {

void ScriptedAlertPresenter::present(const Alert &alert, Completion completion)
{
    m_shown.append(alert);
    int answer = m_defaultAnswer;
    if (!m_answers.empty()) {
        answer = m_answers.front();
        m_answers.pop_front();
    }
    if (completion)
        completion(answer);
}

} // namespace quillcast
