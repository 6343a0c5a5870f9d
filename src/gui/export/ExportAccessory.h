#pragma once

#include "app/DesktopFilePanel.h"
#include "export/LXDataExportManager.h"

#include <QPointer>
#include <QWidget>

class QComboBox;

namespace quillcast::gui {

// The export save panel's accessory: the file type, starting on the
// extension of the chosen layout; picking another makes the panel allow that
// one instead.
class ExportAccessory final : public QWidget
{
    Q_OBJECT

public:
    explicit ExportAccessory(LXDataExportManager &exporter, QWidget *parent = nullptr);

    // What the file panels are given for their export accessory: one for an
    // exporter, nothing for any other owner.
    static DesktopFilePanel::AccessoryFactory factory();

    QComboBox *fileTypePopUp() const { return m_fileType; }

private:
    QPointer<LXDataExportManager> m_exporter;
    QComboBox *m_fileType = nullptr;
};

} // namespace quillcast::gui
