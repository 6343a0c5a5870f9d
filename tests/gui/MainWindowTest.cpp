#include "MainWindow.h"

#include <QtTest>

class MainWindowTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void opensAnUntitledWindow()
    {
        quillcast::gui::MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.windowTitle().startsWith(QStringLiteral("Untitled")));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
