#include "import/ImportMappingSheet.h"

#include "import/LXDataImportManager.h"
#include "window/Controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

enum Columns { NumberColumn, FlagColumn, ValueColumn, DestinationColumn, ColumnCount };

// What a tool's button is called and what its tip says; its title is the
// importer's.
struct ToolTexts
{
    QString objectName;
    QString help;
};

ToolTexts toolTexts(ImportMappingSheet::Tool tool)
{
    switch (tool) {
    case ImportMappingSheet::Tool::Reset:
        return {u"resetMappingButton"_s, u"Import no column"_s};
    case ImportMappingSheet::Tool::Cascade:
        return {u"cascadeMappingButton"_s,
                u"The columns of the file go to the columns of the list in order"_s};
    case ImportMappingSheet::Tool::AllToNewColumns:
        return {u"allToNewColumnsButton"_s, u"Every column of the file becomes a new column"_s};
    case ImportMappingSheet::Tool::FromFirstRow:
        return {u"fromFirstRowButton"_s,
                u"Match the names in the first row with the columns of the list, and leave that row out"_s};
    }
    return {};
}

QTableWidgetItem *readOnlyItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

ImportMappingSheet::ImportMappingSheet(LXDataImportManager &importer, QWidget *window)
    : QDialog(window), m_importer(&importer)
{
    setObjectName(u"importMappingSheet"_s);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(u"Import"_s);
    setAccessibleName(u"Import"_s);

    auto *intro = new QLabel(u"Choose where each column of the file goes."_s, this);
    m_table = namedControl<QTableWidget>(u"importMappingTable"_s, u"Columns of the file"_s, this);
    m_table->setColumnCount(ColumnCount);
    m_table->setHorizontalHeaderLabels({u"Column"_s, u"»"_s, u"Value"_s, u"Destination"_s});
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setSectionResizeMode(NumberColumn, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(FlagColumn, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(ValueColumn, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(DestinationColumn, QHeaderView::ResizeToContents);
    m_table->setMinimumSize(560, 220);

    // The row browser.
    m_prev = namedControl<QPushButton>(u"previousRowButton"_s, u"Prev"_s, this);
    m_prev->setText(u"Prev"_s);
    m_rowLabel = new QLabel(this);
    m_rowLabel->setObjectName(u"rowNumberLabel"_s);
    m_rowLabel->setAlignment(Qt::AlignCenter);
    m_rowLabel->setMinimumWidth(80);
    m_next = namedControl<QPushButton>(u"nextRowButton"_s, u"Next"_s, this);
    m_next->setText(u"Next"_s);
    auto *browser = new QHBoxLayout;
    browser->addWidget(m_prev);
    browser->addWidget(m_rowLabel);
    browser->addWidget(m_next);
    browser->addStretch(1);

    auto *toolRow = new QHBoxLayout;
    for (Tool tool : importer.offeredTools()) {
        const ToolTexts texts = toolTexts(tool);
        const QString title = LXDataImportManager::toolTitle(tool);
        auto *button = namedControl<QPushButton>(texts.objectName, title, this);
        button->setText(title);
        button->setToolTip(texts.help);
        button->setAutoDefault(false);
        toolRow->addWidget(button);
        m_tools.append({tool, button});
    }
    toolRow->addStretch(1);

    m_namesRow = namedControl<QCheckBox>(u"firstRowNamesCheckBox"_s, u"First row holds the column names"_s, this);
    m_namesRow->setText(u"First row holds the column names"_s);
    m_skipFirst = namedControl<QCheckBox>(u"skipFirstRowCheckBox"_s, u"Do not import the first row"_s, this);
    m_skipFirst->setText(u"Do not import the first row"_s);
    m_count = new QLabel(this);
    m_count->setObjectName(u"importedFieldsCount"_s);

    m_cancel = namedControl<QPushButton>(u"cancelImportButton"_s, u"Cancel"_s, this);
    m_cancel->setText(u"Cancel"_s);
    m_import = namedControl<QPushButton>(u"importButton"_s, u"Import"_s, this);
    m_import->setText(u"Import"_s);
    m_import->setDefault(true);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);
    buttons->addButton(m_import, QDialogButtonBox::AcceptRole);
    for (QPushButton *button : {m_prev, m_next})
        button->setAutoDefault(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_table, 1);
    layout->addLayout(browser);
    layout->addLayout(toolRow);
    layout->addWidget(m_namesRow);
    layout->addWidget(m_skipFirst);
    layout->addWidget(m_count);
    layout->addWidget(buttons);

    buildRows();
    showMapping();
    showRow();
    showOptions();

    // Tab leaves the table for its pop-ups, in the order of the rows, then
    // goes on down the sheet.
    m_table->setTabKeyNavigation(false);
    QWidget *previous = m_table;
    const auto chain = [&previous](QWidget *next) {
        setTabOrder(previous, next);
        previous = next;
    };
    for (QComboBox *popUp : std::as_const(m_popUps))
        chain(popUp);
    chain(m_prev);
    chain(m_next);
    for (const auto &tool : std::as_const(m_tools))
        chain(tool.second);
    chain(m_namesRow);
    chain(m_skipFirst);
    // Cancel and Import follow in the order the button box lays them out.

    connect(m_prev, &QPushButton::clicked, this, [this] {
        if (m_importer)
            m_importer->showPrevRecord();
    });
    connect(m_next, &QPushButton::clicked, this, [this] {
        if (m_importer)
            m_importer->showNextRecord();
    });
    for (const auto &[tool, button] : std::as_const(m_tools)) {
        connect(button, &QPushButton::clicked, this, [this, tool = tool] {
            if (m_importer)
                m_importer->applyTool(tool);
        });
    }
    connect(m_namesRow, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_importer)
            return;
        m_importer->setUseFirstRecordAsFieldsName(on);
        m_importer->firstRowSetFieldsNameSelected();
    });
    connect(m_skipFirst, &QCheckBox::toggled, this, [this](bool on) {
        if (m_importer)
            m_importer->setDoNotImportFirstRecord(on);
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_import, &QPushButton::clicked, this, &QDialog::accept);

    connect(&importer, &LXDataImportManager::destFieldArrayChanged, this, &ImportMappingSheet::showMapping);
    connect(&importer, &LXDataImportManager::numberOfImportedFieldsChanged, this, &ImportMappingSheet::showMapping);
    connect(&importer, &LXDataImportManager::selectedRowIndexChanged, this, &ImportMappingSheet::showRow);
    connect(&importer, &LXDataImportManager::currentRecordIndexChanged, this, &ImportMappingSheet::showRow);
    connect(&importer, &LXDataImportManager::doNotImportFirstRecordChanged, this, &ImportMappingSheet::showOptions);
    connect(&importer, &LXDataImportManager::useFirstRecordAsFieldsNameChanged, this,
            &ImportMappingSheet::showOptions);
    connect(&importer, &LXDataImportManager::enableFirstRecAsNameOptionChanged, this,
            &ImportMappingSheet::showOptions);
    connect(&importer, &LXDataImportManager::notVisibleFirstRecAsNameOptionChanged, this,
            &ImportMappingSheet::showOptions);
    // The importer goes with its mailing (a revert): nothing is left to import.
    connect(&importer, &QObject::destroyed, this, &QDialog::reject);
}

QComboBox *ImportMappingSheet::destinationPopUp(int column) const
{
    return m_popUps.value(column);
}

QPushButton *ImportMappingSheet::toolButton(Tool tool) const
{
    for (const auto &[t, button] : m_tools) {
        if (t == tool)
            return button;
    }
    return nullptr;
}

void ImportMappingSheet::buildRows()
{
    const QStringList titles = m_importer->importFieldMenuTitles();
    const int columns = int(m_importer->destFieldArray().size());
    m_table->setRowCount(columns);
    for (int column = 0; column < columns; ++column) {
        m_table->setItem(column, NumberColumn, readOnlyItem(QString::number(column + 1)));
        m_table->setItem(column, FlagColumn, readOnlyItem(QString()));
        m_table->setItem(column, ValueColumn, readOnlyItem(QString()));
        auto *popUp = namedControl<QComboBox>(u"destinationPopUp%1"_s.arg(column + 1),
                                              u"Destination of column %1"_s.arg(column + 1), m_table);
        // Item d is destination d: an empty title is a separator, which
        // takes its place in the list but cannot be chosen.
        for (const QString &title : titles) {
            if (title.isEmpty())
                popUp->insertSeparator(popUp->count());
            else
                popUp->addItem(title);
        }
        m_table->setCellWidget(column, DestinationColumn, popUp);
        connect(popUp, &QComboBox::activated, this, [this, column](int index) {
            if (!m_importer)
                return;
            m_table->selectRow(column);
            m_importer->chooseDestination(column, qint32(index));
        });
        m_popUps.append(popUp);
    }
}

void ImportMappingSheet::showMapping()
{
    if (!m_importer)
        return;
    const List mapping = m_importer->destFieldArray();
    for (int column = 0; column < m_popUps.size(); ++column) {
        const Dict row = mapping.at(column).toDict();
        QComboBox *popUp = m_popUps[column];
        const QSignalBlocker blocker(popUp);
        popUp->setCurrentIndex(row.value(u"destination"_s).toInt32());
        m_table->item(column, FlagColumn)->setText(row.stringValue(u"importFlag"_s));
    }
    const qint32 count = m_importer->numberOfImportedFields();
    m_count->setText(count == 1 ? u"1 field imported"_s : u"%1 fields imported"_s.arg(count));
}

void ImportMappingSheet::showRow()
{
    if (!m_importer)
        return;
    const QStringList fields = m_importer->selectedRowFields();
    for (int column = 0; column < m_table->rowCount(); ++column)
        m_table->item(column, ValueColumn)->setText(fields.value(column));
    const qint64 index = m_importer->currentRecordIndex();
    const qint64 rows = m_importer->rows().rowCount();
    m_rowLabel->setText(u"row %1"_s.arg(index));
    m_rowLabel->setAccessibleName(m_rowLabel->text());
    m_prev->setEnabled(index > 1);
    m_next->setEnabled(index < rows);
}

void ImportMappingSheet::showOptions()
{
    if (!m_importer)
        return;
    {
        const QSignalBlocker names(m_namesRow);
        const QSignalBlocker skip(m_skipFirst);
        m_namesRow->setChecked(m_importer->useFirstRecordAsFieldsName());
        m_skipFirst->setChecked(m_importer->doNotImportFirstRecord());
    }
    m_namesRow->setVisible(!m_importer->notVisibleFirstRecAsNameOption());
    m_namesRow->setEnabled(m_importer->enableFirstRecAsNameOption());
}

} // namespace quillcast::gui
