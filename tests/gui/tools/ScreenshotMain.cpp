// Pictures of the mailing window for the documentation: opens a mailing only
// to look at it (no lock, no autosave), shows its window at a fixed size on
// whatever platform Qt runs on (offscreen for the pictures), and saves each
// page and the main menus as PNG. With --stay-open the window then stays up,
// for tools that inspect it from outside (the accessibility check).
//
//   quillcast-screenshots [--out DIR] [--size WxH] [--icon-theme NAME] [--stay-open] MAILING
#include "FakeApplicationActions.h"
#include "MailingWindow.h"
#include "PageSettler.h"
#include "RecordingDocumentOpener.h"
#include "RecordingFileRevealer.h"
#include "RecordingUrlOpener.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"
#include "WindowServices.h"
#include "IsolatedApplication.h"
#include "app/ApplicationServices.h"
#include "app/update/UpdateListSource.h"
#include "export/ExportFlow.h"
#include "export/ExportSettingsSheet.h"
#include "import/ImportFlow.h"
#include "import/ImportMappingSheet.h"
#include "platform/FixedClock.h"
#include "platform/LXBookmark.h"
#include "platform/NullUrlOpener.h"
#include "platform/UserDefaults.h"
#include "app/MailerAppDelegate.h"
#include "connections/ConnectionList.h"
#include "prefs/PreferencesWindow.h"
#include "send/StaticConnectionProvider.h"
#include "session/DocumentSession.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QPushButton>
#include <QDir>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextStream>

#include <chrono>
#include <cstdio>
#include <memory>

using namespace quillcast;
using namespace quillcast::gui;
using namespace quillcast::gui::testing;
using namespace quillcast::gui::tools;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

// The pages in the window's order, named as the documents name their tabs.
const QStringList kPageNames{u"database"_s, u"exceptions"_s, u"mail"_s, u"preview"_s, u"send"_s};
// HTML views start their engine on first use: the first page that has one
// waits longest.
constexpr auto kSettleLimit = 3000ms;

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

// The window as it shows. HTML views draw in the browser engine's own
// surface, which a window's grab may leave blank: their own grab goes on top.
QImage picture(MailingWindow &window)
{
    QImage shot = window.grab().toImage();
    QPainter painter(&shot);
    const QList<QWidget *> widgets = window.findChildren<QWidget *>();
    for (QWidget *view : widgets) {
        if (view->inherits("QWebEngineView") && view->isVisible())
            painter.drawPixmap(view->mapTo(&window, QPoint()), view->grab());
    }
    return shot;
}

// A window's picture with one of its menus open below its title in the menu bar.
QImage withMenuOpen(MailingWindow &window, PageSettler &settler, const QString &menuName)
{
    auto *menu = window.findChild<QMenu *>(menuName);
    if (!menu)
        return {};
    QMenuBar *bar = window.menuBar();
    const QPoint below = bar->mapTo(&window, bar->actionGeometry(menu->menuAction()).bottomLeft());
    menu->popup(window.mapToGlobal(below));
    settler.settle(&window, 300ms);
    QImage shot = picture(window);
    {
        QPainter painter(&shot);
        painter.drawPixmap(below, menu->grab());
    }
    menu->hide();
    return shot;
}

// The inner tabs of page that show something else than at first: the
// mail's HTML rendering beside its text, say. Tab sets out of sight (the
// HTML parts of a plain-text mail) stay out of the pictures too.
QList<QPair<QTabWidget *, int>> innerTabsOf(QWidget *page)
{
    QList<QPair<QTabWidget *, int>> found;
    const QList<QTabWidget *> inner = page->findChildren<QTabWidget *>();
    for (QTabWidget *tabs : inner) {
        if (!tabs->isVisible())
            continue;
        for (int tab = 0; tab < tabs->count(); ++tab) {
            if (tab != tabs->currentIndex() && tabs->isTabVisible(tab) && tabs->isTabEnabled(tab))
                found.append({tabs, tab});
        }
    }
    return found;
}

