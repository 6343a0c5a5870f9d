#include "tabs/PreviewTab.h"

#include "WindowContext.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "mail/HtmlView.h"
#include "models/RecordTableModel.h"
#include "send/Preview.h"
#include "session/DocumentSession.h"
#include "window/Controls.h"

#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

// Typing in the search field waits this long for the next key before the
// list is searched again: a million records are not walked per keystroke.
constexpr int kSearchDelayMs = 120;

QLineEdit *shownField(const QString &name, const QString &accessibleName, QWidget *parent)
{
    auto *field = namedControl<QLineEdit>(name, accessibleName, parent);
    field->setReadOnly(true);
    return field;
}

} // namespace

PreviewTab::PreviewTab(WindowContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("previewTab"));
    buildPage();
    bindDocument();
    connect(&m_context.session, &DocumentSession::documentReplaced, this, [this] { bindDocument(); });
}

PreviewTab::~PreviewTab() = default;

MyDocument &PreviewTab::document() const
{
    return m_context.session.document();
}

Preview &PreviewTab::preview()
{
    // The session makes its preview anew with each document and each set of
    // dialog services, so the loader is given each time.
    Preview &preview = m_context.session.preview();
    QPointer<PreviewTab> self(this);
    preview.setWebViewLoader([self](const QString &html) {
        if (!self)
            return;
        self->m_html = html;
        if (self->m_web)
            self->m_web->loadHtml(html);
    });
    return preview;
}

