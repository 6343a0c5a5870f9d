#include "OpenedMailing.h"

#include "document/DocumentFile.h"
#include "document/DocumentKeys.h"
#include "platform/NullUrlOpener.h"

#include <QCoreApplication>

#include <utility>

namespace quillcast::cli {

OpenedMailing::OpenedMailing(CliContext context, QString command, bool yes)
    : m_ctx(context), m_command(std::move(command)), m_alerts(context.err, yes), m_doc(context.clock)
{
    m_doc.setAlertPresenter(&m_alerts);
}

bool OpenedMailing::open(const QString &path)
{
    m_lock = std::make_unique<MailingLock>(path);
    if (const Status locked = m_lock->acquire(); !locked) {
        m_ctx.err << m_command << ": " << locked.error() << Qt::endl;
        return false;
    }
    return read(path);
}

bool OpenedMailing::openForReading(const QString &path)
{
    return read(path);
}

bool OpenedMailing::read(const QString &path)
{
    m_path = path;
    const Status read = DocumentFile::readFromFile(m_doc, path, m_alerts, NullUrlOpener::instance());
    if (!read) {
        m_ctx.err << m_command << ": " << read.error() << Qt::endl;
        return false;
    }
    m_doc.windowControllerDidLoadNib();
    // The CLI has no search field: every command sees the whole lists.
    m_doc.filterAddresses();
    m_doc.filterExcepts();
    return true;
}

bool OpenedMailing::save()
{
    // Work the commands posted for after the current event (scrolling, the
    // any-checked flags) runs now, so the saved state is the finished one.
    QCoreApplication::sendPostedEvents(&m_doc);
    const Status saved = DocumentFile::writeToFile(m_doc, m_path);
    if (!saved) {
        m_ctx.err << m_command << ": " << saved.error() << Qt::endl;
        return false;
    }
    return true;
}

QStringList OpenedMailing::columnNames() const
{
    QStringList names;
    m_doc.keyArray().read([&](const List::Items &keys) {
        for (const Value &key : keys)
            names.append(key.toDict().stringValue(DocumentKeys::publicKey()));
    });
    return names;
}

} // namespace quillcast::cli
