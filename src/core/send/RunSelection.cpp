#include "send/RunSelection.h"

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace quillcast {

using Outcome = RunJournalContents::Outcome;

template<typename Chooses>
Result<RunSelection> RunSelection::select(const MyDocument &document, const QString &journalPath, Chooses chooses)
{
    Result<RunJournalContents> read = RunJournalContents::read(journalPath);
    if (!read)
        return Result<RunSelection>::failure(read.error());
    RunSelection selection;
    selection.m_journalPath = journalPath;
    selection.m_run = std::move(read).value();

    const QString number = DocumentKeys::numberInnerKey();
    QHash<QString, Value> onSendList;
    document.sendArray().read([&](const List::Items &items) {
        for (const Value &item : items)
            onSendList.insert(item.toDict().value(number).toString(), item);
    });
    for (const RunJournalContents::Recipient &recipient : selection.m_run.recipients()) {
        if (recipient.outcome == Outcome::Unknown)
            ++selection.m_unknown;
        if (!chooses(recipient))
            continue;
        const auto found = onSendList.constFind(recipient.recordId);
        if (found == onSendList.constEnd()) {
            ++selection.m_gone;
            continue;
        }
        selection.m_records.push_back(*found);
        selection.m_places.push_back(recipient.index);
    }
    return selection;
}

Result<RunSelection> RunSelection::forResume(const MyDocument &document, const QString &journalPath,
                                             bool resendUnknown)
{
    Result<RunSelection> selection =
        select(document, journalPath, [resendUnknown](const RunJournalContents::Recipient &recipient) {
            switch (recipient.outcome) {
            case Outcome::NotAttempted:
            case Outcome::Failed:
                return true;
            case Outcome::Refused:
                return recipient.code < 500;
            case Outcome::Unknown:
                return resendUnknown;
            case Outcome::Accepted:
                break;
            }
            return false;
        });
    if (selection)
        selection.value().m_resendUnknown = resendUnknown;
    return selection;
}

Result<RunSelection> RunSelection::forRetry(const MyDocument &document, const QString &journalPath,
                                            bool includePermanent)
{
    Result<RunSelection> selection =
        select(document, journalPath, [includePermanent](const RunJournalContents::Recipient &recipient) {
            return recipient.outcome == Outcome::Failed ||
                   (recipient.outcome == Outcome::Refused && (recipient.code < 500 || includePermanent));
        });
    if (selection)
        selection.value().m_includePermanent = includePermanent;
    return selection;
}

} // namespace quillcast
