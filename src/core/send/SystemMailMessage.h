#pragma once

#include "util/Result.h"

#include <QStringList>

namespace quillcast {

// What the user's mail system checks of a message before taking it.
class SystemMailMessage
{
public:
    // Whether every attached file is a regular file now. A folder, a pipe or
    // a device put in a file's place since it was attached fails the whole
    // message, naming it: the message must not go without one of its files,
    // and reading a pipe could block the run.
    static Status checkAttachedFiles(const QStringList &paths);
};

} // namespace quillcast
