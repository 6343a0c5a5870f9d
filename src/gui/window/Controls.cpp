#include "window/Controls.h"

#include <QLabel>

namespace quillcast::gui {

QLabel *buddyLabel(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace quillcast::gui