void PreviewTab::buildPage()
{
    auto *outer = new QHBoxLayout(this);
    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(u"previewSplitter"_s);
    splitter->setAccessibleName(tr("Recipients and message"));
    splitter->setChildrenCollapsible(false);
    outer->addWidget(splitter);

    // The records that would be sent.
    auto *listSide = new QWidget(splitter);
    auto *listLayout = new QVBoxLayout(listSide);
    listLayout->setContentsMargins(0, 0, 0, 0);
    m_search = namedControl<QLineEdit>(u"previewSearchField"_s, u"Search"_s, listSide);
    m_search->setPlaceholderText(tr("Search addresses"));
    m_search->setClearButtonEnabled(true);
    m_searchDelay = new QTimer(this);
    m_searchDelay->setSingleShot(true);
    m_searchDelay->setInterval(kSearchDelayMs);
    m_table = namedControl<QTableView>(u"previewTable"_s, u"Recipients"_s, listSide);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the list for the message; the arrows move between records.
    m_table->setTabKeyNavigation(false);
    m_table->verticalHeader()->setVisible(false);
    // Uniform rows: a million of them are laid out without measuring each.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 8);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionsMovable(false);
    m_count = namedControl<QLabel>(u"previewCountLabel"_s, u"Records"_s, listSide);
    listLayout->addWidget(m_search);
    listLayout->addWidget(m_table, 1);
    listLayout->addWidget(m_count);

    // The message the selected record would produce.
    auto *messageSide = new QWidget(splitter);
    auto *messageLayout = new QVBoxLayout(messageSide);
    messageLayout->setContentsMargins(0, 0, 0, 0);
    auto *headers = new QFormLayout;
    headers->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_from = shownField(u"previewFromField"_s, u"From"_s, messageSide);
    m_to = shownField(u"previewToField"_s, u"To"_s, messageSide);
    m_subject = shownField(u"previewSubjectField"_s, u"Subject"_s, messageSide);
    headers->addRow(buddyLabel(tr("From:"), m_from, messageSide), m_from);
    headers->addRow(buddyLabel(tr("To:"), m_to, messageSide), m_to);
    headers->addRow(buddyLabel(tr("Subject:"), m_subject, messageSide), m_subject);
    messageLayout->addLayout(headers);

    m_bodyTabs = namedControl<QTabWidget>(u"previewBodyTabs"_s, u"Message"_s, messageSide);
    m_body = namedControl<QPlainTextEdit>(u"previewBodyField"_s, u"Text"_s, m_bodyTabs);
    m_body->setReadOnly(true);
    m_htmlPage = new QWidget(m_bodyTabs);
    m_htmlPage->setObjectName(u"previewHtmlPage"_s);
    m_htmlPage->setAccessibleName(u"HTML"_s);
    auto *htmlLayout = new QVBoxLayout(m_htmlPage);
    htmlLayout->setContentsMargins(0, 0, 0, 0);
    m_unmerged = namedControl<QPushButton>(u"previewUnmergedButton"_s, u"Show Unmerged HTML"_s, m_htmlPage);
    m_unmerged->setText(tr("Show Unmerged HTML"));
    m_unmerged->setToolTip(tr("Shows the HTML body with its tags, as written"));
    auto *htmlButtons = new QHBoxLayout;
    htmlButtons->addStretch(1);
    htmlButtons->addWidget(m_unmerged);
    htmlLayout->addLayout(htmlButtons);
    m_bodyTabs->addTab(m_body, tr("Text"));
    m_bodyTabs->addTab(m_htmlPage, tr("HTML"));
    messageLayout->addWidget(m_bodyTabs, 1);

    auto *attachmentForm = new QFormLayout;
    attachmentForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_attachedFiles = namedControl<QLabel>(u"previewAttachedFiles"_s, u"Attached files"_s, messageSide);
    m_attachedFiles->setWordWrap(true);
    m_attachedFiles->setTextInteractionFlags(Qt::TextSelectableByMouse);
    attachmentForm->addRow(tr("Attached files:"), m_attachedFiles);
    auto *attachmentRow = new QHBoxLayout;
    m_attachment = shownField(u"previewAttachmentField"_s, u"Attachment"_s, messageSide);
    m_openAttachment = namedControl<QPushButton>(u"previewOpenAttachmentButton"_s, u"Open"_s, messageSide);
    m_openAttachment->setText(tr("Open"));
    m_revealAttachment = namedControl<QPushButton>(u"previewRevealAttachmentButton"_s, u"Show in Folder"_s, messageSide);
    m_revealAttachment->setText(tr("Show in Folder"));
    attachmentRow->addWidget(m_attachment, 1);
    attachmentRow->addWidget(m_openAttachment);
    attachmentRow->addWidget(m_revealAttachment);
    attachmentForm->addRow(buddyLabel(tr("Attachment:"), m_attachment, messageSide), attachmentRow);
    messageLayout->addLayout(attachmentForm);

    splitter->addWidget(listSide);
    splitter->addWidget(messageSide);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);


    // The tab order is the order of creation, which is the visual order.
    connect(m_search, &QLineEdit::textChanged, m_searchDelay, qOverload<>(&QTimer::start));
    connect(m_searchDelay, &QTimer::timeout, this, &PreviewTab::applySearch);
    connect(m_bodyTabs, &QTabWidget::currentChanged, this, &PreviewTab::bodyTabChanged);
    connect(m_bodyTabs, &QTabWidget::tabBarClicked, this, [this] { m_bodyTabChosen = true; });
    connect(m_unmerged, &QPushButton::clicked, this, &PreviewTab::showUnmergedHtml);
    connect(m_openAttachment, &QPushButton::clicked, this, [this] { preview().previewAttachRun(); });
    connect(m_revealAttachment, &QPushButton::clicked, this, [this] { preview().previewAttachShow(); });
}

void PreviewTab::bindDocument()
{
    m_documentBinding = std::make_unique<QObject>();
    QObject *binding = m_documentBinding.get();
    MyDocument &doc = document();

    // The model of the old document goes with it.
    delete m_model;
    m_model = new RecordTableModel(doc.sendList(), doc.previewArrayShown(), {}, this);
    m_table->setModel(m_model);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &PreviewTab::selectionChanged);
    connect(&doc, &MyDocument::viewRearranged, binding, [this](MyDocument::View view) {
        if (view != MyDocument::View::PreviewShown)
            return;
        m_model->viewRearranged();
        // The rows are others now: the first one is previewed.
        selectionChanged();
    });
    connect(&doc, &MyDocument::keyArrayChanged, binding, [this] { showColumns(); });
    connect(&doc, &MyDocument::columnHeadersChanged, binding, [this] { showColumns(); });
    for (auto signal : {&MyDocument::previewFormFromChanged, &MyDocument::previewFormToChanged,
                        &MyDocument::previewFormSubjectChanged, &MyDocument::previewFormBodyChanged,
                        &MyDocument::previewFormBodyHtmlAltTextChanged, &MyDocument::previewFormAttachChanged})
        connect(&doc, signal, binding, [this] { showMergedMessage(); });
    connect(&doc, &MyDocument::emailKindChanged, binding, [this] { showMergedMessage(); });
    // Also when the preview was refreshed by a Preview made without this
    // page's loader (the session makes a new one with new dialog services).
    connect(&doc, &MyDocument::previewFormBodyHtmlChanged, binding, [this](const QString &html) {
        if (html == m_html)
            return;
        m_html = html;
        if (m_web)
            m_web->loadHtml(html);
    });
    connect(&doc, &MyDocument::attachmentBookmarksChanged, binding, [this] { showAttachment(); });

    {
        const QSignalBlocker quiet(m_search);
        m_search->setText(doc.searchFieldPreviewStr());
    }
    showColumns();
    showMergedMessage();
    preview();
}

