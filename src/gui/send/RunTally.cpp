#include "send/RunTally.h"

#include "document/MyDocument.h"
#include "send/SendRun.h"

namespace quillcast::gui {

RunTally::RunTally(QObject *parent) : QObject(parent)
{
}

void RunTally::setDocument(quillcast::MyDocument *document)
{
    if (m_document) {
        disconnect(m_document, nullptr, this, nullptr);
        disconnect(&m_document->sendProgress(), nullptr, this, nullptr);
    }
    const bool wasActive = m_active;
    m_document = document;
    m_run = nullptr;
    m_active = false;
    m_running = false;
    if (wasActive)
        Q_EMIT activeChanged(false);
    if (!document)
        return;
    connect(&document->sendProgress(), &SendProgress::changed, this, &RunTally::progressChanged);
    connect(&document->sendProgress(), &SendProgress::finished, this, &RunTally::runEnded);
    connect(document, &MyDocument::deliveryFinished, this, &RunTally::answered);
}

void RunTally::expectRun(quillcast::SendRun *run, bool preparing, const QString &draftsFolder)
{
    m_run = run;
    m_preparing = preparing;
    m_draftsFolder = draftsFolder;
}

quillcast::SendSummary RunTally::summary() const
{
    SendSummary summary;
    if (m_run) {
        summary.refused = m_run->refusedCount();
        summary.handedToServer = m_run->handedToServerCount();
        summary.handedToMailClient = m_run->handedToMailClientCount();
        summary.mailClientFailed = m_run->mailClientFailedCount();
    }
    summary.accepted = m_accepted;
    summary.failed = m_failed;
    summary.preparing = m_preparing;
    summary.draftsFolder = m_draftsFolder;
    return summary;
}

void RunTally::progressChanged(const quillcast::SendProgress::Snapshot &snapshot)
{
    if (!snapshot.running || m_running)
        return;
    // A run began: its counts start from nothing.
    m_running = true;
    m_accepted = 0;
    m_failed = 0;
    if (!m_active) {
        m_active = true;
        Q_EMIT activeChanged(true);
    }
}

void RunTally::runEnded()
{
    if (!m_active)
        return;
    m_running = false;
    settleIfAnswered();
}

void RunTally::answered(bool succeeded)
{
    if (!m_active)
        return;
    ++(succeeded ? m_accepted : m_failed);
    if (!m_running)
        settleIfAnswered();
}

void RunTally::settleIfAnswered()
{
    const SendSummary now = summary();
    if (now.awaitingAnswer() > 0) {
        Q_EMIT waitingForAnswers(now.awaitingAnswer());
        return;
    }
    m_active = false;
    Q_EMIT finished(now);
    Q_EMIT activeChanged(false);
}

} // namespace quillcast::gui
