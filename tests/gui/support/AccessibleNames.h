#pragma once

// What a screen reader announces for the controls a user can Tab to.

#include <QProgressBar>
#include <QStringList>
#include <QTabBar>
#include <QWidget>

namespace quillcast::gui::testing {

// The controls under root that Tab can reach, and the progress bars, that have no accessible name
// of their own. Qt would otherwise name a pop-up or a field by its current
// value, which tells the listener what is chosen but not what is being
// chosen. Qt's own parts (a spin box's editor, a tab bar and its scroll
// buttons) are left to Qt. Each entry reads "objectName/Class"; empty when
// every control is named.
inline QStringList unnamedControls(const QWidget &root)
{
    QStringList unnamed;
    for (const QWidget *w : root.findChildren<QWidget *>()) {
        const bool control = (w->focusPolicy() & Qt::TabFocus) || qobject_cast<const QProgressBar *>(w);
        if (!control || !w->isVisibleTo(&root) || w->objectName().startsWith(u"qt_")
            || qobject_cast<const QTabBar *>(w) || qobject_cast<const QTabBar *>(w->parentWidget()))
            continue;
        if (w->accessibleName().trimmed().isEmpty())
            unnamed += w->objectName() + u'/' + QString::fromLatin1(w->metaObject()->className());
    }
    return unnamed;
}

} // namespace quillcast::gui::testing
