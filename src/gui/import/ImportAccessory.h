#pragma once

#include "import/LXDataImportManager.h"

#include "app/DesktopFilePanel.h"

#include <QPointer>
#include <QWidget>

class QComboBox;

namespace quillcast::gui {

// The import chooser's accessory: the format and the encoding the file is
// read with, bound to the importer's codes both ways (they start on what the
// importer holds: automatic for a new import).
class ImportAccessory final : public QWidget
{
    Q_OBJECT

public:
    explicit ImportAccessory(LXDataImportManager &importer, QWidget *parent = nullptr);

    // What the file panels are given for their import accessory: one for an
    // importer, nothing for any other owner.
    static DesktopFilePanel::AccessoryFactory factory();

    QComboBox *formatPopUp() const { return m_format; }
    QComboBox *encodingPopUp() const { return m_encoding; }

private:
    QPointer<LXDataImportManager> m_importer;
    QComboBox *m_format = nullptr;
    QComboBox *m_encoding = nullptr;
};

} // namespace quillcast::gui
