#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quillcast::gui {

// The sheet shown while a long piece of work runs (loading, importing,
// exporting): what is being done, a progress bar and Cancel (which rejects
// the sheet).
class ProgressSheet final : public QDialog
{
    Q_OBJECT

public:
    ProgressSheet(const QString &objectName, const QString &message, QWidget *window);

    // done of total; total 0: not known yet (a busy bar).
    void setProgress(qint64 done, qint64 total);

    QProgressBar *progressBar() const { return m_bar; }
    QPushButton *cancelButton() const { return m_cancel; }

private:
    QLabel *m_message = nullptr;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace quillcast::gui
