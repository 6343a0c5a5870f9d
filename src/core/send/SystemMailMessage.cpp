#include "send/SystemMailMessage.h"

#include "platform/RegularFileReader.h"

using namespace Qt::StringLiterals;

namespace quillcast {

Status SystemMailMessage::checkAttachedFiles(const QStringList &paths)
{
    for (const QString &path : paths) {
        if (const Status regular = RegularFileReader::checkRegular(path); !regular)
            return Status::failure(u"%1 cannot be read: %2"_s.arg(path, regular.error()));
    }
    return success();
}

} // namespace quillcast
