#pragma once

#include "platform/AlertPresenter.h"

#include <QList>

namespace quillcast::cli {

// For the steps a command runs without asking anybody (loading an import
// file, writing an export, reading the stored connections): every alert is
// answered at once with its default button, the first, and kept, so that the
// command can print what went wrong when the step fails.
class CollectingAlertPresenter final : public AlertPresenter
{
public:
    void present(const Alert &alert, Completion completion) override;

    const QList<Alert> &collected() const { return m_collected; }

private:
    QList<Alert> m_collected;
};

} // namespace quillcast::cli
