#pragma once

#include "document/SendProgress.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quillcast::gui {

// A send run's progress as the send page shows it: the action line
// ("Preparing email: 2 of 3 (1 remaining)", "Done. 3 sent."), a bar of the
// records handled, the remaining-time line and the Cancel button.
//
// It shows the snapshots SendProgress announces on the main thread, so it
// never reads the run's state while the worker changes it.
class RunProgressPanel : public QWidget
{
    Q_OBJECT

public:
    explicit RunProgressPanel(QWidget *parent = nullptr);

    // Follows progress (null: shows an idle panel).
    void setProgress(quillcast::SendProgress *progress);
    void show(const quillcast::SendProgress::Snapshot &snapshot);

    QPushButton *cancelButton() const { return m_cancel; }
    QProgressBar *bar() const { return m_bar; }

Q_SIGNALS:
    void cancelRequested();

private:
    QPointer<quillcast::SendProgress> m_progress;
    QLabel *m_action = nullptr;
    QProgressBar *m_bar = nullptr;
    QLabel *m_estimate = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace quillcast::gui
