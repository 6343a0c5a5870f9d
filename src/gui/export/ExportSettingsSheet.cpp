#include "export/ExportSettingsSheet.h"

#include "document/DocumentKeys.h"
#include "export/ExportDelimiters.h"
#include "export/ExportLayouts.h"
#include "export/LXDataExportManager.h"
#include "window/Controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

using Getter = QString (LXDataExportManager::*)() const;
using Setter = void (LXDataExportManager::*)(const QString &);

struct DelimiterField
{
    QString objectName;
    QString title;
    Getter get;
    Setter set;
};

const QList<DelimiterField> &delimiterFieldTable()
{
    static const QList<DelimiterField> table{
        {u"startOfFileField"_s, u"Start of file"_s, &LXDataExportManager::start_of_file,
         &LXDataExportManager::setStart_of_file},
        {u"endOfFileField"_s, u"End of file"_s, &LXDataExportManager::end_of_file,
         &LXDataExportManager::setEnd_of_file},
        {u"startOfRecordField"_s, u"Start of record"_s, &LXDataExportManager::start_of_record,
         &LXDataExportManager::setStart_of_record},
        {u"endOfRecordField"_s, u"End of record"_s, &LXDataExportManager::end_of_record,
         &LXDataExportManager::setEnd_of_record},
        {u"fieldOpenTagField"_s, u"Field open tag"_s, &LXDataExportManager::field_open_tag,
         &LXDataExportManager::setField_open_tag},
        {u"fieldCloseTagField"_s, u"Field close tag"_s, &LXDataExportManager::field_close_tag,
         &LXDataExportManager::setField_close_tag},
        {u"fieldSeparatorField"_s, u"Field separator"_s, &LXDataExportManager::field_separator,
         &LXDataExportManager::setField_separator},
    };
    return table;
}

