#pragma once

// What a screen reader announces for the controls a user can Tab to.

#include <QAbstractButton>
#include <QLabel>
#include <QStringList>
#include <QTabBar>
#include <QWidget>

namespace quillcast::gui::testing {

// The controls under root that Tab can reach but that have no name of their
// own: no accessible name, no label pointing at them, no text on a button.
// Qt names a pop-up or a field by its current value when nothing else names
// it, which tells the listener what is chosen but not what is being chosen,
// so that fallback does not count. Qt's own parts (a spin box's editor, a tab
// bar and its scroll buttons) are left to Qt. Each entry reads
// "objectName/Class"; empty when every control is named.
inline QStringList unnamedControls(const QWidget &root)
{
    QList<const QWidget *> labelled;
    for (const QLabel *label : root.findChildren<QLabel *>()) {
        if (label->buddy() && !label->text().isEmpty())
            labelled.append(label->buddy());
    }
    QStringList unnamed;
    for (const QWidget *w : root.findChildren<QWidget *>()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(&root) || w->objectName().startsWith(u"qt_")
            || qobject_cast<const QTabBar *>(w) || qobject_cast<const QTabBar *>(w->parentWidget()))
            continue;
        const auto *button = qobject_cast<const QAbstractButton *>(w);
        if (!w->accessibleName().trimmed().isEmpty() || labelled.contains(w)
            || (button && !button->text().remove(u'&').trimmed().isEmpty()))
            continue;
        unnamed += w->objectName() + u'/' + QString::fromLatin1(w->metaObject()->className());
    }
    return unnamed;
}

} // namespace quillcast::gui::testing
