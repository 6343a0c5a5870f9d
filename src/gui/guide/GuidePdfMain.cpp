// Builds the user guide's PDF from its Markdown chapters at build time:
//   quillcast-guide-pdf --output GUIDE.pdf --title TITLE --subtitle TEXT CHAPTER.md...
#include "GuideDocument.h"

#include <QCommandLineParser>
#include <QGuiApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    // Fonts and pictures need a GUI application, not a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The page layout is reckoned in the document's unit, 1/96 inch,
    // whatever the screen says.
    QCoreApplication::setAttribute(Qt::AA_Use96Dpi);
    QGuiApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Prints the user guide's chapters into a PDF file."_s);
    parser.addHelpOption();
    const QCommandLineOption output(u"output"_s, u"The PDF file to write."_s, u"file"_s);
    const QCommandLineOption title(u"title"_s, u"The guide's title."_s, u"text"_s);
    const QCommandLineOption subtitle(u"subtitle"_s, u"The line below the title."_s, u"text"_s);
    parser.addOptions({output, title, subtitle});
    parser.addPositionalArgument(u"chapters"_s, u"The chapters, Markdown, in order."_s, u"CHAPTER.md..."_s);
    parser.process(app);

    const auto fail = [](const QString &message) {
        std::fprintf(stderr, "quillcast-guide-pdf: %s\n", qPrintable(message));
        return 1;
    };
    if (!parser.isSet(output) || parser.positionalArguments().isEmpty())
        return fail(u"give --output and at least one chapter"_s);

    quillcast::gui::GuideDocument guide;
    for (const QString &chapter : parser.positionalArguments()) {
        if (const quillcast::Status added = guide.addChapter(chapter); !added)
            return fail(added.error());
    }
    for (const QString &picture : guide.missingPictures())
        std::fprintf(stderr, "quillcast-guide-pdf: warning: picture %s is missing; left out\n", qPrintable(picture));
    const quillcast::Status written =
        guide.writePdf(parser.value(output), parser.value(title), parser.value(subtitle));
    if (!written)
        return fail(written.error());
    return 0;
}
