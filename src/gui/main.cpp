#include "app/ApplicationServices.h"
#include "app/DocumentController.h"
#include "connections/LibsecretSecretStore.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    // The browser engine that renders mail HTML shares its graphics contexts
    // with the widgets; it has to be told before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Quillcast"_s);
    QApplication::setApplicationDisplayName(u"Quillcast"_s);
    QApplication::setOrganizationName(u"Quillcast"_s);
    QApplication::setApplicationVersion(QStringLiteral(QUILLCAST_RELEASE));
    QApplication::setDesktopFileName(u"quillcast"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Personalised bulk e-mail: one window per mailing."_s);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(u"mailings"_s, u"Mailing files (.quill) to open."_s, u"[mailing.quill...]"_s);
    parser.process(app);

    quillcast::gui::ApplicationServices::Options options;
    // Without a keyring on the session bus the passwords stay, encrypted,
    // in the settings file, as the command line keeps them too.
    options.keyring = quillcast::LibsecretSecretStore::open();
    quillcast::gui::ApplicationServices services(std::move(options));

    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&services] { services.terminate(); });

    QStringList paths;
    for (const QString &argument : parser.positionalArguments())
        paths.append(QFileInfo(argument).absoluteFilePath());
    services.launch(paths);
    return QApplication::exec();
}
