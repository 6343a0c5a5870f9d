#include "OpenedMailing.h"

#include "document/DocumentKeys.h"
#include "platform/NullUrlOpener.h"

#include <QCoreApplication>

#include <utility>
#include <vector>

namespace quillcast::cli {

OpenedMailing::OpenedMailing(CliContext context, QString command, bool yes)
    : m_ctx(context),
      m_command(std::move(command)),
      m_alerts(context.err, yes),
      m_session({context.clock, m_alerts, NullUrlOpener::instance()})
{
}

OpenedMailing::~OpenedMailing()
{
    if (!m_ctx.endsProcess)
        return;
    // Handles on the lists keep every record they hold alive; the pointer
    // stays reachable until the process is gone, so no leak checker calls
    // them lost.
    static auto *const kept = new std::vector<List>;
    MyDocument &doc = document();
    kept->insert(kept->end(), {doc.addressArray(), doc.sendArray(), doc.exceptArray()});
}

bool OpenedMailing::report(const Status &status)
{
    if (status)
        return true;
    m_ctx.err << m_command << ": " << status.error() << Qt::endl;
    return false;
}

bool OpenedMailing::open(const QString &path)
{
    return opened(m_session.open(path));
}

bool OpenedMailing::openForReading(const QString &path)
{
    return opened(m_session.open(path, DocumentSession::Access::Reading));
}

bool OpenedMailing::opened(const Status &status)
{
    if (!report(status))
        return false;
    // The CLI has no search field: every command sees the whole lists.
    document().filterAddresses();
    document().filterExcepts();
    return true;
}

bool OpenedMailing::save()
{
    // Work the commands posted for after the current event (scrolling, the
    // any-checked flags) runs now, so the saved state is the finished one.
    QCoreApplication::sendPostedEvents(&document());
    return report(m_session.save());
}

QStringList OpenedMailing::columnNames() const
{
    QStringList names;
    m_session.document().keyArray().read([&](const List::Items &keys) {
        for (const Value &key : keys)
            names.append(key.toDict().stringValue(DocumentKeys::publicKey()));
    });
    return names;
}

} // namespace quillcast::cli
