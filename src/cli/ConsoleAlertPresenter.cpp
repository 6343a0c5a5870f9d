#include "ConsoleAlertPresenter.h"

using namespace Qt::StringLiterals;

namespace quillcast::cli {

int ConsoleAlertPresenter::answerFor(const QStringList &buttons) const
{
    if (buttons.size() <= 1)
        return 0;
    if (m_yes) {
        if (m_consent.isEmpty())
            return 0;
        const qsizetype consent = buttons.indexOf(m_consent);
        if (consent >= 0)
            return int(consent);
        // An alert the command did not expect: refuse it rather than guess.
    }
    const qsizetype cancel = buttons.indexOf(u"Cancel"_s);
    return int(cancel >= 0 ? cancel : buttons.size() - 1);
}

void ConsoleAlertPresenter::present(const Alert &alert, Completion completion)
{
    m_err << alert.messageText << "\n";
    if (!alert.informativeText.isEmpty())
        m_err << alert.informativeText << "\n";
    const int answer = answerFor(alert.buttons);
    if (!alert.buttons.isEmpty())
        m_err << "[" << alert.buttons.join(QStringLiteral(" | ")) << "] -> " << alert.buttons.value(answer) << "\n";
    m_err.flush();
    if (completion)
        completion(answer);
}

} // namespace quillcast::cli
