#include "tabs/ExceptionsTab.h"

#include "WindowContext.h"
#include "database/ExceptionCommands.h"
#include "document/CommandEnabling.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "models/RecordTableModel.h"
#include "session/DocumentSession.h"
#include "tables/RecordListPanel.h"
#include "tables/RecordsTableView.h"

#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillcast::gui {

ExceptionsTab::ExceptionsTab(WindowContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("exceptionsTab"));

    m_panel = new RecordListPanel({QStringLiteral("exceptionsSearchField"), QStringLiteral("exceptionsTable"),
                                   tr("Exceptions"), QStringLiteral("addExceptionButton"),
                                   QStringLiteral("removeExceptionButton"), QStringLiteral("exceptionsStatus")},
                                  this);
    m_table = m_panel->table();
    m_add = m_panel->addButton();
    m_remove = m_panel->removeButton();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_panel);

    connect(m_add, &QPushButton::clicked, this, &ExceptionsTab::addException);
    connect(m_remove, &QPushButton::clicked, this, &ExceptionsTab::removeException);

    connect(&m_context.session, &DocumentSession::documentReplaced, this, &ExceptionsTab::bindDocument);
    bindDocument(&m_context.session.document());
}

ExceptionsTab::~ExceptionsTab()
{
    unbindDocument();
}

void ExceptionsTab::bindDocument(MyDocument *document)
{
    unbindDocument();
    if (!document)
        return;
    m_doc = document;
    MyDocument *doc = document;
    QPointer<MyDocument> guard(doc);

    using Kind = RecordTableModel::Column::Kind;
    m_model = new RecordTableModel(
        doc->exceptions(),
        [guard](const Dict &record, const QString &key, const Value &value) {
            if (guard)
                ExceptionCommands(*guard).setExceptionValue(record, key, value);
        },
        this);
    // The number and the date are the list's own; the rest is the user's.
    m_model->setColumns({{DocumentKeys::exceptNumber(), tr("#"), Kind::Number, false},
                         {DocumentKeys::exceptChecked(), tr("sel"), Kind::Check, true},
                         {DocumentKeys::exceptEmail(), tr("email"), Kind::Text, true},
                         {DocumentKeys::exceptDate(), tr("date"), Kind::Date, false},
                         {DocumentKeys::exceptNote(), tr("note"), Kind::Text, true}});
    m_table->setModel(m_model);
    m_table->setColumnWidth(0, 64);
    m_table->setColumnWidth(1, 44);
    m_table->setColumnWidth(2, 260);
    m_table->setColumnWidth(3, 150);
    m_table->horizontalHeader()->setStretchLastSection(true);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ExceptionsTab::selectionChanged);

    m_docConnections
        << connect(doc, &MyDocument::scrollToEndRequested, this,
                   [this](MyDocument::View view) {
                       if (view == MyDocument::View::ExceptShown)
                           m_table->scrollToBottom();
                   })
        << connect(doc, &MyDocument::searchFieldExceptStrChanged, m_panel, &RecordListPanel::showSearchText)
        << connect(&doc->exceptions(), &RecordList::rowsInserted, this, &ExceptionsTab::updateButtons)
        << connect(&doc->exceptions(), &RecordList::rowsRemoved, this, &ExceptionsTab::updateButtons)
        << connect(&doc->exceptions(), &RecordList::rearranged, this, &ExceptionsTab::updateButtons)
        << connect(doc, &QObject::destroyed, this, &ExceptionsTab::unbindDocument);

    // A list read from the file or put in place whole: see the database page.
    m_docConnections << connect(doc, &MyDocument::exceptArrayChanged, m_panel, &RecordListPanel::filterWhenStale);
    m_panel->bind(
        &doc->exceptions(), [guard] { return guard ? ExceptionCommands(*guard).checkedRecordsExceptN() : 0; },
        [guard](const QString &text) {
            if (guard)
                guard->setSearchFieldExceptStr(text);
        },
        doc->searchFieldExceptStr());
    updateButtons();
}

void ExceptionsTab::unbindDocument()
{
    for (const QMetaObject::Connection &c : std::as_const(m_docConnections))
        disconnect(c);
    m_docConnections.clear();
    m_panel->unbind();
    delete m_model;
    m_model = nullptr;
    m_doc = nullptr;
}

QList<qsizetype> ExceptionsTab::selectedRows() const
{
    return m_panel->selectedRows();
}

void ExceptionsTab::focusSearch()
{
    m_panel->focusSearch();
}

SearchCoalescer &ExceptionsTab::search() const
{
    return m_panel->search();
}

void ExceptionsTab::addException()
{
    if (!m_doc)
        return;
    const Dict added = ExceptionCommands(*m_doc).addExcept();
    m_table->selectOnly(m_model->rowOf(added));
}

void ExceptionsTab::removeException()
{
    if (m_doc)
        ExceptionCommands(*m_doc).removeExcept(selectedRows());
}

void ExceptionsTab::updateButtons()
{
    if (!m_doc) {
        m_add->setEnabled(false);
        m_remove->setEnabled(false);
        return;
    }
    CommandEnablingState state;
    // The page's buttons are there only while the page is: judged as on its tab.
    state.selectedTab = MyDocument::ExceptionTab;
    state.exceptCount = m_doc->exceptions().items().size();
    const auto enabled = [&](Command command) {
        return CommandEnabling::isEnabled(command, CommandEnabling::Control::ToolbarItem, state).value_or(true);
    };
    m_add->setEnabled(enabled(Command::addExcept));
    m_remove->setEnabled(enabled(Command::removeExcept));
}

} // namespace quillcast::gui
