#include "ConsoleAlertPresenter.h"

namespace quillcast::cli {

void ConsoleAlertPresenter::present(const Alert &alert, Completion completion)
{
    m_err << alert.messageText << "\n";
    if (!alert.informativeText.isEmpty())
        m_err << alert.informativeText << "\n";
    const int answer = (m_yes || alert.buttons.size() <= 1) ? 0 : int(alert.buttons.size()) - 1;
    if (!alert.buttons.isEmpty())
        m_err << "[" << alert.buttons.join(QStringLiteral(" | ")) << "] -> " << alert.buttons.value(answer) << "\n";
    m_err.flush();
    if (completion)
        completion(answer);
}

} // namespace quillcast::cli
