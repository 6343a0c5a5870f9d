#pragma once

#include "export/LXDataExportManager.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>

#include <utility>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quillcast::gui {

// The export's settings sheet: the keys not chosen (left) and the keys to
// export in their order (right) with add selected / all, remove selected /
// all, move up / down (several keys may be selected); the layout pop-up,
// which fills the seven delimiter fields and the "after last" choice as the
// layout shows them; the names-row option; Cancel / Export. Everything edits
// the exporter, and the sheet follows it.
//
// Accepted: export (the save panel follows); rejected: nothing is written.
class ExportSettingsSheet final : public QDialog
{
    Q_OBJECT

public:
    ExportSettingsSheet(LXDataExportManager &exporter, QWidget *window);


    QListWidget *leftList() const { return m_left; }
    QListWidget *rightList() const { return m_right; }
    QComboBox *layoutPopUp() const { return m_layout; }
    // The delimiter fields in the exporter's order: start and end of file,
    // start and end of record, field open and close tag, field separator.
    const QList<QLineEdit *> &delimiterFields() const { return m_fields; }
    QCheckBox *afterLastCheckBox() const { return m_afterLast; }
    QCheckBox *namesRowCheckBox() const { return m_namesRow; }

private:
    void showKeys();
    void showDelimiters();
    void showLayout();
    void sendSelection();

    QPointer<LXDataExportManager> m_exporter;
    QListWidget *m_left = nullptr;
    QListWidget *m_right = nullptr;
    QComboBox *m_layout = nullptr;
    QList<QLineEdit *> m_fields;
    QCheckBox *m_afterLast = nullptr;
    QCheckBox *m_namesRow = nullptr;
    bool m_showing = false;
};

} // namespace quillcast::gui