void PreviewTab::showColumns()
{
    using Kind = RecordTableModel::Column::Kind;
    const QStringList headers = document().columnHeaders();
    QList<RecordTableModel::Column> columns{
        {DocumentKeys::numberInnerKey(), headers.value(0, u"#"_s), Kind::Number, false},
        {DocumentKeys::emailInnerKey(), headers.value(2, u"email"_s), Kind::Text, false},
    };
    const List keys = document().keyArray();
    for (qsizetype i = DocumentKeys::fixedKeyCount; i < keys.size(); ++i) {
        const Dict key = keys.at(i).toDict();
        const QString title = headers.value(i, key.stringValue(DocumentKeys::publicKey()));
        columns.append({key.stringValue(DocumentKeys::innerKey()), title, Kind::Text, false});
    }
    m_model->setColumns(columns);
    m_table->resizeColumnToContents(0);
}

void PreviewTab::showMergedMessage()
{
    const MyDocument &doc = document();
    m_from->setText(doc.previewFormFrom());
    m_to->setText(doc.previewFormTo());
    m_subject->setText(doc.previewFormSubject());
    // An HTML message carries its alternative text as its text part.
    const QString text = doc.emailKind() >= 1 ? doc.previewFormBodyHtmlAltText() : doc.previewFormBody();
    if (m_body->toPlainText() != text)
        m_body->setPlainText(text);
    m_bodyTabs->setTabText(m_bodyTabs->indexOf(m_body), doc.emailKind() >= 1 ? tr("Alternative text") : tr("Text"));
    showCount();
    showAttachment();
}

void PreviewTab::showAttachment()
{
    const QString path = document().previewFormAttach();
    m_attachment->setText(path);
    const bool any = !path.isEmpty();
    m_openAttachment->setEnabled(any);
    m_revealAttachment->setEnabled(any);
    QStringList names;
    for (const QString &file : preview().attachedFiles())
        names.append(QFileInfo(file).fileName());
    m_attachedFiles->setText(names.isEmpty() ? tr("none") : names.join(u", "_s));
    m_attachedFiles->setAccessibleDescription(m_attachedFiles->text());
}

void PreviewTab::showCount()
{
    const int rows = m_model->rowCount();
    m_count->setText(rows == 1 ? tr("1 record") : tr("%1 records").arg(rows));
}

void PreviewTab::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // An HTML message is previewed as it will be seen, until the user picks
    // a tab himself.
    if (!m_bodyTabChosen && document().emailKind() >= 1) {
        const QSignalBlocker quiet(m_bodyTabs);
        m_bodyTabs->setCurrentWidget(m_htmlPage);
        bodyTabChanged(m_bodyTabs->currentIndex());
    }
    preview();
    showCount();
}

std::optional<qsizetype> PreviewTab::selectedRow() const
{
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return rows.first().row();
}

void PreviewTab::selectionChanged()
{
    preview().setSelectedRow(selectedRow());
    showCount();
}

void PreviewTab::applySearch()
{
    MyDocument &doc = document();
    doc.setSearchFieldPreviewStr(m_search->text());
    doc.filterPreview();
}

void PreviewTab::focusSearch()
{
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
}

void PreviewTab::bodyTabChanged(int index)
{
    if (m_bodyTabs->widget(index) != m_htmlPage || m_web)
        return;
    m_web = new HtmlView(m_context.urlOpener, m_htmlPage);
    m_web->setObjectName(u"previewWebView"_s);
    m_web->setAccessibleName(u"HTML"_s);
    qobject_cast<QVBoxLayout *>(m_htmlPage->layout())->insertWidget(0, m_web, 1);
    m_web->loadHtml(m_html);
}

void PreviewTab::showUnmergedHtml()
{
    preview().updateWebInPreview();
}

} // namespace quillcast::gui
