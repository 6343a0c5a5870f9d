#include "send/RunWarnings.h"

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace quillcast {

qint64 RunWarnings::estimatedSize(const QStringList &texts, const QStringList &attachmentPaths)
{
    qint64 size = 2048; // headers and MIME boundaries
    for (const QString &text : texts)
        size += text.toUtf8().size();
    for (const QString &path : attachmentPaths) {
        const qint64 encoded = (QFileInfo(path).size() + 2) / 3 * 4;
        size += encoded + encoded / 76 * 2 + 512;
    }
    return size;
}

QStringList RunWarnings::beforeRun(const MyDocument &document)
{
    QStringList warnings;
    const bool html = document.emailKind() == 1;
    QStringList files;
    for (const Value &entry : document.attachmentBookmarks().items())
        files.append(entry.toDict().stringValue(DocumentKeys::attachmentPath()));
    const QStringList texts = html ? QStringList{document.mailFormBodyHtml(), document.mailFormBodyHtmlAltText()}
                                   : QStringList{document.mailFormBody()};
    if (const qint64 size = estimatedSize(texts, files); size > kLargeMessageBytes)
        warnings.append(u"Each message is about %1 MB once encoded, more than 10 MB: many mail providers refuse "
                        "messages that large."_s.arg(QString::number(double(size) / (1024 * 1024), 'f', 1)));
    if (html && document.mailFormBodyHtmlAltText().trimmed().isEmpty())
        warnings.append(u"The HTML message has no text alternative: mail programs that show only text will show "
                        "an empty message."_s);
    if (document.mailFormSubject().trimmed().isEmpty())
        warnings.append(u"The subject is empty."_s);
    return warnings;
}

} // namespace quillcast
