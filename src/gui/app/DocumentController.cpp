#include "app/DocumentController.h"

#include "MailingWindow.h"
#include "app/RecentDocuments.h"
#include "app/WindowAlertPresenter.h"
#include "document/NewerReleaseAlert.h"
#include "session/DocumentSession.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

// A mailing another Quillcast process is changing is refused at once rather
// than after the lock's usual wait: the window would freeze meanwhile, and
// the user can simply try again.
constexpr std::chrono::milliseconds lockWait{100};

// Every new window a little below and to the right of the last one, so
// that none hides another entirely.
constexpr int cascadeStep = 24;

bool samePath(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QFileInfo first(a);
    const QFileInfo second(b);
    const QString canonicalA = first.canonicalFilePath();
    const QString canonicalB = second.canonicalFilePath();
    if (!canonicalA.isEmpty() && !canonicalB.isEmpty())
        return canonicalA == canonicalB;
    return first.absoluteFilePath() == second.absoluteFilePath();
}

} // namespace

// A window with the presenter its session's alerts go to: the presenter
// must outlive the session, which the window holds.
struct DocumentController::OpenWindow
{
    // Told apart by address: in its destroyed signal the window is no
    // MailingWindow any more.
    const QObject *identity = nullptr;
    QPointer<MailingWindow> window;
    std::unique_ptr<WindowAlertPresenter> sessionAlerts;
};

DocumentController::DocumentController(Services services, QObject *parent)
    : QObject(parent),
      m_services(services),
      m_windowServices{*this,
                       services.urlOpener,
                       services.revealer,
                       this,
                       nullptr,
                       [](QWidget *window) -> std::unique_ptr<AlertPresenter> {
                           return std::make_unique<WindowAlertPresenter>(window);
                       },
                       [this](QWidget *window) -> std::unique_ptr<FilePanel> {
                           auto panel = std::make_unique<DesktopFilePanel>(window);
                           for (auto it = m_accessories.cbegin(); it != m_accessories.cend(); ++it)
                               panel->setAccessoryFactory(it.key(), it.value());
                           return panel;
                       }},
      m_quitApplication([] { QCoreApplication::quit(); })
{
}

DocumentController::~DocumentController()
{
    // The windows hold sessions whose presenters are ours: they go first.
    for (const auto &open : m_windows) {
        if (open->window)
            QObject::disconnect(open->window, nullptr, this, nullptr);
    }
    for (const auto &open : m_windows)
        delete open->window.data();
}

void DocumentController::setFilePanelAccessory(FilePanel::Accessory accessory,
                                               DesktopFilePanel::AccessoryFactory factory)
{
    m_openPanel.setAccessoryFactory(accessory, factory);
    m_accessories.insert(accessory, std::move(factory));
}

void DocumentController::setConnectionProvider(ConnectionProvider *connections)
{
    m_windowServices.connections = connections;
}

std::unique_ptr<DocumentSession> DocumentController::makeSession(WindowAlertPresenter &alerts)
{
    DocumentSession::Services services{m_services.clock, alerts, m_services.urlOpener, m_services.timers, lockWait};
    auto session = std::make_unique<DocumentSession>(services);
    // Opened and saved-as mailings head the recent list.
    connect(session.get(), &DocumentSession::filePathChanged, this, [this](const QString &path) {
        if (!path.isEmpty())
            noteRecentDocument(path);
    });
    return session;
}

MailingWindow *DocumentController::adopt(std::unique_ptr<DocumentSession> session,
                                         std::unique_ptr<WindowAlertPresenter> alerts)
{
    QPointer<MailingWindow> previous = m_windows.empty() ? nullptr : m_windows.back()->window;
    auto *window = new MailingWindow(std::move(session), m_windowServices);
    window->setAttribute(Qt::WA_DeleteOnClose);
    // The document's sheets come up on its window from now on.
    alerts->setWindow(window);
    auto open = std::make_unique<OpenWindow>();
    open->identity = window;
    open->window = window;
    open->sessionAlerts = std::move(alerts);
    m_windows.push_back(std::move(open));
    connect(window, &QObject::destroyed, this, &DocumentController::forget);
    if (previous && previous->isVisible())
        window->move(previous->pos() + QPoint(cascadeStep, cascadeStep));
    window->show();
    Q_EMIT windowOpened(window);
    return window;
}

void DocumentController::forget(QObject *window)
{
    // The session went with the window's members before this signal; its
    // presenter may go now.
    std::erase_if(m_windows, [window](const std::unique_ptr<OpenWindow> &open) {
        return open->identity == window || open->window.isNull();
    });
}

