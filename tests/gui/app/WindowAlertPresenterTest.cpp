#include "AccessibleNames.h"
#include "AppTests.h"
#include "app/WindowAlertPresenter.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

#include <optional>

using namespace quillcast;
using namespace quillcast::gui;
using namespace Qt::StringLiterals;

namespace {

Alert sheet(const QStringList &buttons, Alert::Style style = Alert::Style::Warning)
{
    return Alert{u"Delete the checked records?"_s, u"This cannot be undone."_s, buttons, style, Alert::Kind::Sheet};
}

QPushButton *alertButton(QMessageBox *box, int index)
{
    return box->findChild<QPushButton *>(u"alertButton%1"_s.arg(index));
}

} // namespace

class WindowAlertPresenterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        window = new QWidget;
        window->resize(600, 400);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        answers.clear();
    }
    void cleanup()
    {
        delete window;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        dismissTopLevelAlerts();
    }

    void sheetAnswersWithTheButtonChosen_data()
    {
        QTest::addColumn<QStringList>("buttons");
        QTest::addColumn<QString>("action"); // "click N", "escape", "return"
        QTest::addColumn<int>("expected"); // -1: no answer yet

        const QStringList saveSheet{u"Save"_s, u"Don't Save"_s, u"Cancel"_s};
        QTest::newRow("click first") << saveSheet << u"click 0"_s << 0;
        QTest::newRow("click last") << saveSheet << u"click 2"_s << 2;
        QTest::newRow("return picks the first") << saveSheet << u"return"_s << 0;
        QTest::newRow("escape picks Cancel over Don't Save") << saveSheet << u"escape"_s << 2;
        QTest::newRow("escape picks Don't Save without Cancel")
            << QStringList{u"Save"_s, u"Don\u2019t Save"_s} << u"escape"_s << 1;
        QTest::newRow("escape on a single button") << QStringList{u"OK"_s} << u"escape"_s << 0;
        QTest::newRow("escape chooses nothing that acts")
            << QStringList{u"Delete"_s, u"Keep"_s} << u"escape"_s << -1;
        QTest::newRow("no buttons: one OK") << QStringList{} << u"click 0"_s << 0;
    }
    void sheetAnswersWithTheButtonChosen()
    {
        QFETCH(QStringList, buttons);
        QFETCH(QString, action);
        QFETCH(int, expected);

        WindowAlertPresenter presenter(window);
        presenter.present(sheet(buttons), [this](int chosen) { answers.append(chosen); });
        auto *box = window->findChild<QMessageBox *>(u"alert"_s);
        QVERIFY(box);
        QVERIFY(box->isVisible());
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QVERIFY(answers.isEmpty()); // a sheet does not block: the answer comes later
        QCOMPARE(gui::testing::unnamedControls(*box), QStringList());

        // The buttons stand in the alert's order, left to right.
        for (int i = 1; i < std::max<int>(buttons.size(), 1); ++i)
            QVERIFY(alertButton(box, i - 1)->x() < alertButton(box, i)->x());

        if (action.startsWith(u"click"))
            QTest::mouseClick(alertButton(box, action.section(u' ', 1).toInt()), Qt::LeftButton);
        else
            QTest::keyClick(box, action == u"escape" ? Qt::Key_Escape : Qt::Key_Return);
        QCoreApplication::processEvents();

        if (expected < 0) {
            QVERIFY(answers.isEmpty());
            QVERIFY(box->isVisible());
            return;
        }
        QCOMPARE(answers, QList<int>{expected});
    }

    void modalAlertsStandOnTheirOwn_data()
    {
        QTest::addColumn<bool>("withWindow");
        QTest::addColumn<int>("kind");
        QTest::newRow("modal alert of a window") << true << int(Alert::Kind::Modal);
        QTest::newRow("sheet without a window") << false << int(Alert::Kind::Sheet);
    }
    void modalAlertsStandOnTheirOwn()
    {
        QFETCH(bool, withWindow);
        QFETCH(int, kind);
        WindowAlertPresenter presenter(withWindow ? window : nullptr);
        Alert alert = sheet({u"OK"_s});
        alert.kind = Alert::Kind(kind);
        presenter.present(alert, [this](int chosen) { answers.append(chosen); });
        const QList<QMessageBox *> boxes = shownTopLevelAlerts();
        QMessageBox *box = withWindow ? window->findChild<QMessageBox *>(u"alert"_s) : boxes.value(0);
        QVERIFY(box);
        QCOMPARE(box->windowModality(), Qt::ApplicationModal);
        QTest::mouseClick(alertButton(box, 0), Qt::LeftButton);
        QCOMPARE(answers, QList<int>{0});
    }

    void textsShowAsWritten()
    {
        // Addresses in angle brackets would vanish as unknown markup.
        const Alert alert{u"Send to <ada@example.org>?"_s, u"Reply to <b>bob@example.org</b>"_s, {u"OK"_s},
                          Alert::Style::Warning, Alert::Kind::Sheet};
        std::unique_ptr<QMessageBox> box(WindowAlertPresenter::makeBox(alert, nullptr));
        box->show();
        QStringList shown;
        for (QLabel *label : box->findChildren<QLabel *>()) {
            if (label->isVisible() && !label->text().isEmpty() && label->pixmap().isNull())
                shown.append(label->textFormat() == Qt::PlainText ? label->text() : u"(markup) "_s + label->text());
        }
        shown.sort();
        QCOMPARE(shown, (QStringList{alert.informativeText, alert.messageText}));
    }

    void windowClosedUnderTheSheetAnswersOnceWithTheLastButton()
    {
        WindowAlertPresenter presenter(window);
        bool windowGoneWhenAnswered = false;
        QPointer<QWidget> watched(window);
        presenter.present(sheet({u"Save"_s, u"Don't Save"_s, u"Cancel"_s}), [&, watched](int chosen) {
            answers.append(chosen);
            windowGoneWhenAnswered = watched.isNull();
        });
        delete window;
        window = nullptr;
        // Not from inside the window's destruction: whoever asked may still
        // be tearing down with it.
        QVERIFY(answers.isEmpty());
        QTRY_COMPARE(answers, QList<int>{2});
        QVERIFY(windowGoneWhenAnswered);
        QTest::qWait(20);
        QCOMPARE(answers.size(), 1);
    }

    void answeredSheetDoesNotAnswerAgainWhenItsWindowGoes()
    {
        WindowAlertPresenter presenter(window);
        presenter.present(sheet({u"OK"_s, u"Cancel"_s}), [this](int chosen) { answers.append(chosen); });
        QMessageBox *box = window->findChild<QMessageBox *>(u"alert"_s);
        QTest::mouseClick(alertButton(box, 0), Qt::LeftButton);
        delete window;
        window = nullptr;
        QTest::qWait(20);
        QCOMPARE(answers, QList<int>{0});
    }

private:
    QWidget *window = nullptr;
    QList<int> answers;
};

int runWindowAlertPresenterTests(int argc, char **argv)
{
    WindowAlertPresenterTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WindowAlertPresenterTest.moc"
