#pragma once

#include "send/SendRun.h"

#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;

namespace quillcast {
class ConnectionProvider;
class MyDocument;
class SendingServicesFactory;
struct SendSummary;
} // namespace quillcast

namespace quillcast::gui {

struct WindowContext;
class LogView;
class RecordTableModel;
class RunProgressPanel;
class RunResultsPanel;
class RunTally;

// The send page: the send list with its search and check boxes, the send
// commands, the pause, the run's progress, the log and the results of the
// last run per recipient.
class SendTab : public QWidget
{
    Q_OBJECT

public:
    SendTab(WindowContext &context, QWidget *parent = nullptr);
    ~SendTab() override;

    // The selected rows of the send list, as rows of its shown view.
    QList<qsizetype> selectedRows() const;
    // Without listing the rows (a selection may hold a million).
    bool hasSelection() const;
    // The run commands, each after its confirmation sheet.
    void startRun(quillcast::SendRun::Kind kind);
    // The selected record alone: prepared, or sent.
    void runSelected(bool sending);
    void cancelRun();
    void focusSearch();
    // The commands on the last run's results: its failed and refused-for-now
    // recipients sent again (after the confirmation sheet), their records
    // checked in the database (undoable), and the results written as CSV to
    // a file the save panel asks for.
    void retryFailed();
    void checkFailed();
    void exportResults();
    // Resumes the last run, which did not finish: sends to every recipient
    // the server has not accepted (and to the one whose answer is unknown
    // when resendUnknown), after the confirmation sheet.
    void resumeLastRun(bool resendUnknown);

    // From the start of a run to the last answer of its server.
    bool isRunActive() const;
    // Where prepared drafts go: the folder the user chose, or else the
    // mailing's default beside its file.
    QString draftsFolder() const;
    // The user's own choice (empty: the default again).
    void setDraftsFolder(const QString &folder);
    // The programs of the user's mail system (tests give stand-ins).
    void setSendmailPath(const std::optional<QString> &path) { m_sendmailPath = path; }
    void setComposeProgram(const QString &program) { m_composeProgram = program; }
    // The last run's summary line, empty before the first run ends.
    QString summaryText() const;

Q_SIGNALS:
    void selectionChanged();
    // A run started or ended (the window locks its other pages meanwhile).
    void runActiveChanged(bool active);

private:
    void buildLayout();
    void bindDocument(quillcast::MyDocument *document);
    quillcast::MyDocument &document() const;
    void updateColumns();
    void updateCommands();
    void applySearch();
    void pauseEdited(int seconds);
    void chooseDraftsFolder();
    std::unique_ptr<quillcast::SendingServicesFactory> makeTransports() const;
    void runActivityChanged(bool active);
    void runFinished(const quillcast::SendSummary &summary);
    void offerDraftsFolder(const QString &folder);
    // A mailing opened whose last run did not finish: the sheet that offers
    // to resume it.
    void offerResume();
    // A second run while one is going is refused with this sheet.
    void refuseSecondRun();
    void launchRun(const std::function<void(quillcast::SendRun &run)> &start, bool preparing);

    WindowContext &m_context;
    // A run needs a connection list; a window without one has none to offer.
    std::unique_ptr<quillcast::ConnectionProvider> m_noConnections;
    QPointer<quillcast::MyDocument> m_document;

    QLineEdit *m_search = nullptr;
    QTableView *m_table = nullptr;
    RecordTableModel *m_model = nullptr;
    QPushButton *m_sendChecked = nullptr;
    QPushButton *m_sendAll = nullptr;
    QPushButton *m_prepareChecked = nullptr;
    QPushButton *m_prepareAll = nullptr;
    QPushButton *m_prepareSelected = nullptr;
    QPushButton *m_sendSelected = nullptr;
    QSpinBox *m_pause = nullptr;
    QPushButton *m_draftsButton = nullptr;
    QCheckBox *m_refusedToExceptions = nullptr;
    QLabel *m_draftsLabel = nullptr;
    RunProgressPanel *m_progress = nullptr;
    RunResultsPanel *m_results = nullptr;
    QLabel *m_summary = nullptr;
    LogView *m_log = nullptr;
    QPushButton *m_clearLog = nullptr;
    RunTally *m_tally = nullptr;
    QTimer m_searchTimer;

    QString m_chosenDraftsFolder;
    std::optional<QString> m_sendmailPath;
    QString m_composeProgram = QStringLiteral("xdg-email");
    // The transports of the current run (owned by the session with the run).
    quillcast::SendingServicesFactory *m_runTransports = nullptr;
    // The transports of single-record sends, kept while their answers come.
    std::unique_ptr<quillcast::SendingServicesFactory> m_singleTransports;
};

} // namespace quillcast::gui