QList<qsizetype> selectedRows(const QListWidget *list)
{
    QList<qsizetype> rows;
    for (const QModelIndex &index : list->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void fillKeys(QListWidget *list, const List &keys, const QList<qsizetype> &selection)
{
    const QSignalBlocker blocker(list);
    list->clear();
    for (const Value &key : keys.items()) {
        const QString name = key.toDict().stringValue(DocumentKeys::publicKey());
        list->addItem(name.isEmpty() ? u"-"_s : name);
    }
    for (qsizetype row : selection) {
        if (QListWidgetItem *item = list->item(int(row)))
            item->setSelected(true);
    }
}

QPushButton *button(const QString &objectName, const QString &title, QWidget *parent)
{
    auto *b = namedControl<QPushButton>(objectName, title, parent);
    b->setText(title);
    b->setAutoDefault(false);
    return b;
}

} // namespace

ExportSettingsSheet::ExportSettingsSheet(LXDataExportManager &exporter, QWidget *window)
    : QDialog(window), m_exporter(&exporter)
{
    setObjectName(u"exportSettingsSheet"_s);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(u"Export"_s);
    setAccessibleName(u"Export"_s);

    m_left = namedControl<QListWidget>(u"keysNotChosenList"_s, u"Keys not exported"_s, this);
    m_right = namedControl<QListWidget>(u"keysChosenList"_s, u"Keys to export"_s, this);
    for (QListWidget *list : {m_left, m_right}) {
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setMinimumSize(180, 180);
    }
    QPushButton *add = button(u"addSelectedButton"_s, u"Add"_s, this);
    QPushButton *addAll = button(u"addAllButton"_s, u"Add All"_s, this);
    QPushButton *remove = button(u"removeSelectedButton"_s, u"Remove"_s, this);
    QPushButton *removeAll = button(u"removeAllButton"_s, u"Remove All"_s, this);
    QPushButton *up = button(u"moveUpButton"_s, u"Move Up"_s, this);
    QPushButton *down = button(u"moveDownButton"_s, u"Move Down"_s, this);

    auto *keyButtons = new QVBoxLayout;
    keyButtons->addStretch(1);
    for (QPushButton *b : {add, addAll, remove, removeAll, up, down})
        keyButtons->addWidget(b);
    keyButtons->addStretch(1);
    auto *keys = new QGridLayout;
    keys->addWidget(new QLabel(u"Keys not exported:"_s, this), 0, 0);
    keys->addWidget(new QLabel(u"Keys to export, in order:"_s, this), 0, 2);
    keys->addWidget(m_left, 1, 0);
    keys->addLayout(keyButtons, 1, 1);
    keys->addWidget(m_right, 1, 2);

    m_layout = namedControl<QComboBox>(u"exportLayoutPopUp"_s, u"Layout"_s, this);
    for (const ExportLayouts::Layout &layout : ExportLayouts::all())
        m_layout->addItem(layout.title, layout.code);
    auto *form = new QFormLayout;
    form->addRow(buddyLabel(u"&Layout:"_s, m_layout, this), m_layout);
    for (const DelimiterField &field : delimiterFieldTable()) {
        auto *edit = namedControl<QLineEdit>(field.objectName, field.title, this);
        form->addRow(buddyLabel(field.title + u':', edit, this), edit);
        m_fields.append(edit);
        connect(edit, &QLineEdit::textEdited, this, [this, set = field.set](const QString &text) {
            if (m_exporter)
                (m_exporter.data()->*set)(text);
        });
    }
    m_afterLast = namedControl<QCheckBox>(u"endOfRecordAfterLastCheckBox"_s,
                                          u"End of record after the last record too"_s, this);
    m_afterLast->setText(m_afterLast->accessibleName());
    form->addRow(QString(), m_afterLast);
    m_namesRow = namedControl<QCheckBox>(u"namesRowCheckBox"_s, u"First row holds the column names"_s, this);
    m_namesRow->setText(m_namesRow->accessibleName());

    QPushButton *cancel = button(u"cancelExportButton"_s, u"Cancel"_s, this);
    QPushButton *exportButton = button(u"exportButton"_s, u"Export"_s, this);
    exportButton->setDefault(true);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(cancel, QDialogButtonBox::RejectRole);
    buttons->addButton(exportButton, QDialogButtonBox::AcceptRole);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(keys, 1);
    layout->addLayout(form);
    layout->addWidget(m_namesRow);
    layout->addWidget(buttons);

    QWidget *previous = m_left;
    const auto chain = [&previous](QWidget *next) {
        setTabOrder(previous, next);
        previous = next;
    };
    for (QWidget *w : std::initializer_list<QWidget *>{add, addAll, remove, removeAll, up, down, m_right, m_layout})
        chain(w);
    for (QLineEdit *edit : std::as_const(m_fields))
        chain(edit);
    chain(m_afterLast);
    chain(m_namesRow);
    // Cancel and Export follow in the order the button box lays them out.

    connect(m_left, &QListWidget::itemSelectionChanged, this, &ExportSettingsSheet::sendSelection);
    connect(m_right, &QListWidget::itemSelectionChanged, this, &ExportSettingsSheet::sendSelection);
    const auto act = [this](QPushButton *b, void (LXDataExportManager::*action)()) {
        connect(b, &QPushButton::clicked, this, [this, action] {
            if (m_exporter)
                (m_exporter.data()->*action)();
        });
    };
    act(add, &LXDataExportManager::addSelectedToRight);
    act(addAll, &LXDataExportManager::addAllToRight);
    act(remove, &LXDataExportManager::removeSelectedFromRight);
    act(removeAll, &LXDataExportManager::removeAllFromRight);
    act(up, &LXDataExportManager::moveUp);
    act(down, &LXDataExportManager::moveDown);
    connect(m_layout, &QComboBox::activated, this, [this] {
        if (!m_exporter)
            return;
        const qint32 code = m_layout->currentData().toInt();
        m_exporter->setFileFormatToSave(code);
        m_exporter->setCustomFields(code);
    });
    connect(m_afterLast, &QCheckBox::toggled, this, [this](bool on) {
        if (m_exporter)
            m_exporter->setUse_end_of_record_in_last_record(on ? u"YES"_s : u"NO"_s);
    });
    connect(m_namesRow, &QCheckBox::toggled, this, [this](bool on) {
        if (m_exporter)
            m_exporter->setUseFieldNamesAsFirstRow(on);
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(exportButton, &QPushButton::clicked, this, &QDialog::accept);

    connect(&exporter, &LXDataExportManager::keyListsChanged, this, &ExportSettingsSheet::showKeys);
    connect(&exporter, &LXDataExportManager::delimiterFieldsChanged, this, &ExportSettingsSheet::showDelimiters);
    connect(&exporter, &LXDataExportManager::fileFormatToSaveChanged, this, &ExportSettingsSheet::showLayout);
    connect(&exporter, &LXDataExportManager::useFieldNamesAsFirstRowChanged, this, [this](bool on) {
        const QSignalBlocker blocker(m_namesRow);
        m_namesRow->setChecked(on);
    });
    connect(&exporter, &QObject::destroyed, this, &QDialog::reject);

    showKeys();
    showDelimiters();
    showLayout();
    m_namesRow->setChecked(exporter.useFieldNamesAsFirstRow());
}

void ExportSettingsSheet::showKeys()
{
    if (!m_exporter)
        return;
    m_showing = true;
    fillKeys(m_left, m_exporter->leftKeyArray(), m_exporter->leftSelection());
    fillKeys(m_right, m_exporter->rightKeyArray(), m_exporter->rightSelection());
    m_showing = false;
}

void ExportSettingsSheet::sendSelection()
{
    if (m_showing || !m_exporter)
        return;
    m_exporter->setLeftSelection(selectedRows(m_left));
    m_exporter->setRightSelection(selectedRows(m_right));
}

void ExportSettingsSheet::showDelimiters()
{
    if (!m_exporter)
        return;
    const QList<DelimiterField> &table = delimiterFieldTable();
    for (qsizetype i = 0; i < table.size(); ++i) {
        const QString text = (m_exporter.data()->*table[i].get)();
        if (m_fields[i]->text() != text)
            m_fields[i]->setText(text);
    }
    const QSignalBlocker blocker(m_afterLast);
    m_afterLast->setChecked(Value(m_exporter->use_end_of_record_in_last_record()).toBool());
}

void ExportSettingsSheet::showLayout()
{
    if (!m_exporter)
        return;
    const qint32 code = m_exporter->fileFormatToSave();
    {
        const QSignalBlocker blocker(m_layout);
        m_layout->setCurrentIndex(std::max(0, m_layout->findData(code)));
    }
    // Only the custom layout writes what is typed; the others show theirs.
    const bool custom = code == ExportDelimiters::FormatCustom;
    for (QLineEdit *edit : std::as_const(m_fields))
        edit->setReadOnly(!custom);
    m_afterLast->setEnabled(custom);
}

} // namespace quillcast::gui
