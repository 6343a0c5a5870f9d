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

} // namespace quillcast::gui::testing
