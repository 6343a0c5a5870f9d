#pragma once

#include <QString>

namespace quillcast::gui {

// Where the user guide that came with the program is: installed, in the
// data folder beside the program's folder (bin/../share/quillcast); else the
// one printed in the build tree, so that a program run where it was built
// opens the guide of its own sources.
class ShippedUserGuide
{
public:
    static QString path(const QString &programFolder);
};

} // namespace quillcast::gui
