#include "prefs/UpdatePreferencesPane.h"

#include "app/MailerAppDelegate.h"
#include "platform/UserDefaults.h"
#include "platform/UserDefaultsKeys.h"
#include "prefs/DefaultsBinding.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

UpdatePreferencesPane::UpdatePreferencesPane(MailerAppDelegate &application, UserDefaults &defaults, QWidget *parent)
    : QWidget(parent), m_defaults(defaults), m_lastCheck(new QLabel(this))
{
    setObjectName(u"updatePreferencesPane"_s);
    setAccessibleName(u"Update"_s);

    auto *notify = new QCheckBox(u"Tell me at launch when a new release is available"_s, this);
    notify->setObjectName(u"notifyUpdateCheckBox"_s);
    notify->setAccessibleName(notify->text());
    DefaultsBinding::bind(notify, "checked", defaults, UserDefaultsKeys::notifyUpdate);

    auto *explanation = new QLabel(
        u"Quillcast looks for a new release at most once a day. You are using release %1."_s.arg(
            application.releaseString()),
        this);
    explanation->setObjectName(u"updateExplanation"_s);
    explanation->setWordWrap(true);
    explanation->setForegroundRole(QPalette::PlaceholderText);

    auto *checkNow = new QPushButton(u"Check Now"_s, this);
    checkNow->setObjectName(u"checkNowButton"_s);
    checkNow->setAccessibleName(checkNow->text());
    checkNow->setAutoDefault(false);
    connect(checkNow, &QPushButton::clicked, this, [&application] { application.checkForLastReleaseAvailable(); });

    m_lastCheck->setObjectName(u"lastUpdateCheck"_s);
    m_lastCheck->setAccessibleName(u"Last check"_s);

    auto *row = new QHBoxLayout;
    row->addWidget(checkNow);
    row->addWidget(m_lastCheck, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(notify);
    layout->addWidget(explanation);
    layout->addSpacing(layout->spacing());
    layout->addLayout(row);
    layout->addStretch(1);

    // The date of the last check that reached the server.
    m_observer = m_defaults.addObserver([this](const QString &key) {
        if (key == UserDefaultsKeys::lastCheckDateForUpdate)
            showLastCheck();
    });
    showLastCheck();
}

UpdatePreferencesPane::~UpdatePreferencesPane()
{
    m_defaults.removeObserver(m_observer);
}

void UpdatePreferencesPane::showLastCheck()
{
    const std::optional<QDateTime> last = m_defaults.dateForKey(UserDefaultsKeys::lastCheckDateForUpdate);
    m_lastCheck->setText(last ? u"Last checked: %1"_s.arg(QLocale().toString(last->toLocalTime(), QLocale::ShortFormat))
                              : u"Never checked"_s);
}

} // namespace quillcast::gui
