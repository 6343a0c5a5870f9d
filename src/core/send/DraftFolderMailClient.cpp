#include "send/DraftFolderMailClient.h"

#include "platform/Clock.h"
#include "platform/DurableSaveFile.h"
#include "send/MessageBuilder.h"
#include "send/SystemMailMessage.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// Enough of the recipient to recognise the file; only characters that are
// safe in file names on every system.
QString fileNamePart(const QString &email)
{
    constexpr qsizetype kMaxLength = 60;
    QString part;
    for (const QChar c : email.trimmed()) {
        if (part.size() == kMaxLength)
            break;
        const bool safe = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
            || c == u'@' || c == u'.' || c == u'-' || c == u'+' || c == u'_';
        part.append(safe ? c : u'_');
    }
    while (part.startsWith(u'.'))
        part.remove(0, 1);
    return part.isEmpty() ? u"draft"_s : part;
}

} // namespace

QString DraftFolderMailClient::defaultFolderFor(const QString &mailingPath)
{
    if (mailingPath.isEmpty()) {
        QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (documents.isEmpty())
            documents = QDir::homePath();
        return QDir(documents).filePath(u"Untitled-drafts"_s);
    }
    const QFileInfo info(mailingPath);
    return info.absoluteDir().filePath(info.completeBaseName() + u"-drafts"_s);
}

DraftFolderMailClient::DraftFolderMailClient(QString folder, const Clock &clock)
    : m_folder(std::move(folder)), m_clock(clock)
{
}

Result<QString> DraftFolderMailClient::prepareEmailViaMailApp(const MessageContent &content, const QString &email,
                                                              bool /*send*/)
{
    const auto failed = [&](const QString &reason) {
        return Result<QString>::failure(u"Error writing the draft for %1 : %2"_s.arg(email, reason));
    };
    const QDateTime now = m_clock.now().toTimeZone(m_clock.timeZone());
    if (const Status files = SystemMailMessage::checkAttachedFiles(content.attachmentPaths); !files)
        return failed(files.error());
    // The message as it would be sent, plus the mark that makes it a draft.
    MessageContent draft = content;
    draft.date = now;
    draft.extraHeaders.append({QByteArrayLiteral("X-Unsent"), u"1"_s});
    const Result<QByteArray> message = MessageBuilder::build(draft);
    if (!message)
        return failed(message.error());

    const std::lock_guard guard(m_lock);
    if (!QDir().mkpath(m_folder))
        return failed(u"The drafts folder “%1” cannot be created."_s.arg(m_folder));
    const QDir folder(m_folder);
    const QString stem = now.toString(u"yyyyMMdd-HHmmss"_s);
    const QString recipient = fileNamePart(email);
    QString path;
    do {
        ++m_counter;
        path = folder.filePath(u"%1-%2-%3.eml"_s.arg(stem).arg(m_counter, 6, 10, QChar(u'0')).arg(recipient));
    } while (QFileInfo::exists(path));

    // Written whole or not at all: a mail program watching the folder never
    // sees half a message.
    if (const Status written = DurableSaveFile::writeWhole(path, message.value()); !written)
        return failed(written.error());
    return u"Email to %1: draft written to %2"_s.arg(email, path);
}

} // namespace quillcast
