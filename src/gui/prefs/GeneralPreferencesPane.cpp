#include "prefs/GeneralPreferencesPane.h"

#include "app/LXAppDelegateBase.h"
#include "platform/UserDefaultsKeys.h"
#include "prefs/DefaultsBinding.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

QLabel *makeValueLabel(const QString &name, const QString &accessibleName, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setAccessibleName(accessibleName);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long path is cut, not a reason to widen the window.
    label->setMinimumWidth(1);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

} // namespace

QStringList GeneralPreferencesPane::startupActionTitles()
{
    // Any other value does nothing, which on a desktop without an
    // application menu means the Open panel anyway (ApplicationServices):
    // not a choice worth offering.
    return {u"Create a new mailing"_s, u"Show the Open panel if no mailing is open"_s, u"Show the Open panel"_s,
            u"Open the startup mailing"_s};
}

GeneralPreferencesPane::GeneralPreferencesPane(LXAppDelegateBase &application, UserDefaults &defaults,
                                               QWidget *parent)
    : QWidget(parent), m_application(application), m_status(new QLabel(this))
{
    setObjectName(u"generalPreferencesPane"_s);
    setAccessibleName(u"General"_s);
    const ValueTransformerRegistry &transformers = application.valueTransformers();

    auto *action = new QComboBox(this);
    action->setObjectName(u"startupActionPopup"_s);
    action->setAccessibleName(u"At launch"_s);
    action->addItems(startupActionTitles());
    action->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    DefaultsBinding::bind(action, "currentIndex", defaults, UserDefaultsKeys::startupActionTag);

    auto *name = makeValueLabel(u"startupDocumentName"_s, u"Startup mailing"_s, this);
    auto *path = makeValueLabel(u"startupDocumentPath"_s, u"Location"_s, this);
    DefaultsBinding::bind(name, "text", defaults, UserDefaultsKeys::startupSelectedDocBookmark, transformers, u"LXNameFromBookmark"_s);
    DefaultsBinding::bind(path, "text", defaults, UserDefaultsKeys::startupSelectedDocBookmark, transformers, u"LXPathFromBookmark"_s);
    path->setForegroundRole(QPalette::PlaceholderText);

    auto *buttons = new QHBoxLayout;
    const auto button = [&](const QString &objectName, const QString &text, auto command) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(objectName);
        b->setAccessibleName(text);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, command);
        buttons->addWidget(b);
        return b;
    };
    QList<QWidget *> documentControls{name, path};
    documentControls.append(button(u"selectStartupDocButton"_s, u"Select\u2026"_s,
                                   [this] { m_application.selectStartupDoc(window()); }));
    documentControls.append(
        button(u"clearStartupDocButton"_s, u"Clear"_s, [this] { m_application.clearStartupSelectedDoc(); }));
    documentControls.append(
        button(u"testStartupDocButton"_s, u"Test"_s, [this] { m_application.testOpenStartupDoc(); }));
    documentControls.append(button(u"showStartupDocButton"_s, u"Show in Folder"_s,
                                   [this] { m_application.showInFinderStartupDoc(); }));
    buttons->addStretch(1);

    m_status->setObjectName(u"startupDocumentStatus"_s);
    m_status->setAccessibleName(u"Startup mailing status"_s);
    m_status->setWordWrap(true);
    documentControls.append(m_status);
    // The document matters only to the action that opens it.
    for (QWidget *control : documentControls)
        DefaultsBinding::bind(control, "enabled", defaults, UserDefaultsKeys::startupActionTag, transformers, u"valueIs3"_s);

    auto *form = new QFormLayout(this);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->addRow(u"At launch:"_s, action);
    form->addRow(u"Startup mailing:"_s, name);
    form->addRow(u"Location:"_s, path);
    form->addRow(QString(), buttons);
    form->addRow(QString(), m_status);
    for (QWidget *field : {static_cast<QWidget *>(action), static_cast<QWidget *>(name), static_cast<QWidget *>(path)}) {
        if (auto *label = qobject_cast<QLabel *>(form->labelForField(field)))
            label->setBuddy(field);
    }

    connect(&application, &LXAppDelegateBase::startupDocStatusChanged, this, &GeneralPreferencesPane::showStatus);
    showStatus();
}

void GeneralPreferencesPane::showStatus()
{
    m_status->setText(m_application.StartupDocPathMessageString());
}

} // namespace quillcast::gui
