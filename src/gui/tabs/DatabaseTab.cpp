#include "tabs/DatabaseTab.h"

#include "WindowContext.h"
#include "database/KeyCommands.h"
#include "database/RecordCommands.h"
#include "document/CommandEnabling.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "models/RecordTableModel.h"
#include "session/DocumentSession.h"
#include "tables/KeyListModel.h"
#include "tables/RecordListPanel.h"
#include "tables/RecordsTableView.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace quillcast::gui {

namespace {

// Widths of the fixed columns: the number, the check box, the address.
constexpr int kNumberWidth = 64;
constexpr int kCheckWidth = 44;
constexpr int kEmailWidth = 240;

} // namespace

DatabaseTab::DatabaseTab(WindowContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("databaseTab"));

    m_keysLabel = new QLabel(tr("DB Keys"), this);
    m_keysLabel->setObjectName(QStringLiteral("keyListLabel"));
    m_keyList = new QListView(this);
    m_keyList->setObjectName(QStringLiteral("keyList"));
    m_keyList->setAccessibleName(tr("DB Keys"));
    m_keyList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_keyList->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                               | QAbstractItemView::SelectedClicked);
    m_keyList->setUniformItemSizes(true);
    m_keyList->setSpacing(2);
    m_keysLabel->setBuddy(m_keyList);

    m_keyMessage = new QLabel(this);
    m_keyMessage->setObjectName(QStringLiteral("keyListMessage"));
    m_keyMessage->setWordWrap(true);
    m_keyMessage->setForegroundRole(QPalette::PlaceholderText);
    m_keyMessage->hide();

    m_addColumn = new QPushButton(tr("Add Column"), this);
    m_addColumn->setObjectName(QStringLiteral("addColumnButton"));
    m_addColumn->setAccessibleName(tr("Add Column"));
    m_deleteColumn = new QPushButton(tr("Delete Column"), this);
    m_deleteColumn->setObjectName(QStringLiteral("deleteColumnButton"));
    m_deleteColumn->setAccessibleName(tr("Delete Column"));

    m_panel = new RecordListPanel({QStringLiteral("databaseSearchField"), QStringLiteral("recordsTable"), tr("Records"),
                                   QStringLiteral("addRecordButton"), QStringLiteral("removeRecordButton"),
                                   QStringLiteral("databaseStatus")},
                                  this);
    m_searchField = m_panel->searchField();
    m_table = m_panel->table();
    m_addRecord = m_panel->addButton();
    m_removeRecord = m_panel->removeButton();

    // Left: the key list with its buttons; right: the table. The search field
    // sits above the table it filters, the record buttons and counts below.
    auto *keyPanel = new QWidget(this);
    auto *keyLayout = new QVBoxLayout(keyPanel);
    keyLayout->setContentsMargins(0, 0, 0, 0);
    // As tall as the search field beside it, so that the list and the table
    // start on one line.
    m_keysLabel->setMinimumHeight(m_searchField->sizeHint().height());
    m_keysLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    keyLayout->addWidget(m_keysLabel);
    keyLayout->addWidget(m_keyList, 1);
    keyLayout->addWidget(m_keyMessage);
    auto *keyButtons = new QHBoxLayout;
    keyButtons->addWidget(m_addColumn);
    keyButtons->addWidget(m_deleteColumn);
    keyLayout->addLayout(keyButtons);

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setAccessibleName(tr("Columns and records"));
    splitter->setObjectName(QStringLiteral("databaseSplitter"));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(keyPanel);
    splitter->addWidget(m_panel);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({240, 860});
    keyPanel->setMinimumWidth(keyPanel->sizeHint().width());

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(splitter);

    setTabOrder(m_keyList, m_addColumn);
    setTabOrder(m_addColumn, m_deleteColumn);
    setTabOrder(m_deleteColumn, m_searchField);

    connect(m_addColumn, &QPushButton::clicked, this, &DatabaseTab::addColumn);
    connect(m_deleteColumn, &QPushButton::clicked, this, &DatabaseTab::deleteSelectedKey);
    connect(m_addRecord, &QPushButton::clicked, this, &DatabaseTab::addRecord);
    connect(m_removeRecord, &QPushButton::clicked, this, &DatabaseTab::removeRecord);

    connect(&m_context.session, &DocumentSession::documentReplaced, this, &DatabaseTab::bindDocument);
    bindDocument(&m_context.session.document());
}

