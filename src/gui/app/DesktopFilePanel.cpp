#include "app/DesktopFilePanel.h"

#include "app/FilePanelDialog.h"

#include <QApplication>
#include <QGridLayout>

#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

// Runs the completion once: with the dialog's answer, or as a cancel when
// the dialog is destroyed first (its window went away), after the
// destruction is over.
template<typename Completion, typename Answer>
void finishOnce(FilePanelDialog *dialog, Completion completion, Answer answer)
{
    auto pending = std::make_shared<Completion>(std::move(completion));
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, pending, answer](int result) {
        dialog->deleteLater();
        if (Completion done = std::exchange(*pending, nullptr))
            done(answer(dialog, result == QDialog::Accepted));
    });
    QObject::connect(dialog, &QObject::destroyed, qApp, [pending] {
        if (!*pending)
            return;
        QMetaObject::invokeMethod(
            qApp,
            [pending] {
                if (Completion done = std::exchange(*pending, nullptr))
                    done(std::nullopt);
            },
            Qt::QueuedConnection);
    });
}

} // namespace

FilePanelDialog *DesktopFilePanel::makeDialog(QObject *requestWindow, const QString &objectName)
{
    QWidget *window = m_window;
    if (auto *widget = qobject_cast<QWidget *>(requestWindow))
        window = widget->window();
    auto *dialog = new FilePanelDialog(window);
    dialog->setObjectName(objectName);
    dialog->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    m_current = dialog;
    return dialog;
}

void DesktopFilePanel::show(FilePanelDialog *dialog)
{
    // open() would make a free-standing panel window-modal, that is modal to
    // nothing; show() keeps the modality set.
    if (dialog->windowModality() == Qt::WindowModal)
        dialog->open();
    else
        dialog->show();
}

void DesktopFilePanel::addAccessory(FilePanelDialog *dialog, Accessory accessory, QObject *owner)
{
    if (accessory == Accessory::None)
        return;
    const AccessoryFactory factory = m_accessories.value(accessory);
    if (!factory)
        return;
    QWidget *widget = factory(owner);
    auto *grid = qobject_cast<QGridLayout *>(dialog->layout());
    if (!widget || !grid) {
        delete widget;
        return;
    }
    widget->setObjectName(accessory == Accessory::ImportOptions ? u"importAccessory"_s : u"exportAccessory"_s);
    grid->addWidget(widget, grid->rowCount(), 0, 1, grid->columnCount());
}

void DesktopFilePanel::runOpenPanel(const OpenRequest &request, OpenCompletion completion)
{
    FilePanelDialog *dialog = makeDialog(request.window, u"openPanel"_s);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    if (request.choosesFolders) {
        dialog->setChoosesFolders(true);
    } else {
        dialog->setFileMode(request.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                            : QFileDialog::ExistingFile);
        dialog->setFilesOnly(request.filesOnly);
        dialog->setAllowedExtensions(request.allowedExtensions);
    }
    const QString title = request.prompt.isEmpty() ? u"Open"_s : request.prompt;
    dialog->setWindowTitle(title);
    dialog->setAccessibleName(title);
    if (!request.prompt.isEmpty())
        dialog->setLabelText(QFileDialog::Accept, request.prompt);
    addAccessory(dialog, request.accessory, request.accessoryOwner);
    finishOnce(dialog, std::move(completion), [](FilePanelDialog *d, bool accepted) -> std::optional<QStringList> {
        if (!accepted || d->selectedFiles().isEmpty())
            return std::nullopt;
        return d->selectedFiles();
    });
    show(dialog);
}

void DesktopFilePanel::runSavePanel(const SaveRequest &request, SaveCompletion completion)
{
    FilePanelDialog *dialog = makeDialog(request.window, u"savePanel"_s);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setFilesOnly(true);
    dialog->setAllowsOtherFileTypes(request.allowsOtherFileTypes);
    dialog->setAllowedExtensions(request.allowedExtensions);
    dialog->setWindowTitle(u"Save"_s);
    dialog->setAccessibleName(u"Save"_s);
    if (!request.proposedName.isEmpty())
        dialog->selectFile(request.proposedName);
    addAccessory(dialog, request.accessory, request.accessoryOwner);
    finishOnce(dialog, std::move(completion), [](FilePanelDialog *d, bool accepted) -> std::optional<QString> {
        if (!accepted || d->selectedFiles().isEmpty())
            return std::nullopt;
        return d->selectedFiles().first();
    });
    show(dialog);
}

void DesktopFilePanel::setAllowedExtensions(const QStringList &extensions)
{
    if (m_current)
        m_current->setAllowedExtensions(extensions);
}

void DesktopFilePanel::setAccessoryFactory(Accessory accessory, AccessoryFactory factory)
{
    m_accessories.insert(accessory, std::move(factory));
}

} // namespace quillcast::gui
