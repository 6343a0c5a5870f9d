#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QTableView;

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

// A table of whole rows the user reads and selects but does not edit: rows
// of one height, so that a list of a million lays out without measuring
// each, no row numbers, the last column taking the room left.
void setUpReadOnlyRowTable(QTableView *table);

} // namespace quillcast::gui