DatabaseTab::~DatabaseTab()
{
    unbindDocument();
}

void DatabaseTab::bindDocument(MyDocument *document)
{
    unbindDocument();
    if (!document)
        return;
    m_doc = document;
    MyDocument *doc = document;

    m_keyModel = new KeyListModel(*doc, this);
    m_keyList->setModel(m_keyModel);
    connect(m_keyList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DatabaseTab::keySelectionChanged);
    connect(m_keyModel, &KeyListModel::renameRefused, this, [this](int, const QString &typed) {
        m_keyMessage->setText(typed.trimmed().isEmpty() ? tr("A column's name cannot be blank.")
                                                        : tr("There is a column named '%1' already.").arg(typed));
        m_keyMessage->show();
    });

    QPointer<MyDocument> guard(doc);
    m_recordsModel = new RecordTableModel(
        doc->addresses(),
        [guard](const Dict &record, const QString &key, const Value &value) {
            if (guard)
                guard->setRecordValue(record, key, value);
        },
        this);
    m_table->setModel(m_recordsModel);
    updateColumns();
    m_table->setColumnWidth(0, kNumberWidth);
    m_table->setColumnWidth(1, kCheckWidth);
    m_table->setColumnWidth(2, kEmailWidth);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &DatabaseTab::selectionChanged);

    m_docConnections
        << connect(doc, &MyDocument::keyArrayChanged, this,
                   [this] {
                       updateColumns();
                       // The list was reset: its selection is gone, and with it the right to delete.
                       keySelectionChanged();
                   })
        << connect(doc, &MyDocument::columnHeadersChanged, this, &DatabaseTab::updateColumns)
        << connect(doc, &MyDocument::keyNameChanged, this, &DatabaseTab::updateColumns)
        << connect(doc, &MyDocument::scrollToLastColumnRequested, m_table, &RecordsTableView::scrollToLastColumn)
        << connect(doc, &MyDocument::scrollToEndRequested, this,
                   [this](MyDocument::View view) {
                       if (view == MyDocument::View::AddressShown)
                           m_table->scrollToBottom();
                   })
        << connect(doc, &MyDocument::searchFieldStrChanged, m_panel, &RecordListPanel::showSearchText)
        << connect(doc, &MyDocument::canRemoveKeyListElementChanged, this, &DatabaseTab::updateButtons)
        << connect(&doc->addresses(), &RecordList::rowsInserted, this, &DatabaseTab::updateButtons)
        << connect(&doc->addresses(), &RecordList::rowsRemoved, this, &DatabaseTab::updateButtons)
        << connect(&doc->addresses(), &RecordList::rearranged, this, &DatabaseTab::updateButtons)
        // The session replaces a document by destroying it first.
        << connect(doc, &QObject::destroyed, this, &DatabaseTab::unbindDocument);

    // A mailing read from its file, or a list put in place whole, has a shown
    // view nobody evaluated: the table shows what its search lets through.
    // Checked once the loop comes round, so that a command that filters
    // itself (an import) is not doubled.
    m_docConnections << connect(doc, &MyDocument::addressArrayChanged, m_panel, &RecordListPanel::filterWhenStale);
    m_panel->bind(
        &doc->addresses(), [guard] { return guard ? RecordCommands(*guard).checkedRecordsDataBaseN() : 0; },
        [guard](const QString &text) {
            if (guard)
                guard->setSearchFieldStr(text);
        },
        doc->searchFieldStr());
    m_keyMessage->hide();
    updateButtons();
}

