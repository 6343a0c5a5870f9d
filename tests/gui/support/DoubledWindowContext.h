#pragma once

// A mailing window's context whose services are the test doubles, around a
// session of its own: what the page tests and the page benchmarks build on.

#include "RecordingFileRevealer.h"
#include "RecordingUrlOpener.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"
#include "WindowContext.h"
#include "platform/QtMainLoop.h"
#include "platform/SystemClock.h"
#include "session/DocumentSession.h"

namespace quillcast::gui::testing {

struct DoubledWindowContext
{
    DoubledWindowContext()
        : session(DocumentSession::Services{SystemClock::instance(), alerts, urlOpener}),
          context{session, alerts, filePanel, urlOpener, revealer, QtMainLoop::instance()}
    {
    }

    ScriptedAlertPresenter alerts;
    ScriptedFilePanel filePanel;
    RecordingUrlOpener urlOpener;
    RecordingFileRevealer revealer;
    DocumentSession session;
    WindowContext context;
};

} // namespace quillcast::gui::testing
