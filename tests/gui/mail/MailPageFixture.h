#pragma once

#include "WindowContext.h"
#include "document/MyDocument.h"
#include "platform/QtMainLoop.h"
#include "platform/SystemClock.h"
#include "send/StaticConnectionProvider.h"
#include "session/DocumentSession.h"

#include "RecordingDocumentOpener.h"
#include "RecordingFileRevealer.h"
#include "RecordingUrlOpener.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <memory>

namespace quillcast::gui::testing {

// A mailing window's context made of doubles: the pages under test sit in a
// plain window, their sheets and panels answered by the scripts.
struct PageContext
{
    explicit PageContext(List connectionList = List())
        : connections(std::move(connectionList)),
          session(DocumentSession::Services{SystemClock::instance(), alerts, urls}),
          context{session, alerts, panel, urls, revealer, loop, &window, &opener, &connections, {}}
    {
        session.setDialogServices({panel, alerts, loop, &revealer, &opener, &window});
    }

    MyDocument &document() { return session.document(); }

    // Shows the window at a size a user would have, active, so that fields
    // can take the keyboard focus.
    void show()
    {
        window.resize(1100, 750);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }

    template<typename T>
    T *find(const QString &name)
    {
        T *found = window.findChild<T *>(name);
        if (!found)
            qWarning("no %s named %s", T::staticMetaObject.className(), qPrintable(name));
        return found;
    }

    ScriptedAlertPresenter alerts;
    ScriptedFilePanel panel;
    RecordingUrlOpener urls;
    RecordingFileRevealer revealer;
    RecordingDocumentOpener opener;
    QtMainLoop loop;
    StaticConnectionProvider connections;
    DocumentSession session;
    // After the session: the pages go before the document they show.
    QWidget window;
    WindowContext context;
};

// The controls under root a user can reach with the keyboard that have no
// accessible name (a screen reader would call them "unlabelled").
inline QStringList unnamedControls(QWidget *root)
{
    QStringList unnamed;
    for (QWidget *control : root->findChildren<QWidget *>()) {
        if (control->focusPolicy() == Qt::NoFocus || !control->isVisible())
            continue;
        // Qt's own parts of a control (a scroll area's viewport, say).
        if (control->objectName().startsWith(QLatin1String("qt_"))
            || (!control->inherits("QAbstractScrollArea") && control->parentWidget()
                && control->parentWidget()->inherits("QAbstractScrollArea")))
            continue;
        if (control->accessibleName().isEmpty())
            unnamed.append(control->objectName().isEmpty() ? QString::fromLatin1(control->metaObject()->className())
                                                           : control->objectName());
    }
    return unnamed;
}

// The controls the Tab key visits from the first one, in order, by name.
inline QStringList tabChain(QWidget *first, int steps)
{
    QStringList chain;
    first->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < steps && QApplication::focusWidget(); ++i) {
        chain.append(QApplication::focusWidget()->objectName());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return chain;
}

} // namespace quillcast::gui::testing
