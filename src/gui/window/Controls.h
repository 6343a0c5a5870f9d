#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace quillcast::gui {

// A control tests find by its object name and screen readers by its
// accessible name.
template<typename Control>
Control *namedControl(const QString &name, const QString &accessibleName, QWidget *parent)
{
    auto *control = new Control(parent);
    control->setObjectName(name);
    control->setAccessibleName(accessibleName);
    return control;
}

// A form's label that gives its field the keyboard focus (its mnemonic) and
// names it to screen readers.
QLabel *buddyLabel(const QString &text, QWidget *buddy, QWidget *parent);

} // namespace quillcast::gui
