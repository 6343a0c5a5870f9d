#include "send/SendSummary.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace quillcast {

QString SendSummary::line() const
{
    QString text = u"Summary: %1 refused (see the log)"_s.arg(refused);
    if (handedToServer > 0)
        text += u", %1 accepted by the server, %2 failed"_s.arg(accepted).arg(failed);
    if (unanswered > 0)
        text += u", %1 without an answer"_s.arg(unanswered);
    if (handedToMailClient + mailClientFailed > 0) {
        text += u", %1"_s.arg(handedToMailClient)
            + (preparing ? u" drafts written, "_s : u" accepted by sendmail, "_s)
            + u"%1 failed"_s.arg(mailClientFailed);
    }
    if (preparing)
        text += u"; drafts in "_s + QDir::toNativeSeparators(draftsFolder);
    return text;
}

} // namespace quillcast
