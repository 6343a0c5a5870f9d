#include "export/ExportAccessory.h"

#include "export/ExportDelimiters.h"
#include "window/Controls.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

ExportAccessory::ExportAccessory(LXDataExportManager &exporter, QWidget *parent)
    : QWidget(parent), m_exporter(&exporter)
{
    m_fileType = namedControl<QComboBox>(u"exportFileTypePopUp"_s, u"File type"_s, this);
    m_fileType->addItems({u"tsv"_s, u"csv"_s, u"html"_s, u"txt"_s});
    m_fileType->setCurrentText(ExportDelimiters::fileExtension(exporter.fileFormatToSave()));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buddyLabel(u"File &type:"_s, m_fileType, this));
    layout->addWidget(m_fileType);
    layout->addStretch(1);

    connect(m_fileType, &QComboBox::currentTextChanged, this, [this](const QString &extension) {
        if (m_exporter)
            m_exporter->selectFileType(extension);
    });
}

DesktopFilePanel::AccessoryFactory ExportAccessory::factory()
{
    return [](QObject *owner) -> QWidget * {
        auto *exporter = qobject_cast<LXDataExportManager *>(owner);
        return exporter ? new ExportAccessory(*exporter) : nullptr;
    };
}

} // namespace quillcast::gui
