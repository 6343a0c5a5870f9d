#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QTimer;

namespace quillcast {
class MyDocument;
class Preview;
} // namespace quillcast

namespace quillcast::gui {

struct WindowContext;
class HtmlView;
class RecordTableModel;

// The preview page: the send list with its search and the merged message of the selected record.
class PreviewTab : public QWidget
{
    Q_OBJECT

public:
    PreviewTab(WindowContext &context, QWidget *parent = nullptr);
    ~PreviewTab() override;

    void focusSearch();
    // The row of the preview list the user selected, if any.
    std::optional<qsizetype> selectedRow() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildPage();
    void showCount();
    void bindDocument();
    void showColumns();
    void showMergedMessage();
    void showAttachment();
    void selectionChanged();
    void applySearch();
    void bodyTabChanged(int index);
    void showUnmergedHtml();
    // The session's preview, with this page's HTML view as its web view.
    Preview &preview();
    MyDocument &document() const;

    WindowContext &m_context;
    std::unique_ptr<QObject> m_documentBinding;
    RecordTableModel *m_model = nullptr;

    QLineEdit *m_search = nullptr;
    QTimer *m_searchDelay = nullptr;
    QTableView *m_table = nullptr;
    QLabel *m_count = nullptr;
    QLineEdit *m_from = nullptr;
    QLineEdit *m_to = nullptr;
    QLineEdit *m_subject = nullptr;
    QTabWidget *m_bodyTabs = nullptr;
    QPlainTextEdit *m_body = nullptr;
    QWidget *m_htmlPage = nullptr;
    // Made when the HTML tab is first shown: the engine is slow to start.
    QPointer<HtmlView> m_web;
    QString m_html;
    // Whether the user picked the text or the HTML tab (else the message
    // kind picks it).
    bool m_bodyTabChosen = false;
    QPushButton *m_unmerged = nullptr;
    QLineEdit *m_attachment = nullptr;
    QPushButton *m_openAttachment = nullptr;
    QPushButton *m_revealAttachment = nullptr;
    QLabel *m_attachedFiles = nullptr;
};

} // namespace quillcast::gui
