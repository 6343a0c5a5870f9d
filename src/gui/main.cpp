#include "MailingWindow.h"
#include "app/ApplicationIcon.h"
#include "app/ApplicationServices.h"
#include "app/DocumentController.h"
#include "app/SingleInstance.h"
#include "connections/LibsecretSecretStore.h"
#include "platform/HugePageHeap.h"
#include "platform/SettingsFileStore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    // Any mailing may be opened later, a large one among them.
    quillcast::HugePageHeap::restartWithHugePages(argv);
    // The browser engine that renders mail HTML shares its graphics contexts
    // with the widgets; it has to be told before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Quillcast"_s);
    QApplication::setApplicationDisplayName(u"Quillcast"_s);
    QApplication::setOrganizationName(u"Quillcast"_s);
    QApplication::setApplicationVersion(QStringLiteral(QUILLCAST_RELEASE));
    QApplication::setDesktopFileName(u"quillcast"_s);
    QApplication::setWindowIcon(quillcast::gui::ApplicationIcon::load());

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Personalised bulk e-mail: one window per mailing."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption openPanel(u"open"_s, u"Show the Open panel to choose mailings."_s);
    parser.addOption(openPanel);
    parser.addPositionalArgument(u"mailings"_s, u"Mailing files (.quill) to open."_s, u"[mailing.quill...]"_s);
    parser.process(app);

    QStringList paths;
    for (const QString &argument : parser.positionalArguments())
        paths.append(QFileInfo(argument).absoluteFilePath());

    // A Quillcast that runs already opens the mailings itself.
    quillcast::gui::SingleInstance instance(
        quillcast::gui::SingleInstance::serverNameFor(quillcast::SettingsFileStore::userFileName()));
    switch (instance.start(paths, parser.isSet(openPanel))) {
    case quillcast::gui::SingleInstance::Outcome::HandedOver:
        return 0;
    case quillcast::gui::SingleInstance::Outcome::NoAnswer:
        std::fprintf(stderr, "quillcast: Quillcast is running but does not answer: %s\n",
                     qPrintable(instance.errorString()));
        return 1;
    case quillcast::gui::SingleInstance::Outcome::Unavailable:
        std::fprintf(stderr, "quillcast: mailings opened later start another Quillcast: %s\n",
                     qPrintable(instance.errorString()));
        break;
    case quillcast::gui::SingleInstance::Outcome::Primary:
        break;
    }

    quillcast::gui::ApplicationServices::Options options;
    // Without a keyring on the session bus the passwords stay, encrypted,
    // in the settings file, as the command line keeps them too.
    options.keyring = quillcast::LibsecretSecretStore::open();
    quillcast::gui::ApplicationServices services(std::move(options));

    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&services] { services.terminate(); });

    QObject::connect(&instance, &quillcast::gui::SingleInstance::requestReceived, &app,
                     [&services](const QStringList &handed, bool showOpenPanel) {
                         quillcast::gui::DocumentController &documents = services.documents();
                         for (const QString &path : handed)
                             documents.openDocument(path);
                         if (showOpenPanel)
                             documents.showOpenPanel(nullptr);
                         if (!handed.isEmpty() || showOpenPanel)
                             return;
                         // Started again with nothing to open: the newest
                         // window comes to the front, or a new mailing when
                         // none is open.
                         if (documents.windows().isEmpty()) {
                             documents.newDocument();
                             return;
                         }
                         quillcast::gui::MailingWindow *front = documents.windows().constLast();
                         front->raise();
                         front->activateWindow();
                     });
    services.launch(paths);
    if (parser.isSet(openPanel))
        services.documents().showOpenPanel(nullptr);
    return QApplication::exec();
}
