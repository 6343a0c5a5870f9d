#pragma once

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QToolButton;

namespace quillcast {
class MyDocument;
}

namespace quillcast::gui {

struct WindowContext;
class AttachmentListView;
class HtmlView;
class TagLineEdit;
class TagTextEdit;

// The mail page: the mail form, its message kind and transport, the connection, the attachments and the rendered HTML body.
class MailTab : public QWidget
{
    Q_OBJECT

public:
    MailTab(WindowContext &context, QWidget *parent = nullptr);
    ~MailTab() override;

    // The attachment commands: the chooser then the add; the selected rows.
    void addAttachment();
    void removeSelectedAttachments();
    QList<qsizetype> selectedAttachmentRows() const;
    // Shows the file of the last selected attachment in the file manager.
    void revealSelectedAttachment();
    // Adds files as attachments, in order; a file that cannot be attached
    // is reported and skipped.
    void addAttachmentFiles(const QStringList &paths);

    // Inserts tag into the field of the mail form that has the keyboard
    // focus, as typing it would; false when none has it. The tag pop-up
    // and the application's DB key menu both come here.
    bool insertTag(const QString &tag);
    // The tag pop-up's items: the record tags, the date tags, then one per
    // user key.
    QStringList tagMenuItems() const;
    QMenu *tagMenu() const { return m_tagMenu; }

    // Reads the application's connection list again (it is also read each
    // time the page is shown).
    void refreshConnections();

Q_SIGNALS:
    void selectionChanged();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildForm();
    void bindDocument();
    void showDocumentValues();
    void showKindAndTransport();
    void showSelectedConnection();
    void showAttachments();
    void rebuildTagMenu();
    void innerTabChanged(int index);
    void updateAttachmentButtons();
    MyDocument &document() const;

    WindowContext &m_context;
    // Parent of the connections to the current document, replaced with it.
    std::unique_ptr<QObject> m_documentBinding;

    TagLineEdit *m_from = nullptr;
    TagLineEdit *m_replyTo = nullptr;
    TagLineEdit *m_to = nullptr;
    TagLineEdit *m_subject = nullptr;
    QComboBox *m_kind = nullptr;
    QComboBox *m_transport = nullptr;
    QComboBox *m_connection = nullptr;
    QToolButton *m_tagButton = nullptr;
    QMenu *m_tagMenu = nullptr;
    QLabel *m_bodyLabel = nullptr;
    QStackedWidget *m_bodyStack = nullptr;
    TagTextEdit *m_body = nullptr;
    QTabWidget *m_htmlTabs = nullptr;
    TagTextEdit *m_html = nullptr;
    TagTextEdit *m_altText = nullptr;
    QWidget *m_webPage = nullptr;
    // Made when the "web" tab is first shown: the engine is slow to start.
    QPointer<HtmlView> m_web;
    AttachmentListView *m_attachments = nullptr;
    QPushButton *m_addAttachment = nullptr;
    QPushButton *m_removeAttachment = nullptr;
    QPushButton *m_revealAttachment = nullptr;
};

} // namespace quillcast::gui
