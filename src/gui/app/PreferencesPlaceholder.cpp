#include "app/PreferencesPlaceholder.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

PreferencesPlaceholder::PreferencesPlaceholder(QWidget *parent)
    : QWidget(parent, Qt::Window), m_tabs(new QTabBar(this)), m_pages(new QStackedWidget(this))
{
    setObjectName(u"preferencesWindow"_s);
    setWindowTitle(u"Preferences"_s);
    setAccessibleName(u"Preferences"_s);

    m_tabs->setObjectName(u"preferencesPanels"_s);
    m_tabs->setAccessibleName(u"Preferences panels"_s);
    m_tabs->setExpanding(false);
    m_tabs->setDocumentMode(true);
    const QStringList names{u"General"_s, u"Mail Server"_s, u"Update"_s};
    for (const QString &name : names) {
        m_tabs->addTab(name);
        auto *page = new QWidget(m_pages);
        page->setAccessibleName(name);
        m_pages->addWidget(page);
    }
    connect(m_tabs, &QTabBar::currentChanged, m_pages, &QStackedWidget::setCurrentIndex);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 0, Qt::AlignHCenter);
    layout->addWidget(m_pages, 1);
    resize(560, 380);
}

int PreferencesPlaceholder::currentPanel() const
{
    return m_tabs->currentIndex();
}

void PreferencesPlaceholder::setCurrentPanel(int panel)
{
    if (panel >= 0 && panel < m_tabs->count())
        m_tabs->setCurrentIndex(panel);
}

void PreferencesPlaceholder::present()
{
    if (!isVisible()) {
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
    }
    show();
    raise();
    activateWindow();
}

} // namespace quillcast::gui
