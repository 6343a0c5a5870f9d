#pragma once

#include "platform/AlertPresenter.h"

#include <QString>
#include <QTextStream>

namespace quillcast::cli {

// Prints alerts to standard error and answers them without asking.
//
// With --yes it consents: it chooses the consent button the command named
// (the questions do not agree on where that button sits: "OK" comes first in
// one, "Delete" last in another), or the first button when the command named
// none. Without --yes it chooses "Cancel" when the alert has one, otherwise
// the last button, so an unanswered question never destroys anything.
class ConsoleAlertPresenter final : public AlertPresenter
{
public:
    ConsoleAlertPresenter(QTextStream &err, bool yes) : m_err(err), m_yes(yes) {}
    void present(const Alert &alert, Completion completion) override;

    // The title of the button that says yes to the question the command is
    // about to ask. An alert without that button is then not consented to.
    void setConsentButton(const QString &title) { m_consent = title; }

    // The button this presenter chooses among these.
    int answerFor(const QStringList &buttons) const;

private:
    QTextStream &m_err;
    bool m_yes;
    QString m_consent;
};

} // namespace quillcast::cli
