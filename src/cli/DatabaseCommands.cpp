#include "DatabaseCommands.h"

namespace quillcast::cli {

bool DatabaseCommands::handles(const QString &)
{
    return false;
}

int DatabaseCommands::run(const QString &command, const QStringList &)
{
    m_ctx.err << command << ": not available" << Qt::endl;
    return 2;
}

QString DatabaseCommands::summary()
{
    return QString();
}

} // namespace quillcast::cli
