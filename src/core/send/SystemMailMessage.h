#pragma once

#include "send/MessageContent.h"
#include "util/List.h"
#include "util/Result.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace quillcast {

// What the system mail clients make of a prepared plain-text message.
class SystemMailMessage
{
public:
    // The files of the attachment entries, in list order: each entry's
    // bookmark resolved to a regular file. An entry that does not resolve,
    // or names a folder, a pipe or a device, fails the whole list: the
    // message must not go without one of its files.
    static Result<QStringList> attachedFiles(const List &attachments);

    // The message content: the sender address alone, the recipient text as
    // one To value, as given (a text of several addresses stays one value),
    // the subject, the text body and the files above.
    static Result<MessageContent> content(const QString &body, const QString &email, const QString &title,
                                          const QString &from, const List &attachments, const QDateTime &date);
};

} // namespace quillcast
