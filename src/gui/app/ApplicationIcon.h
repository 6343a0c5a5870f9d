#pragma once

#include <QIcon>

namespace quillcast::gui {

// The application's icon: the one the desktop's icon theme has (installed
// into hicolor, or replaced by the user's theme), else the sizes rendered
// into the program at build time, so a program run from the build tree or a
// theme without it still shows the right icon.
class ApplicationIcon
{
public:
    static constexpr const char *themeName = "quillcast";

    static QIcon load();
    static QIcon bundled();
};

} // namespace quillcast::gui
