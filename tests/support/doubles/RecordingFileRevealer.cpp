#include "RecordingFileRevealer.h"

namespace quillcast {

bool RecordingFileRevealer::revealFile(const QString &path)
{
    revealed.append(path);
    return true;
}

} // namespace quillcast
