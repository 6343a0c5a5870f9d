#include "ImportExportCommands.h"

namespace quillcast::cli {

bool ImportExportCommands::handles(const QString &)
{
    return false;
}

int ImportExportCommands::run(const QString &command, const QStringList &)
{
    m_ctx.err << command << ": not available" << Qt::endl;
    return 2;
}

QString ImportExportCommands::summary()
{
    return QString();
}

} // namespace quillcast::cli