void DocumentController::newDocument()
{
    auto alerts = std::make_unique<WindowAlertPresenter>();
    std::unique_ptr<DocumentSession> session = makeSession(*alerts);
    session->setUntitledName(nextUntitledName());
    adopt(std::move(session), std::move(alerts));
}

QString DocumentController::nextUntitledName() const
{
    // The lowest number no open untitled window uses, as desktops count them.
    QStringList taken;
    for (MailingWindow *window : windows()) {
        if (window->filePath().isEmpty())
            taken.append(window->session().displayName());
    }
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? u"Untitled"_s : u"Untitled %1"_s.arg(n);
        if (!taken.contains(name))
            return name;
    }
}

QString DocumentController::openFailedMessage(const QString &path)
{
    return u"The document \u201c%1\u201d could not be opened."_s.arg(QFileInfo(path).fileName());
}

bool DocumentController::openDocument(const QString &path)
{
    if (MailingWindow *open = windowFor(path)) {
        if (open->isMinimized())
            open->showNormal();
        open->show();
        open->raise();
        open->activateWindow();
        return true;
    }
    auto alerts = std::make_unique<WindowAlertPresenter>();
    std::unique_ptr<DocumentSession> session = makeSession(*alerts);
    if (const Status opened = session->open(path); !opened) {
        // A mailing of a newer release has had its own alert, with the way
        // to the download page; a second one would only repeat it.
        if (opened.error() != NewerReleaseAlert::forDocument().messageText) {
            WindowAlertPresenter why;
            why.present(Alert{openFailedMessage(path), opened.error(), {u"OK"_s}, Alert::Style::Warning,
                              Alert::Kind::Modal},
                        {});
        }
        return false;
    }
    adopt(std::move(session), std::move(alerts));
    return true;
}

void DocumentController::showOpenPanel(QWidget *parent)
{
    FilePanel::OpenRequest request;
    request.window = parent;
    request.allowedExtensions = {u"quill"_s};
    request.allowsMultipleSelection = true;
    request.filesOnly = true;
    QPointer<DocumentController> self(this);
    m_openPanel.runOpenPanel(request, [self](std::optional<QStringList> paths) {
        if (!self || !paths)
            return;
        for (const QString &path : *paths)
            self->openDocument(path);
    });
}

QStringList DocumentController::recentDocuments() const
{
    return m_services.recent.paths();
}

void DocumentController::clearRecentDocuments()
{
    m_services.recent.clear();
}

void DocumentController::noteRecentDocument(const QString &path)
{
    m_services.recent.note(path);
}

void DocumentController::showPreferences(int panel)
{
    if (m_showPreferences)
        m_showPreferences(panel);
}

QList<MailingWindow *> DocumentController::windows() const
{
    QList<MailingWindow *> list;
    for (const auto &open : m_windows) {
        if (open->window)
            list.append(open->window);
    }
    return list;
}

int DocumentController::openDocumentCount() const
{
    // A window that has closed lingers until its deletion comes round.
    return int(std::count_if(m_windows.cbegin(), m_windows.cend(),
                             [](const auto &open) { return open->window && open->window->isVisible(); }));
}

MailingWindow *DocumentController::windowFor(const QString &path) const
{
    for (const auto &open : m_windows) {
        if (open->window && open->window->isVisible() && samePath(open->window->filePath(), path))
            return open->window;
    }
    return nullptr;
}

void DocumentController::quit()
{
    if (m_quitting)
        return;
    m_quitting = true;
    m_toClose.clear();
    for (MailingWindow *window : windows())
        m_toClose.append(window);
    closeNextForQuit();
}

void DocumentController::closeNextForQuit()
{
    while (!m_toClose.isEmpty() && (!m_toClose.first() || !m_toClose.first()->isVisible()))
        m_toClose.removeFirst();
    if (m_toClose.isEmpty()) {
        m_quitting = false;
        if (m_quitApplication)
            m_quitApplication();
        return;
    }
    QPointer<MailingWindow> window = m_toClose.takeFirst();
    QPointer<DocumentController> self(this);
    window->requestClose([self](bool closed) {
        if (!self)
            return;
        if (!closed) {
            self->m_quitting = false;
            self->m_toClose.clear();
            Q_EMIT self->quitCancelled();
            return;
        }
        // On the next turn: the answer may come from inside the window's
        // own close handling.
        QMetaObject::invokeMethod(
            self.data(),
            [self] {
                if (self)
                    self->closeNextForQuit();
            },
            Qt::QueuedConnection);
    });
}

} // namespace quillcast::gui
