#include "tabs/MailTab.h"

#include "WindowContext.h"
#include "database/AttachmentCommands.h"
#include "database/KeyCommands.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "document/UserEdits.h"
#include "mail/AttachmentListView.h"
#include "mail/HtmlView.h"
#include "mail/TagLineEdit.h"
#include "mail/TagTextEdit.h"
#include "platform/Alert.h"
#include "platform/AlertPresenter.h"
#include "platform/FilePanel.h"
#include "send/ConnectionProvider.h"
#include "send/SendingValues.h"
#include "session/DocumentSession.h"
#include "window/Controls.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

// The tags of every record whatever its keys, and of the moment of sending.
const QStringList kRecordTags{u"_#_"_s, u"_sel_"_s, u"_email_"_s};
const QStringList kDateTags{u"_yy_"_s, u"_yyyy_"_s, u"_mm_"_s, u"_dd_"_s, u"_hh_"_s, u"_ii_"_s, u"_ss_"_s};

constexpr int kPlainKind = 0;
constexpr int kHtmlKind = 1;
// The transport pop-up's rows: 1 is the mail server, anything else the
// system mail client.
constexpr int kMailServerRow = 0;
constexpr int kSystemMailRow = 1;

QString noServerText()
{
    return u"no server"_s;
}

} // namespace

MailTab::MailTab(WindowContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("mailTab"));
    buildForm();
    bindDocument();
    connect(&m_context.session, &DocumentSession::documentReplaced, this, [this] { bindDocument(); });
}

MailTab::~MailTab() = default;

MyDocument &MailTab::document() const
{
    return m_context.session.document();
}

