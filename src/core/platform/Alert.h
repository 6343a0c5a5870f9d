#pragma once

#include <QString>
#include <QStringList>

namespace quillcast {

// An alert as data: what the user is told and the buttons to choose from, in
// order, the first being the default. The GUI shows it as a sheet on the
// document window or as a modal alert; the CLI prints it and answers it.
struct Alert
{
    enum class Style { Warning, Informational, Critical };
    enum class Kind { Sheet, Modal };

    QString messageText;
    QString informativeText;
    QStringList buttons;
    Style style = Style::Warning;
    Kind kind = Kind::Sheet;

    friend bool operator==(const Alert &, const Alert &) = default;
};

} // namespace quillcast
