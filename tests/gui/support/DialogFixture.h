#pragma once

// A window with a mailing session and the import and export dialogs'
// services: the real desktop file panel (with the import accessory) for the
// chooser, a scripted one for the save panel, scripted alerts. The mailing
// has the user keys Name ("4") and City ("5").

#include "RecordingFileRevealer.h"
#include "RecordingUrlOpener.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"
#include "WindowContext.h"
#include "app/DesktopFilePanel.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "export/ExportAccessory.h"
#include "import/ImportAccessory.h"
#include "platform/QtMainLoop.h"
#include "platform/SystemClock.h"
#include "session/DocumentSession.h"

#include <QPushButton>
#include <QWidget>

#include <memory>

namespace quillcast::gui::testing {

class DialogFixture
{
public:
    enum class Panel { Desktop, Scripted };

    explicit DialogFixture(Panel panel = Panel::Desktop)
        : session(DocumentSession::Services{SystemClock::instance(), alerts, urlOpener})
    {
        window.resize(900, 650);
        desktopPanel.setAccessoryFactory(FilePanel::Accessory::ImportOptions, ImportAccessory::factory());
        desktopPanel.setAccessoryFactory(FilePanel::Accessory::ExportOptions, ExportAccessory::factory());
        FilePanel &filePanel = panel == Panel::Desktop ? static_cast<FilePanel &>(desktopPanel) : scriptedPanel;
        context = std::make_unique<WindowContext>(
            WindowContext{session, alerts, filePanel, urlOpener, revealer, QtMainLoop::instance(), &window,
                          nullptr, nullptr, {}});
        session.setDialogServices({filePanel, alerts, QtMainLoop::instance(), &revealer, nullptr, &window});
        const Status filled = session.newDocument([](MyDocument &doc) {
            doc.InitialSetupKeyArrayController();
            doc.keyArray().append(Value(DocumentKeys::makeDbKey(QStringLiteral("4"), QStringLiteral("Name"))));
            doc.keyArray().append(Value(DocumentKeys::makeDbKey(QStringLiteral("5"), QStringLiteral("City"))));
            return success();
        });
        Q_ASSERT(filled.ok());
        doc().updateChangeCount(MyDocument::ChangeKind::Cleared);
        window.show();
    }

    MyDocument &doc() { return session.document(); }

    ScriptedAlertPresenter alerts;
    RecordingUrlOpener urlOpener;
    RecordingFileRevealer revealer;
    QWidget window;
    DesktopFilePanel desktopPanel{&window};
    ScriptedFilePanel scriptedPanel;
    DocumentSession session;
    std::unique_ptr<WindowContext> context;
};

// A sheet's button by its object name; a missing one ends the test run.
inline QPushButton *button(QWidget &sheet, const QString &name)
{
    auto *b = sheet.findChild<QPushButton *>(name);
    if (!b)
        qFatal("no button %s", qPrintable(name));
    return b;
}

// The object names of the controls Tab reaches in the sheet, from first on,
// in the order it reaches them.
inline QStringList tabOrder(QWidget &sheet, QWidget *first)
{
    QStringList names;
    QWidget *widget = first;
    do {
        if (widget->isVisible() && (widget->focusPolicy() & Qt::TabFocus) && widget->window() == &sheet)
            names.append(widget->objectName());
        widget = widget->nextInFocusChain();
    } while (widget && widget != first && names.size() < 100);
    return names;
}

} // namespace quillcast::gui::testing
