#include "send/SystemMailMessage.h"

#include "document/DocumentKeys.h"
#include "platform/LXBookmark.h"

#include <QFileInfo>

namespace quillcast {

QStringList SystemMailMessage::attachedFiles(const List &attachments)
{
    QStringList files;
    for (const Value &entry : attachments.items()) {
        const QByteArray bookmark = entry.toDict().value(DocumentKeys::attachmentBookmark()).toBytes();
        const std::optional<LXBookmark::Location> location = LXBookmark::urlForBookmark(bookmark, nullptr);
        if (location && QFileInfo(location->path).isFile())
            files.append(location->path);
    }
    return files;
}

MessageContent SystemMailMessage::content(const QString &body, const QString &email, const QString &title,
                                          const QString &from, const List &attachments, const QDateTime &date)
{
    MessageContent content;
    content.from = {QString(), from};
    content.to = {{QString(), email}};
    content.subject = title;
    content.textBody = body;
    content.attachmentPaths = attachedFiles(attachments);
    content.date = date;
    return content;
}

} // namespace quillcast
