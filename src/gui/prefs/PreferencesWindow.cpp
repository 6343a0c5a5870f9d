#include "prefs/PreferencesWindow.h"

#include "app/MailerAppDelegate.h"
#include "prefs/GeneralPreferencesPane.h"
#include "prefs/UpdatePreferencesPane.h"
#include "util/UndoManager.h"

#include <QAction>
#include <QActionGroup>
#include <QGuiApplication>
#include <QHash>
#include <QIcon>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

// Wide enough for the connection table of the mail server panel.
constexpr int windowWidth = 640;

// The desktop theme's picture for a panel, else the one the program brings.
QIcon panelIcon(const QString &imageName)
{
    static const QHash<QString, QString> themeNames{
        {u"generalPref"_s, u"preferences-system"_s},
        {u"servers"_s, u"network-server"_s},
        {u"swUpdate"_s, u"system-software-update"_s},
    };
    return QIcon::fromTheme(themeNames.value(imageName), QIcon(u":/prefs/icons/%1.svg"_s.arg(imageName)));
}

} // namespace

PreferencesWindow::PreferencesWindow(Services services, PaneFactory mailServerPane, QWidget *parent)
    : QWidget(parent, Qt::Window), m_undo(new UndoManager(this)), m_toolbar(new QToolBar(this)),
      m_pagesLayout(new QVBoxLayout)
{
    setObjectName(u"preferencesWindow"_s);
    setAccessibleName(u"Preferences"_s);

    m_toolbar->setObjectName(u"preferencesToolbar"_s);
    m_toolbar->setAccessibleName(u"Preferences panels"_s);
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    // The panels are fixed: no menu to hide or rearrange them.
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const int iconSide = style()->pixelMetric(QStyle::PM_ToolBarIconSize, nullptr, m_toolbar);
    m_toolbar->setIconSize(QSize(iconSide, iconSide));

    // Pages that are hidden take no room, so the window can be as short as
    // the shown panel; the toolbar delegate alone decides the size.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addWidget(m_toolbar);
    layout->addLayout(m_pagesLayout, 1);

    QWidget *mailServer = nullptr;
    if (mailServerPane)
        mailServer = mailServerPane(*this);
    if (!mailServer) {
        auto *note = new QLabel(u"The mail server connections are not available in this build."_s, this);
        note->setObjectName(u"mailServerNote"_s);
        note->setAlignment(Qt::AlignCenter);
        note->setWordWrap(true);
        mailServer = note;
    }
    page(General, new GeneralPreferencesPane(services.application, services.defaults, this));
    page(MailServer, mailServer);
    page(Update, new UpdatePreferencesPane(services.application, services.defaults, this));

    m_delegate.setWindow(this);
    auto *group = new QActionGroup(this);
    group->setExclusive(true);
    const QList<LXPrefToolbarItem> items = [this] {
        // The items exist once the toolbar is set up; set up first with a
        // provisional size, then build the buttons from the same items.
        resize(windowWidth, 400);
        m_delegate.setUpToolbar();
        return m_delegate.toolbarItems();
    }();
    for (int i = 0; i < items.size(); ++i) {
        const LXPrefToolbarItem &item = items.at(i);
        auto *action = new QAction(panelIcon(item.imageName), item.label, group);
        action->setObjectName(u"preferencesPanel%1"_s.arg(item.itemIdentifier));
        action->setToolTip(item.toolTip);
        action->setCheckable(true);
        action->setChecked(i == m_currentPanel);
        connect(action, &QAction::triggered, this, [this, i] {
            if (i < m_delegate.toolbarItems().size())
                m_delegate.PanelAction(&m_delegate.toolbarItems().at(i));
        });
        m_toolbar->addAction(action);
        if (QWidget *button = m_toolbar->widgetForAction(action)) {
            button->setObjectName(u"preferencesPanelButton%1"_s.arg(item.itemIdentifier));
            button->setAccessibleName(item.label);
        }
        m_panelActions.append(action);
    }

    // The window's own Undo and Redo: additions and deletions of connections.
    auto *undo = new QAction(u"Undo"_s, this);
    undo->setObjectName(u"actionPreferencesUndo"_s);
    undo->setShortcuts(QKeySequence::Undo);
    connect(undo, &QAction::triggered, m_undo, &UndoManager::undo);
    auto *redo = new QAction(u"Redo"_s, this);
    redo->setObjectName(u"actionPreferencesRedo"_s);
    redo->setShortcuts(QKeySequence::Redo);
    connect(redo, &QAction::triggered, m_undo, &UndoManager::redo);
    auto *close = new QAction(u"Close"_s, this);
    close->setObjectName(u"actionPreferencesClose"_s);
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addActions({undo, redo, close});
    const auto nameUndo = [this, undo, redo] {
        undo->setEnabled(m_undo->canUndo());
        redo->setEnabled(m_undo->canRedo());
    };
    connect(m_undo, &UndoManager::changed, this, nameUndo);
    nameUndo();
}

PreferencesWindow::~PreferencesWindow()
{
    m_delegate.setWindow(nullptr);
}

QWidget *PreferencesWindow::page(int index, QWidget *contents)
{
    contents->setParent(this);
    contents->setVisible(index == m_currentPanel);
    m_pagesLayout->addWidget(contents);
    if (m_pages.size() <= index)
        m_pages.resize(index + 1);
    m_pages[index] = contents;
    return contents;
}

void PreferencesWindow::setCurrentPanel(int panel)
{
    m_delegate.selectPanel(panel);
}

void PreferencesWindow::present()
{
    if (!isVisible()) {
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), screen->availableGeometry()));
    }
    show();
    raise();
    activateWindow();
}

QRectF PreferencesWindow::frame() const
{
    return QRectF(geometry());
}

void PreferencesWindow::setFrame(const QRectF &frame)
{
    setGeometry(frame.toRect());
}

qreal PreferencesWindow::contentHeight() const
{
    return height() - m_toolbar->sizeHint().height();
}

void PreferencesWindow::setTitle(const QString &title)
{
    setWindowTitle(title);
}

void PreferencesWindow::selectTabPage(int index)
{
    m_currentPanel = index;
    for (int i = 0; i < m_pages.size(); ++i) {
        if (m_pages.at(i))
            m_pages.at(i)->setVisible(i == index);
    }
    if (index < m_panelActions.size())
        m_panelActions.at(index)->setChecked(true);
}

} // namespace quillcast::gui
