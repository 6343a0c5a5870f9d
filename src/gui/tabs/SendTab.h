#pragma once

#include "send/SendRun.h"

#include <QList>
#include <QWidget>

#include <optional>

namespace quillcast::gui {

struct WindowContext;

// The send page: the send list with its search and check boxes, the send commands, the pause, the run's progress and the log.
class SendTab : public QWidget
{
    Q_OBJECT

public:
    SendTab(WindowContext &context, QWidget *parent = nullptr);

    // The selected rows of the send list, as rows of its shown view.
    QList<qsizetype> selectedRows() const;
    bool hasSelection() const { return !selectedRows().isEmpty(); }
    // The run commands, each after its confirmation sheet.
    void startRun(quillcast::SendRun::Kind kind);
    // The selected record alone: prepared, or sent.
    void runSelected(bool sending);
    void cancelRun();
    void focusSearch();

Q_SIGNALS:
    void selectionChanged();
    // A run started or ended (the window locks its other pages meanwhile).
    void runActiveChanged(bool active);

private:
    WindowContext &m_context;
};

} // namespace quillcast::gui
