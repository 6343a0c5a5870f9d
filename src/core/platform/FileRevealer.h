#pragma once

#include <QString>

namespace quillcast {

// The desktop's file manager: shows a file or folder selected in its folder.
// The windowing layer supplies the real one.
class FileRevealer
{
public:
    virtual ~FileRevealer() = default;

    // False when the desktop could not show it.
    virtual bool revealFile(const QString &path) = 0;
};

} // namespace quillcast
