#include "import/ImportAccessory.h"

#include "import/ImportChoices.h"
#include "import/LXDataImportManager.h"
#include "window/Controls.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

void fill(QComboBox *popUp, const QList<ImportChoices::Choice> &choices)
{
    for (const ImportChoices::Choice &choice : choices)
        popUp->addItem(choice.title, choice.code);
}

void showCode(QComboBox *popUp, qint32 code)
{
    const QSignalBlocker blocker(popUp);
    popUp->setCurrentIndex(std::max(0, popUp->findData(code)));
}

} // namespace

ImportAccessory::ImportAccessory(LXDataImportManager &importer, QWidget *parent)
    : QWidget(parent), m_importer(&importer)
{
    m_format = namedControl<QComboBox>(u"importFormatPopUp"_s, u"Format"_s, this);
    fill(m_format, ImportChoices::formats());
    m_encoding = namedControl<QComboBox>(u"importEncodingPopUp"_s, u"Encoding"_s, this);
    fill(m_encoding, ImportChoices::encodings());
    showCode(m_format, importer.fileFormatToImport());
    showCode(m_encoding, importer.fileEncodeToImport());

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buddyLabel(u"&Format:"_s, m_format, this));
    layout->addWidget(m_format);
    layout->addSpacing(12);
    layout->addWidget(buddyLabel(u"&Encoding:"_s, m_encoding, this));
    layout->addWidget(m_encoding);
    layout->addStretch(1);

    connect(m_format, &QComboBox::currentIndexChanged, this, [this] {
        if (m_importer)
            m_importer->setFileFormatToImport(m_format->currentData().toInt());
    });
    connect(m_encoding, &QComboBox::currentIndexChanged, this, [this] {
        if (m_importer)
            m_importer->setFileEncodeToImport(m_encoding->currentData().toInt());
    });
    connect(&importer, &LXDataImportManager::fileFormatToImportChanged, this,
            [this](qint32 code) { showCode(m_format, code); });
    connect(&importer, &LXDataImportManager::fileEncodeToImportChanged, this,
            [this](qint32 code) { showCode(m_encoding, code); });
}

DesktopFilePanel::AccessoryFactory ImportAccessory::factory()
{
    return [](QObject *owner) -> QWidget * {
        auto *importer = qobject_cast<LXDataImportManager *>(owner);
        return importer ? new ImportAccessory(*importer) : nullptr;
    };
}

} // namespace quillcast::gui