void MailTab::buildForm()
{
    auto *outer = new QVBoxLayout(this);

    // The headers of the message.
    auto *headers = new QFormLayout;
    headers->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_from = namedControl<TagLineEdit>(u"mailFromField"_s, u"From"_s, this);
    m_replyTo = namedControl<TagLineEdit>(u"mailReplyToField"_s, u"Reply-To"_s, this);
    m_to = namedControl<TagLineEdit>(u"mailToField"_s, u"To"_s, this);
    m_subject = namedControl<TagLineEdit>(u"mailSubjectField"_s, u"Subject"_s, this);
    headers->addRow(buddyLabel(tr("&From:"), m_from, this), m_from);
    headers->addRow(buddyLabel(tr("&Reply-To:"), m_replyTo, this), m_replyTo);
    headers->addRow(buddyLabel(tr("&To:"), m_to, this), m_to);
    headers->addRow(buddyLabel(tr("S&ubject:"), m_subject, this), m_subject);
    outer->addLayout(headers);

    // How the message is made and sent.
    auto *options = new QHBoxLayout;
    m_kind = namedControl<QComboBox>(u"mailKindCombo"_s, u"Message"_s, this);
    m_kind->addItem(tr("Plain text"), kPlainKind);
    m_kind->addItem(tr("HTML"), kHtmlKind);
    m_transport = namedControl<QComboBox>(u"mailTransportCombo"_s, u"Send through"_s, this);
    m_transport->insertItem(kMailServerRow, tr("Mail server"));
    m_transport->insertItem(kSystemMailRow, tr("System mail"));
    m_connection = namedControl<QComboBox>(u"mailConnectionCombo"_s, u"Server"_s, this);
    m_connection->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_connection->setMinimumContentsLength(16);
    m_tagButton = namedControl<QToolButton>(u"mailTagButton"_s, u"Insert Tag"_s, this);
    m_tagButton->setText(tr("Insert Tag"));
    m_tagButton->setToolTip(tr("Inserts a merge tag at the cursor of the field being edited"));
    m_tagButton->setPopupMode(QToolButton::InstantPopup);
    // Clicking it must leave the keyboard focus in the field being edited.
    m_tagButton->setFocusPolicy(Qt::TabFocus);
    m_tagMenu = new QMenu(m_tagButton);
    m_tagMenu->setObjectName(u"mailTagMenu"_s);
    m_tagButton->setMenu(m_tagMenu);
    options->addWidget(buddyLabel(tr("&Message:"), m_kind, this));
    options->addWidget(m_kind);
    options->addSpacing(12);
    options->addWidget(buddyLabel(tr("Send t&hrough:"), m_transport, this));
    options->addWidget(m_transport);
    options->addSpacing(12);
    options->addWidget(buddyLabel(tr("Ser&ver:"), m_connection, this));
    options->addWidget(m_connection);
    options->addStretch(1);
    options->addWidget(m_tagButton);
    outer->addLayout(options);

    // The body: plain text, or HTML with its text part and its rendering.
    m_bodyStack = new QStackedWidget(this);
    m_bodyStack->setObjectName(u"mailBodyStack"_s);
    m_body = namedControl<TagTextEdit>(u"mailBodyField"_s, u"Message body"_s, m_bodyStack);
    m_bodyStack->addWidget(m_body);
    m_htmlTabs = namedControl<QTabWidget>(u"mailHtmlTabs"_s, u"HTML message"_s, m_bodyStack);
    m_html = namedControl<TagTextEdit>(u"mailHtmlField"_s, u"HTML body"_s, m_htmlTabs);
    m_altText = namedControl<TagTextEdit>(u"mailAltTextField"_s, u"Alternative text"_s, m_htmlTabs);
    m_webPage = new QWidget(m_htmlTabs);
    m_webPage->setObjectName(u"web"_s);
    m_webPage->setAccessibleName(u"Web"_s);
    new QVBoxLayout(m_webPage);
    m_webPage->layout()->setContentsMargins(0, 0, 0, 0);
    m_htmlTabs->addTab(m_html, tr("HTML body"));
    m_htmlTabs->addTab(m_altText, tr("Alternative text"));
    m_htmlTabs->addTab(m_webPage, tr("Web"));
    m_bodyStack->addWidget(m_htmlTabs);
    m_bodyLabel = buddyLabel(tr("B&ody:"), m_body, this);
    outer->addWidget(m_bodyLabel);
    outer->addWidget(m_bodyStack, 1);

    // The files every message carries.
    auto *attachmentBox = new QGroupBox(tr("Attachments"), this);
    attachmentBox->setObjectName(u"attachmentBox"_s);
    auto *attachmentRow = new QHBoxLayout(attachmentBox);
    m_attachments = namedControl<AttachmentListView>(u"attachmentList"_s, u"Attachments"_s, attachmentBox);
    m_attachments->setPlaceholderText(tr("Drop files here to attach them"));
    m_attachments->setMinimumHeight(72);
    m_attachments->setMaximumHeight(120);
    auto *attachmentButtons = new QVBoxLayout;
    m_addAttachment = namedControl<QPushButton>(u"addAttachmentButton"_s, u"Add…"_s, attachmentBox);
    m_addAttachment->setText(tr("Add…"));
    m_removeAttachment = namedControl<QPushButton>(u"removeAttachmentButton"_s, u"Remove"_s, attachmentBox);
    m_removeAttachment->setText(tr("Remove"));
    m_revealAttachment = namedControl<QPushButton>(u"revealAttachmentButton"_s, u"Show in Folder"_s, attachmentBox);
    m_revealAttachment->setText(tr("Show in Folder"));
    attachmentButtons->addWidget(m_addAttachment);
    attachmentButtons->addWidget(m_removeAttachment);
    attachmentButtons->addWidget(m_revealAttachment);
    attachmentButtons->addStretch(1);
    attachmentRow->addWidget(m_attachments, 1);
    attachmentRow->addLayout(attachmentButtons);
    outer->addWidget(attachmentBox);


    // The tab order is the order of creation, which is the visual order.

    // The user's edits, each going to the document as an edit.
    const auto lineEdit = [this](TagLineEdit *field, void (UserEdits::*edit)(const QString &)) {
        connect(field, &QLineEdit::textEdited, this, [this, edit](const QString &text) {
            (UserEdits(document()).*edit)(text);
        });
    };
    lineEdit(m_from, &UserEdits::editMailFormFrom);
    lineEdit(m_replyTo, &UserEdits::editMailFormReplyTo);
    lineEdit(m_to, &UserEdits::editMailFormTo);
    lineEdit(m_subject, &UserEdits::editMailFormSubject);
    const auto textEdit = [this](TagTextEdit *field, void (UserEdits::*edit)(const QString &)) {
        connect(field, &QPlainTextEdit::textChanged, this, [this, field, edit] {
            (UserEdits(document()).*edit)(field->toPlainText());
        });
    };
    textEdit(m_body, &UserEdits::editMailFormBody);
    textEdit(m_html, &UserEdits::editMailFormBodyHtml);
    textEdit(m_altText, &UserEdits::editMailFormBodyHtmlAltText);

    connect(m_kind, &QComboBox::activated, this, [this](int row) {
        UserEdits(document()).editEmailKind(m_kind->itemData(row).toLongLong());
    });
    connect(m_transport, &QComboBox::activated, this, [this](int row) {
        UserEdits(document()).editTransport(row == kMailServerRow ? 1 : 0);
    });
    connect(m_connection, &QComboBox::activated, this, [this](int row) {
        if (m_context.connections && row >= 0 && row < m_context.connections->connections().size())
            UserEdits(document()).editSelectedIndexConnection(row);
    });

    connect(m_tagMenu, &QMenu::aboutToShow, this, &MailTab::rebuildTagMenu);
    connect(m_htmlTabs, &QTabWidget::currentChanged, this, &MailTab::innerTabChanged);

    connect(m_addAttachment, &QPushButton::clicked, this, &MailTab::addAttachment);
    connect(m_removeAttachment, &QPushButton::clicked, this, &MailTab::removeSelectedAttachments);
    connect(m_revealAttachment, &QPushButton::clicked, this, &MailTab::revealSelectedAttachment);
    connect(m_attachments, &AttachmentListView::filesDropped, this, &MailTab::addAttachmentFiles);
    connect(m_attachments, &QListWidget::itemSelectionChanged, this, [this] {
        updateAttachmentButtons();
        Q_EMIT selectionChanged();
    });
    connect(m_attachments, &QListWidget::itemDoubleClicked, this, &MailTab::revealSelectedAttachment);

    rebuildTagMenu();
}

