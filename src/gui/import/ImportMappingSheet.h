#pragma once

#include "import/LXDataImportManager.h"

#include <QDialog>
#include <QList>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace quillcast::gui {

// The import's settings sheet over a loaded file: one row per column of the
// file with its "»" marker (imported or not), the value of the row shown and
// the destination pop-up (the importer's menu; its empty titles are
// separators); the row browser (Prev / Next, "row N"); the mapping tools the
// importer offers; the first-row options; how many fields are imported;
// Cancel / Import. Everything edits the importer, and the sheet follows the
// importer's properties.
//
// Accepted: the user asked to import; rejected: the import is cancelled.
class ImportMappingSheet final : public QDialog
{
    Q_OBJECT

public:
    using Tool = LXDataImportManager::Tool;

    // The tool buttons are the ones the importer offers, in its order.
    ImportMappingSheet(LXDataImportManager &importer, QWidget *window);

    QTableWidget *mappingTable() const { return m_table; }
    // The destination pop-up of a file column.
    QComboBox *destinationPopUp(int column) const;
    QPushButton *toolButton(Tool tool) const;

private:
    void buildRows();
    void showMapping();
    void showRow();
    void showOptions();

    QPointer<LXDataImportManager> m_importer;
    QTableWidget *m_table = nullptr;
    QList<QComboBox *> m_popUps;
    QList<std::pair<Tool, QPushButton *>> m_tools;
    QPushButton *m_prev = nullptr;
    QPushButton *m_next = nullptr;
    QLabel *m_rowLabel = nullptr;
    QCheckBox *m_namesRow = nullptr;
    QCheckBox *m_skipFirst = nullptr;
    QLabel *m_count = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_import = nullptr;
};

} // namespace quillcast::gui
