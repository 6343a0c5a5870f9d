#include "send/SystemMailMessage.h"

#include "document/DocumentKeys.h"
#include "platform/LXBookmark.h"
#include "platform/RegularFileReader.h"

using namespace Qt::StringLiterals;

namespace quillcast {

Result<QStringList> SystemMailMessage::attachedFiles(const List &attachments)
{
    QStringList files;
    for (const Value &entry : attachments.items()) {
        const Dict dict = entry.toDict();
        const std::optional<LXBookmark::Location> location =
            LXBookmark::urlForBookmark(dict.value(DocumentKeys::attachmentBookmark()).toBytes(), nullptr);
        if (!location)
            return Result<QStringList>::failure(u"The attachment “%1” can no longer be found."_s.arg(
                dict.stringValue(DocumentKeys::attachmentPath())));
        if (const Status regular = RegularFileReader::checkRegular(location->path); !regular)
            return Result<QStringList>::failure(u"%1 cannot be read: %2"_s.arg(location->path, regular.error()));
        files.append(location->path);
    }
    return files;
}

Result<MessageContent> SystemMailMessage::content(const QString &body, const QString &email, const QString &title,
                                                  const QString &from, const List &attachments,
                                                  const QDateTime &date)
{
    Result<QStringList> files = attachedFiles(attachments);
    if (!files)
        return Result<MessageContent>::failure(files.error());
    MessageContent content;
    content.from = {QString(), from};
    content.to = {{QString(), email}};
    content.subject = title;
    content.textBody = body;
    content.attachmentPaths = std::move(files).value();
    content.date = date;
    return content;
}

} // namespace quillcast