void DatabaseTab::unbindDocument()
{
    for (const QMetaObject::Connection &c : std::as_const(m_docConnections))
        disconnect(c);
    m_docConnections.clear();
    m_panel->unbind();
    m_keyList->setModel(nullptr);
    delete m_recordsModel;
    m_recordsModel = nullptr;
    delete m_keyModel;
    m_keyModel = nullptr;
    m_doc = nullptr;
}

void DatabaseTab::updateColumns()
{
    if (!m_doc || !m_recordsModel)
        return;
    using Kind = RecordTableModel::Column::Kind;
    const QStringList headers = m_doc->columnHeaders();
    QList<RecordTableModel::Column> columns;
    m_doc->keyArray().read([&](const List::Items &keys) {
        for (size_t i = 0; i < keys.size(); ++i) {
            const Dict key = keys[i].toDict();
            const QString inner = key.stringValue(DocumentKeys::innerKey());
            const QString title = qsizetype(i) < headers.size() ? headers.at(qsizetype(i))
                                                                : key.stringValue(DocumentKeys::publicKey());
            Kind kind = Kind::Text;
            if (inner == DocumentKeys::numberInnerKey())
                kind = Kind::Number;
            else if (inner == DocumentKeys::checkedInnerKey())
                kind = Kind::Check;
            columns.append({inner, title, kind, true});
        }
    });
    m_recordsModel->setColumns(columns);
}

QList<qsizetype> DatabaseTab::selectedRows() const
{
    return m_panel->selectedRows();
}

SearchCoalescer &DatabaseTab::search() const
{
    return m_panel->search();
}

std::optional<qsizetype> DatabaseTab::selectedKeyRow() const
{
    if (!m_keyList->selectionModel())
        return std::nullopt;
    const QModelIndexList rows = m_keyList->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first().row();
}

void DatabaseTab::keySelectionChanged()
{
    if (m_doc)
        KeyCommands(*m_doc).selectKeyRow(selectedKeyRow());
    m_keyMessage->hide();
    updateButtons();
    Q_EMIT selectionChanged();
}

void DatabaseTab::addColumn()
{
    if (!m_doc)
        return;
    KeyCommands(*m_doc, m_context.mainLoop).insertNewColumnInTable();
    const int last = m_keyModel->rowCount() - 1;
    m_keyList->setCurrentIndex(m_keyModel->index(last));
    m_keyList->scrollTo(m_keyModel->index(last));
}

void DatabaseTab::deleteSelectedKey()
{
    if (!m_doc)
        return;
    KeyCommands(*m_doc, m_context.mainLoop).deleteSelectedKey(selectedKeyRow());
}

void DatabaseTab::focusSearch()
{
    m_panel->focusSearch();
}

void DatabaseTab::addRecord()
{
    if (!m_doc)
        return;
    const Dict added = RecordCommands(*m_doc).addAddress();
    m_table->selectOnly(m_recordsModel->rowOf(added));
}

void DatabaseTab::removeRecord()
{
    if (m_doc)
        RecordCommands(*m_doc).removeAddress(selectedRows());
}

void DatabaseTab::updateButtons()
{
    if (!m_doc) {
        for (QPushButton *b : {m_addColumn, m_deleteColumn, m_addRecord, m_removeRecord})
            b->setEnabled(false);
        return;
    }
    CommandEnablingState state;
    // The page's buttons are there only while the page is: judged as on its tab.
    state.selectedTab = MyDocument::DatabaseTab;
    state.addressCount = m_doc->addresses().items().size();
    state.canRemoveKeyListElement = m_doc->canRemoveKeyListElement();
    state.keyListHasSelection = selectedKeyRow().has_value();
    const auto enabled = [&](Command command) {
        return CommandEnabling::isEnabled(command, CommandEnabling::Control::ToolbarItem, state).value_or(true);
    };
    m_addColumn->setEnabled(enabled(Command::addColumnInTable));
    m_deleteColumn->setEnabled(enabled(Command::deleteSelectedKey));
    m_addRecord->setEnabled(enabled(Command::addAddress));
    m_removeRecord->setEnabled(enabled(Command::removeAddress));
}

} // namespace quillcast::gui
