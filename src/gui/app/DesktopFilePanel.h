#pragma once

#include "app/FilePanelDialog.h"
#include "platform/FilePanel.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace quillcast::gui {

// The core's open and save panels as file dialogs: window-modal on the
// window the panel is bound to (or the one the request names), free-standing
// and application-modal without one. The completion runs once, also when the
// window goes away under the panel (then as a cancel, on the next turn of the
// event loop).
//
// The accessory area (the import and export options) is filled by the
// factory set for its kind; without one the panel has no accessory.
class DesktopFilePanel final : public FilePanel
{
public:
    // Makes the accessory's widget for the object that asked; the panel
    // takes it over.
    using AccessoryFactory = std::function<QWidget *(QObject *owner)>;

    explicit DesktopFilePanel(QWidget *window = nullptr) : m_window(window) {}

    void runOpenPanel(const OpenRequest &request, OpenCompletion completion) override;
    void runSavePanel(const SaveRequest &request, SaveCompletion completion) override;
    void setAllowedExtensions(const QStringList &extensions) override;

    void setAccessoryFactory(Accessory accessory, AccessoryFactory factory);

    // The panel being shown, if any.
    FilePanelDialog *currentDialog() const { return m_current; }

private:
    FilePanelDialog *makeDialog(QObject *requestWindow, const QString &objectName);
    static void show(FilePanelDialog *dialog);
    void addAccessory(FilePanelDialog *dialog, Accessory accessory, QObject *owner);

    QPointer<QWidget> m_window;
    QPointer<FilePanelDialog> m_current;
    QHash<Accessory, AccessoryFactory> m_accessories;
};

} // namespace quillcast::gui