void MailTab::bindDocument()
{
    // The connections to a document that was replaced go with their parent.
    m_documentBinding = std::make_unique<QObject>();
    QObject *binding = m_documentBinding.get();
    MyDocument &doc = document();

    const auto showLine = [&doc, binding](TagLineEdit *field, void (MyDocument::*signal)(const QString &)) {
        connect(&doc, signal, binding, [field](const QString &text) {
            // Only what differs: the user's own typing coming back would
            // move the cursor to the end.
            if (field->text() != text)
                field->setText(text);
        });
    };
    showLine(m_from, &MyDocument::mailFormFromChanged);
    showLine(m_replyTo, &MyDocument::mailFormReplyToChanged);
    showLine(m_to, &MyDocument::mailFormToChanged);
    showLine(m_subject, &MyDocument::mailFormSubjectChanged);
    const auto showText = [&doc, binding](TagTextEdit *field, void (MyDocument::*signal)(const QString &)) {
        connect(&doc, signal, binding, [field](const QString &text) { field->showText(text); });
    };
    showText(m_body, &MyDocument::mailFormBodyChanged);
    showText(m_html, &MyDocument::mailFormBodyHtmlChanged);
    showText(m_altText, &MyDocument::mailFormBodyHtmlAltTextChanged);
    connect(&doc, &MyDocument::mailFormBodyHtmlChanged, binding, [this] {
        if (m_htmlTabs->currentWidget() == m_webPage)
            innerTabChanged(m_htmlTabs->currentIndex());
    });
    connect(&doc, &MyDocument::emailKindChanged, binding, [this] { showKindAndTransport(); });
    connect(&doc, &MyDocument::useMailServerToSendChanged, binding, [this] { showKindAndTransport(); });
    connect(&doc, &MyDocument::selectedIndexConnectionChanged, binding, [this] { showSelectedConnection(); });
    connect(&doc, &MyDocument::attachmentBookmarksChanged, binding, [this] { showAttachments(); });

    showDocumentValues();
}

