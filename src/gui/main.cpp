#include <QApplication>
#include <QMainWindow>

// Stands until the document controller takes over the start-up.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillcast"));
    QApplication::setOrganizationName(QStringLiteral("Quillcast"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLCAST_RELEASE));

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Untitled"));
    window.show();
    return QApplication::exec();
}
