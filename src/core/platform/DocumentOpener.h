#pragma once

#include <QString>

namespace quillcast {

// The application's document controller: opens a file as a document of this
// application and displays it. The windowing layer supplies the real one.
class DocumentOpener
{
public:
    virtual ~DocumentOpener() = default;

    // False when the file could not be opened.
    virtual bool openDocument(const QString &path) = 0;
};

} // namespace quillcast
