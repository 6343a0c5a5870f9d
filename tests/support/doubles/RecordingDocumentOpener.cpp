#include "RecordingDocumentOpener.h"

namespace quillcast {

bool RecordingDocumentOpener::openDocument(const QString &path)
{
    opened.append(path);
    return true;
}

} // namespace quillcast
