#include "AppTests.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int failures = 0;
    for (auto *suite : {runWindowAlertPresenterTests, runDesktopFilePanelTests, runDesktopFileRevealerTests,
                        runDocumentControllerTests, runApplicationServicesTests})
        failures += suite(argc, argv);
    return failures == 0 ? 0 : 1;
}
