#pragma once

#include <QList>
#include <QString>

#include <utility>

namespace quillcast::gui {

// The import chooser's format and encoding choices, code and title, in the
// order the pop-ups show them. The titles are the names the command line
// takes for the same codes, so that both speak alike.
class ImportChoiceTitles
{
public:
    using Choice = std::pair<qint32, QString>;

    // auto, tab, comma, semicolon.
    static QList<Choice> formats();
    // auto, then the nine encodings.
    static QList<Choice> encodings();
};

} // namespace quillcast::gui
