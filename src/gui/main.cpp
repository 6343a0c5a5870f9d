#include "MainWindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillcast"));
    QApplication::setOrganizationName(QStringLiteral("Quillcast"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLCAST_RELEASE));

    quillcast::gui::MainWindow window;
    window.show();
    return QApplication::exec();
}
