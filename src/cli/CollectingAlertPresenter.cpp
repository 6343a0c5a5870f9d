#include "CollectingAlertPresenter.h"

namespace quillcast::cli {

void CollectingAlertPresenter::present(const Alert &alert, Completion completion)
{
    m_collected.append(alert);
    if (completion)
        completion(0);
}

} // namespace quillcast::cli