void MailTab::showDocumentValues()
{
    const MyDocument &doc = document();
    m_from->setText(doc.mailFormFrom());
    m_replyTo->setText(doc.mailFormReplyTo());
    m_to->setText(doc.mailFormTo());
    m_subject->setText(doc.mailFormSubject());
    m_body->showText(doc.mailFormBody());
    m_html->showText(doc.mailFormBodyHtml());
    m_altText->showText(doc.mailFormBodyHtmlAltText());
    showKindAndTransport();
    refreshConnections();
    showAttachments();
}

void MailTab::showKindAndTransport()
{
    const MyDocument &doc = document();
    const bool html = doc.emailKind() >= kHtmlKind;
    m_kind->setCurrentIndex(html ? 1 : 0);
    m_transport->setCurrentIndex(doc.useMailServerToSend() == 1 ? kMailServerRow : kSystemMailRow);
    m_bodyStack->setCurrentWidget(html ? static_cast<QWidget *>(m_htmlTabs) : m_body);
    // The HTML tabs name themselves.
    m_bodyLabel->setVisible(!html);
}

void MailTab::refreshConnections()
{
    const QSignalBlocker quiet(m_connection);
    m_connection->clear();
    const List connections = m_context.connections ? m_context.connections->connections() : List();
    if (connections.isEmpty()) {
        m_connection->addItem(noServerText());
        m_connection->setEnabled(false);
        return;
    }
    for (const Value &connection : connections.items()) {
        const Dict values = SendingValues::GetSendingValueFromDict(connection.toDict());
        m_connection->addItem(values.stringValue(u"mailServerDescription"_s));
    }
    m_connection->setEnabled(true);
    showSelectedConnection();
}

void MailTab::showSelectedConnection()
{
    const int count = m_connection->isEnabled() ? m_connection->count() : 0;
    if (count == 0)
        return;
    // An index beyond the list is repaired to the last connection when a
    // send starts; until then the page shows that one without storing it.
    const qint64 index = std::clamp<qint64>(document().selectedIndexConnection().value_or(0), 0, count - 1);
    const QSignalBlocker quiet(m_connection);
    m_connection->setCurrentIndex(int(index));
}

void MailTab::showAttachments()
{
    // The selection follows the entries, not the rows: after a removal the
    // entry that moved up must not become selected.
    constexpr int kIdentityRole = Qt::UserRole;
    QSet<quintptr> selected;
    for (QListWidgetItem *item : m_attachments->selectedItems())
        selected.insert(item->data(kIdentityRole).value<quintptr>());
    {
        const QSignalBlocker quiet(m_attachments);
        m_attachments->clear();
        for (const Value &value : document().attachmentBookmarks().items()) {
            const Dict entry = value.toDict();
            const QString path = entry.stringValue(DocumentKeys::attachmentPath());
            const auto identity = reinterpret_cast<quintptr>(entry.identity());
            auto *item = new QListWidgetItem(QFileInfo(path).fileName(), m_attachments);
            item->setToolTip(path);
            item->setData(Qt::AccessibleDescriptionRole, path);
            item->setData(kIdentityRole, QVariant::fromValue(identity));
            item->setSelected(selected.contains(identity));
        }
    }
    updateAttachmentButtons();
    Q_EMIT selectionChanged();
}

void MailTab::updateAttachmentButtons()
{
    const bool any = !m_attachments->selectedItems().isEmpty();
    m_removeAttachment->setEnabled(any);
    m_revealAttachment->setEnabled(any);
}