// A file name's part from a tab's title: "HTML" -> "html", "&Web" -> "web".
QString slug(const QString &title)
{
    QString name = title.toLower().remove(u'&');
    name.replace(QRegularExpression(u"[^a-z0-9]+"_s), u"-"_s);
    return name.remove(QRegularExpression(u"^-+|-+$"_s));
}

// The maker's update server stays out of the pictures.
struct NoUpdateList final : UpdateListSource
{
    std::optional<Dict> fetch(const QUrl &, std::stop_token) override { return std::nullopt; }
};

bool save(const QImage &image, const QDir &out, const QString &name)
{
    const QString path = out.filePath(name + u".png"_s);
    if (image.isNull() || !image.save(path)) {
        err() << "screenshots: could not write " << path << Qt::endl;
        return false;
    }
    err() << "screenshots: " << path << Qt::endl;
    return true;
}

// The preferences window's three panels, as a user who opens a mailing at
// launch sees them; its own settings, in a folder of its own. The mailing is
// copied to a fixed place so that the path shown is the same on every machine.
bool savePreferences(const QDir &out, const QString &mailing, PageSettler &settler, int firstNumber)
{
    QTemporaryDir settings;
    const QString startup = QDir::temp().filePath(u"Mailings/Newsletter.quill"_s);
    QDir().mkpath(QFileInfo(startup).path());
    QFile::remove(startup);
    QFile::copy(mailing, startup);
    NoUpdateList updates;
    RecordingUrlOpener urls;
    ApplicationServices services(isolatedApplication(settings.filePath(u"settings.ini"_s), updates, urls));
    services.defaults().setObject(u"StartupActionTag"_s, Value(qint64(3)));
    if (const std::optional<QByteArray> bookmark = LXBookmark::bookmarkForURL_RW(startup))
        services.defaults().setObject(u"StartupSelectedDocBookmark"_s, Value(*bookmark));

    // Two connections, the first selected, as a club's secretary keeps them.
    ConnectionList &connections = services.application().connections();
    const struct
    {
        QString description, host, user;
        qint64 portChoice, customPort, security; // port choice: 25, custom, 465
    } examples[] = {{u"Club mail (STARTTLS)"_s, u"smtp.club.example"_s, u"secretary"_s, 1, 587, 1},
                    {u"Provider (TLS)"_s, u"mail.provider.example"_s, u"club@provider.example"_s, 2, 0, 2}};
    for (const auto &example : examples) {
        connections.addNewConnection();
        const qsizetype row = connections.connectionArray().size() - 1;
        connections.editConnectionField(row, u"mailServerDescription"_s, Value(example.description));
        connections.editConnectionField(row, u"mailServerName"_s, Value(example.host));
        connections.editConnectionField(row, u"username"_s, Value(example.user));
        connections.editConnectionField(row, u"useCustomPort"_s, Value(example.portChoice));
        if (example.customPort)
            connections.editConnectionField(row, u"customPortUsed"_s, Value(example.customPort));
        connections.editConnectionField(row, u"connectionType"_s, Value(example.security));
    }
    connections.setSelectionIndexes({0});

    PreferencesWindow &preferences = services.preferences();
    preferences.present();
    const QStringList names{u"general"_s, u"mail-server"_s, u"update"_s};
    bool ok = true;
    for (int panel = 0; panel < names.size(); ++panel) {
        preferences.setCurrentPanel(panel);
        settler.settle(&preferences, 300ms);
        ok = save(preferences.grab().toImage(), out, u"%1-preferences-%2"_s.arg(firstNumber + panel).arg(names[panel]))
            && ok;
    }
    preferences.hide();
    QFile::remove(startup);
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    // The HTML views' engine shares its drawing contexts with the widgets.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Quillcast"_s);
    QApplication::setOrganizationName(u"Quillcast"_s);
    QApplication::setApplicationVersion(QStringLiteral(QUILLCAST_RELEASE));

    QCommandLineParser options;
    options.setApplicationDescription(u"Saves a picture of each page of a mailing's window."_s);
    options.addHelpOption();
    const QCommandLineOption outOption(u"out"_s, u"Where the pictures go (none: no pictures)."_s, u"dir"_s);
    const QCommandLineOption sizeOption(u"size"_s, u"The window's size."_s, u"WxH"_s, u"1100x750"_s);
    const QCommandLineOption stayOption(u"stay-open"_s, u"Keep the window up afterwards."_s);
    const QCommandLineOption themeOption(u"icon-theme"_s, u"The icon theme where the platform names none."_s,
                                         u"name"_s, u"Adwaita"_s);
    options.addOptions({outOption, sizeOption, stayOption, themeOption});
    options.addPositionalArgument(u"mailing"_s, u"The .quill file to show."_s);
    options.process(app);
    if (options.positionalArguments().size() != 1)
        options.showHelp(2);
    const QString mailing = options.positionalArguments().constFirst();
    const QStringList size = options.value(sizeOption).split(u'x');
    if (size.size() != 2 || size[0].toInt() <= 0 || size[1].toInt() <= 0) {
        err() << "screenshots: --size wants WIDTHxHEIGHT" << Qt::endl;
        return 2;
    }

    // The offscreen platform has no desktop and so no icon theme: the pictures
    // show the window as it looks on a desktop with this one.
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == u"hicolor") {
        QStringList searchPaths = QIcon::themeSearchPaths();
        for (const QString &data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
            if (const QString icons = QDir(data).filePath(u"icons"_s); !searchPaths.contains(icons))
                searchPaths.append(icons);
        }
        QIcon::setThemeSearchPaths(searchPaths);
        QIcon::setThemeName(options.value(themeOption));
    }

    // The same moment every time: dates on the pages do not change the pictures.
    FixedClock clock(QDateTime(QDate(2026, 3, 2), QTime(9, 30), QTimeZone::utc()));
    ScriptedAlertPresenter appAlerts;
    RecordingUrlOpener urlOpener;
    RecordingFileRevealer revealer;
    RecordingDocumentOpener opener;
    FakeApplicationActions application;
    StaticConnectionProvider connections(List({Value(Dict{{u"mailServerDescription"_s, Value(u"Office"_s)},
                                                          {u"mailServerName"_s, Value(u"smtp.example.org"_s)},
                                                          {u"connectionType"_s, Value(qint64(1))},
                                                          {u"authenticationType"_s, Value(qint64(0))},
                                                          {u"port"_s, Value(qint64(587))}})}));
    // Sheets are answered by their first button and listed at the end: a
    // picture of a page should not need one.
    ScriptedAlertPresenter *windowAlerts = nullptr;
    WindowServices services{application, urlOpener, revealer, &opener, &connections, {}, {}};
    services.makeAlerts = [&windowAlerts](QWidget *) {
        auto made = std::make_unique<ScriptedAlertPresenter>();
        windowAlerts = made.get();
        return std::unique_ptr<AlertPresenter>(std::move(made));
    };
    ScriptedFilePanel *windowPanel = nullptr;
    services.makeFilePanel = [&windowPanel](QWidget *) {
        auto made = std::make_unique<ScriptedFilePanel>();
        windowPanel = made.get();
        return std::unique_ptr<FilePanel>(std::move(made));
    };

    auto session = std::make_unique<DocumentSession>(
        DocumentSession::Services{clock, appAlerts, NullUrlOpener::instance(), nullptr});
    if (const Status opened = session->open(mailing, DocumentSession::Access::Reading); !opened) {
        err() << "screenshots: " << mailing << ": " << opened.error() << Qt::endl;
        return 1;
    }

    PageSettler settler;
    MailingWindow window(std::move(session), services);
    // Before the first turn of the event loop: the pages' first loads are seen.
    settler.watch(&window);
    window.resize(size[0].toInt(), size[1].toInt());
    window.show();
    window.activateWindow();

    bool ok = true;
    if (options.isSet(outOption)) {
        const QDir out(options.value(outOption));
        if (!QDir().mkpath(out.path())) {
            err() << "screenshots: cannot make " << out.path() << Qt::endl;
            return 1;
        }
        QTabWidget *tabs = window.tabs();
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            if (!settler.settle(&window, kSettleLimit))
                err() << "screenshots: page " << tab + 1 << " still loading after " << kSettleLimit.count() << " ms"
                      << Qt::endl;
            const QString page = tab < kPageNames.size() ? kPageNames[tab] : tabs->tabText(tab).toLower();
            ok = save(picture(window), out, u"%1-%2"_s.arg(tab + 1).arg(page)) && ok;
            // What the page keeps behind inner tabs (HTML views load now).
            for (const auto &[inner, index] : innerTabsOf(tabs->widget(tab))) {
                const int shown = inner->currentIndex();
                inner->setCurrentIndex(index);
                if (!settler.settle(&window, kSettleLimit))
                    err() << "screenshots: inner tab of page " << tab + 1 << " still loading after "
                          << kSettleLimit.count() << " ms" << Qt::endl;
                ok = save(picture(window), out,
                          u"%1-%2-%3"_s.arg(tab + 1).arg(page, slug(inner->tabText(index))))
                    && ok;
                inner->setCurrentIndex(shown);
            }
        }
        // The records commands as the database page offers them.
        tabs->setCurrentIndex(0);
        settler.settle(&window, kSettleLimit);
        ok = save(withMenuOpen(window, settler, u"menuFile"_s), out, u"%1-menu-file"_s.arg(tabs->count() + 1)) && ok;
        ok = save(withMenuOpen(window, settler, u"menuRecords"_s), out, u"%1-menu-records"_s.arg(tabs->count() + 2))
            && ok;

        // The import's mapping sheet over the recipients file beside the
        // mailing, mapped from its first row.
        windowPanel->queueOpenAnswer(QFileInfo(mailing).dir().filePath(u"recipients.csv"_s));
        window.findChild<ImportFlow *>()->startAddressImport();
        settler.settle(&window, kSettleLimit);
        if (ImportMappingSheet *mapping = window.findChild<ImportMappingSheet *>()) {
            mapping->toolButton(ImportMappingSheet::Tool::FromFirstRow)->click();
            settler.settle(mapping, 300ms);
            ok = save(mapping->grab().toImage(), out, u"%1-import-mapping"_s.arg(tabs->count() + 3)) && ok;
            mapping->reject();
        } else {
            err() << "screenshots: no import mapping sheet" << Qt::endl;
            ok = false;
        }
        // The export's settings sheet: every key, quoted CSV with the names row.
        window.findChild<ExportFlow *>()->start();
        if (ExportSettingsSheet *exporting = window.findChild<ExportSettingsSheet *>()) {
            exporting->findChild<QPushButton *>(u"addAllButton"_s)->click();
            const int quoted = exporting->layoutPopUp()->findText(u"Quoted CSV"_s);
            exporting->layoutPopUp()->setCurrentIndex(quoted);
            Q_EMIT exporting->layoutPopUp()->activated(quoted);
            exporting->namesRowCheckBox()->click();
            settler.settle(exporting, 300ms);
            ok = save(exporting->grab().toImage(), out, u"%1-export-settings"_s.arg(tabs->count() + 4)) && ok;
            exporting->reject();
        } else {
            err() << "screenshots: no export settings sheet" << Qt::endl;
            ok = false;
        }
        ok = savePreferences(out, mailing, settler, tabs->count() + 5) && ok;
    }

    for (const Alert &alert : appAlerts.shown())
        err() << "screenshots: alert while opening: " << alert.messageText << Qt::endl;
    if (windowAlerts) {
        for (const Alert &alert : windowAlerts->shown())
            err() << "screenshots: sheet: " << alert.messageText << Qt::endl;
    }

    if (options.isSet(stayOption))
        return QApplication::exec();
    return ok ? 0 : 1;
}
