#pragma once

#include "platform/AlertPresenter.h"

#include <QPointer>
#include <QWidget>

class QMessageBox;

namespace quillcast::gui {

// Shows the core's alerts as message boxes: a sheet is window-modal on the
// window the presenter is bound to, a modal alert (and a sheet while there is
// no window) application-modal. Neither blocks the event loop: the completion
// runs later, once, with the index of the button chosen.
//
// When the window goes away while its sheet is up, the sheet goes with it and
// the completion still runs once, on the next turn of the event loop (not in
// the middle of the window's destruction), with the last button, which is the
// "Cancel" of every alert that has one.
class WindowAlertPresenter final : public AlertPresenter
{
public:
    explicit WindowAlertPresenter(QWidget *window = nullptr) : m_window(window) {}

    // The window the sheets attach to from now on; none: application-modal.
    void setWindow(QWidget *window) { m_window = window; }
    QWidget *window() const { return m_window; }

    void present(const Alert &alert, Completion completion) override;

    // The box present() shows, not yet shown (tests and screenshots look at it).
    static QMessageBox *makeBox(const Alert &alert, QWidget *parent);

private:
    QPointer<QWidget> m_window;
};

} // namespace quillcast::gui
