#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quillcast {

// The desktop's open and save panels, shown as sheets on a window. The
// windowing layer supplies the real one; core decides what to ask for.
class FilePanel
{
public:
    // What the accessory area beside the panel shows; it binds to the
    // properties of the object that asked (an import or export manager).
    enum class Accessory { None, ImportOptions, ExportOptions };

    struct OpenRequest
    {
        QObject *window = nullptr; // the sheet attaches here; none: a free-standing panel
        QStringList allowedExtensions; // empty: any file
        bool allowsMultipleSelection = false;
        Accessory accessory = Accessory::None;
        QObject *accessoryOwner = nullptr;
        // What the panel asks of the user ("Select a file to attach"), on its accept button; empty: the panel's own.
        QString prompt;
        bool filesOnly = false; // only regular files can be chosen (no folders, pipes or devices)
        // Folders are chosen instead of files (the drafts folder of a run).
        bool choosesFolders = false;
    };

    struct SaveRequest
    {
        QObject *window = nullptr;
        QString proposedName;
        QStringList allowedExtensions;
        bool allowsOtherFileTypes = true;
        Accessory accessory = Accessory::None;
        QObject *accessoryOwner = nullptr;
    };

    // The chosen paths (one unless multiple selection), or nothing on cancel.
    using OpenCompletion = std::function<void(std::optional<QStringList> paths)>;
    // The chosen path, or nothing on cancel.
    using SaveCompletion = std::function<void(std::optional<QString> path)>;

    virtual ~FilePanel() = default;

    // The completion runs exactly once, at once or later on the main thread.
    virtual void runOpenPanel(const OpenRequest &request, OpenCompletion completion) = 0;
    virtual void runSavePanel(const SaveRequest &request, SaveCompletion completion) = 0;
    // Changes the extensions the panel being shown allows (its accessory's
    // file-type choice); nothing when no panel is shown.
    virtual void setAllowedExtensions(const QStringList &extensions) = 0;
};

} // namespace quillcast
