#pragma once

#include "document/SendProgress.h"
#include "send/SendSummary.h"

#include <QObject>
#include <QPointer>

namespace quillcast {
class MyDocument;
class SendRun;
} // namespace quillcast

namespace quillcast::gui {

// Counts what became of the messages of one send run, from its start to the
// last answer of the SMTP server: the run's worker hands messages over and
// ends, and the server's answers keep arriving after it. The run counts as
// active until then, so that the page does not offer a second run whose
// answers would mix with these, and the summary says what the server did,
// not only how many records the run went through.
class RunTally : public QObject
{
    Q_OBJECT

public:
    explicit RunTally(QObject *parent = nullptr);

    // Follows document's runs; null: none.
    void setDocument(quillcast::MyDocument *document);
    // The run whose start comes next (once its confirmation is answered),
    // whether it prepares drafts, and where they go.
    void expectRun(quillcast::SendRun *run, bool preparing, const QString &draftsFolder);

    // From the run's start to the last answer of the server.
    bool isActive() const { return m_active; }
    // The run's worker has ended; answers may still be awaited.
    bool isWaitingForAnswers() const { return m_active && !m_running; }
    // The counts so far (the whole run's once finished() was emitted).
    quillcast::SendSummary summary() const;

Q_SIGNALS:
    void activeChanged(bool active);
    // The worker has ended; the server still owes count answers.
    void waitingForAnswers(qint64 count);
    void finished(const quillcast::SendSummary &summary);

private:
    void progressChanged(const quillcast::SendProgress::Snapshot &snapshot);
    void runEnded();
    void answered(bool succeeded);
    void settleIfAnswered();

    QPointer<quillcast::MyDocument> m_document;
    quillcast::SendRun *m_run = nullptr;
    bool m_preparing = false;
    QString m_draftsFolder;
    bool m_active = false;
    bool m_running = false;
    qint64 m_accepted = 0;
    qint64 m_failed = 0;
};

} // namespace quillcast::gui
