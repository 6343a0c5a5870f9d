#pragma once

#include "platform/AlertPresenter.h"

#include <QTextStream>

namespace quillcast::cli {

// Prints alerts to standard error and answers them without asking: with the
// first button when the user said --yes, otherwise with the last one (the
// "Cancel" of every question the application asks).
class ConsoleAlertPresenter final : public AlertPresenter
{
public:
    ConsoleAlertPresenter(QTextStream &err, bool yes) : m_err(err), m_yes(yes) {}
    void present(const Alert &alert, Completion completion) override;

private:
    QTextStream &m_err;
    bool m_yes;
};

} // namespace quillcast::cli
