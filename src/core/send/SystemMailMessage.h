#pragma once

#include "send/MessageContent.h"
#include "util/List.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace quillcast {

// What the system mail clients make of a prepared plain-text message.
class SystemMailMessage
{
public:
    // The files of the attachment entries that can be attached now, in list
    // order: each entry's bookmark resolved, kept when a regular file exists
    // there (a directory, a vanished file or an entry without a bookmark is
    // left out without notice).
    static QStringList attachedFiles(const List &attachments);

    // The message content: the sender address alone, the recipient text as
    // one To value, as given (a text of several addresses stays one value),
    // the subject, the text body and the files above.
    static MessageContent content(const QString &body, const QString &email, const QString &title,
                                  const QString &from, const List &attachments, const QDateTime &date);
};

} // namespace quillcast
