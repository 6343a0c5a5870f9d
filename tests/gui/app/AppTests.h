#pragma once

#include <QApplication>
#include <QList>
#include <QMessageBox>

// The suites of the application's tests, one QtTest class each, run by
// AppTestMain in one program.
int runWindowAlertPresenterTests(int argc, char **argv);
int runDesktopFilePanelTests(int argc, char **argv);
int runDesktopFileRevealerTests(int argc, char **argv);
int runDocumentControllerTests(int argc, char **argv);
int runApplicationServicesTests(int argc, char **argv);

// The message boxes now shown on no window (modal alerts); sheets, which are
// windows too, belong to theirs.
inline QList<QMessageBox *> shownTopLevelAlerts()
{
    QList<QMessageBox *> boxes;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible() && !box->parentWidget())
            boxes.append(box);
    }
    return boxes;
}

// Closes whatever alerts a test left open, as the user would with Escape.
inline void dismissTopLevelAlerts()
{
    for (QMessageBox *box : shownTopLevelAlerts()) {
        box->done(0);
        box->deleteLater();
    }
}