void MailTab::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refreshConnections();
}

// --- Tags ------------------------------------------------------------------------

QStringList MailTab::tagMenuItems() const
{
    QStringList items = kRecordTags + kDateTags;
    items += m_context.dbKeyTags ? m_context.dbKeyTags() : KeyCommands(document(), m_context.mainLoop).userKeyTags();
    return items;
}

void MailTab::rebuildTagMenu()
{
    m_tagMenu->clear();
    const auto addTags = [this](const QStringList &tags) {
        for (const QString &tag : tags) {
            QAction *action = m_tagMenu->addAction(tag);
            action->setObjectName(u"tag"_s + tag);
            connect(action, &QAction::triggered, this, [this, tag] { insertTag(tag); });
        }
    };
    addTags(kRecordTags);
    m_tagMenu->addSeparator();
    addTags(kDateTags);
    const QStringList keyTags = tagMenuItems().mid(kRecordTags.size() + kDateTags.size());
    if (!keyTags.isEmpty()) {
        m_tagMenu->addSeparator();
        addTags(keyTags);
    }
}

bool MailTab::insertTag(const QString &tag)
{
    QWidget *focused = QApplication::focusWidget();
    if (!focused || !isAncestorOf(focused))
        return false;
    if (auto *line = qobject_cast<TagLineEdit *>(focused))
        return line->insertTag(tag);
    if (auto *text = qobject_cast<TagTextEdit *>(focused))
        return text->insertTag(tag);
    return false;
}

// --- The rendered HTML body --------------------------------------------------------

void MailTab::innerTabChanged(int index)
{
    if (m_htmlTabs->widget(index) != m_webPage)
        return;
    if (!m_web) {
        m_web = new HtmlView(m_context.urlOpener, m_webPage);
        m_web->setObjectName(u"mailWebView"_s);
        m_web->setAccessibleName(u"Web"_s);
        m_webPage->layout()->addWidget(m_web);
    }
    QPointer<HtmlView> view = m_web;
    UserEdits(document()).updateWebInMail([view](const QString &html) {
        if (view)
            view->loadHtml(html);
    });
}

// --- Attachments -------------------------------------------------------------------

void MailTab::addAttachment()
{
    FilePanel::OpenRequest request;
    request.window = m_context.window;
    request.prompt = AttachmentCommands::openPanelPrompt();
    request.filesOnly = true;
    QPointer<MailTab> self(this);
    m_context.filePanel.runOpenPanel(request, [self](std::optional<QStringList> paths) {
        if (self && paths && !paths->isEmpty())
            self->addAttachmentFiles({paths->last()});
    });
}

void MailTab::addAttachmentFiles(const QStringList &paths)
{
    AttachmentCommands commands(document(), &m_context.revealer, m_context.opener);
    QStringList refused;
    for (const QString &path : paths) {
        if (const Status added = commands.addAttachmentPath(path); !added)
            refused.append(added.error());
    }
    if (refused.isEmpty())
        return;
    Alert alert;
    alert.messageText = refused.size() == 1 ? tr("The file cannot be attached.") : tr("Some files cannot be attached.");
    alert.informativeText = refused.join(u'\n');
    alert.buttons = {tr("OK")};
    alert.kind = Alert::Kind::Sheet;
    m_context.alerts.present(alert, [](int) {});
}

void MailTab::removeSelectedAttachments()
{
    AttachmentCommands(document(), &m_context.revealer, m_context.opener)
        .removeAttachmentPath(selectedAttachmentRows());
}

void MailTab::revealSelectedAttachment()
{
    AttachmentCommands(document(), &m_context.revealer, m_context.opener)
        .showAttachmentInFinder(selectedAttachmentRows());
}

QList<qsizetype> MailTab::selectedAttachmentRows() const
{
    QList<qsizetype> rows;
    for (const QModelIndex &index : m_attachments->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace quillcast::gui
