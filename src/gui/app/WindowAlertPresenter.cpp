#include "app/WindowAlertPresenter.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

QMessageBox::Icon iconFor(Alert::Style style)
{
    switch (style) {
    case Alert::Style::Informational:
        return QMessageBox::Information;
    case Alert::Style::Critical:
        return QMessageBox::Critical;
    case Alert::Style::Warning:
        break;
    }
    return QMessageBox::Warning;
}

// The button that Escape (and closing the box) stands for: "Cancel" when
// the alert has one, else the first that declines ("Don't Save"); none when
// every button does something, so that Escape cannot choose one by accident.
qsizetype escapeIndex(const QStringList &titles)
{
    if (const qsizetype cancel = titles.indexOf(u"Cancel"_s); cancel >= 0)
        return cancel;
    for (qsizetype i = 0; i < titles.size(); ++i) {
        if (titles.at(i).startsWith(u"Don't") || titles.at(i).startsWith(u"Don\u2019t"))
            return i;
    }
    return titles.size() == 1 ? 0 : -1;
}

constexpr char buttonIndexProperty[] = "alertButtonIndex";

} // namespace

QMessageBox *WindowAlertPresenter::makeBox(const Alert &alert, QWidget *parent)
{
    auto *box = new QMessageBox(parent);
    box->setObjectName(u"alert"_s);
    box->setIcon(iconFor(alert.style));
    // As written: an address such as "<ada@example.org>" is no markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(alert.messageText);
    box->setInformativeText(alert.informativeText);
    if (auto *informative = box->findChild<QLabel *>(u"qt_msgbox_informativelabel"_s))
        informative->setTextFormat(Qt::PlainText);
    box->setAccessibleName(alert.messageText);
    box->setAccessibleDescription(alert.informativeText);
    // The window manager's title bar has nothing else to say.
    box->setWindowTitle(QCoreApplication::applicationName());
    QStringList titles = alert.buttons;
    if (titles.isEmpty())
        titles.append(u"OK"_s);
    const qsizetype escape = escapeIndex(titles);
    for (qsizetype i = 0; i < titles.size(); ++i) {
        // One role for all keeps the alert's order: the button box sorts by
        // role before anything else.
        QPushButton *button = box->addButton(titles.at(i), QMessageBox::ActionRole);
        button->setObjectName(u"alertButton%1"_s.arg(i));
        button->setAccessibleName(titles.at(i));
        button->setProperty(buttonIndexProperty, int(i));
        if (i == 0)
            box->setDefaultButton(button);
        if (i == escape)
            box->setEscapeButton(button);
    }
    return box;
}

void WindowAlertPresenter::present(const Alert &alert, Completion completion)
{
    const bool sheet = alert.kind == Alert::Kind::Sheet && m_window;
    QMessageBox *box = makeBox(alert, m_window);
    box->setWindowModality(sheet ? Qt::WindowModal : Qt::ApplicationModal);

    // Shared by the two ways the box can end, so that only the first one answers.
    auto pending = std::make_shared<Completion>(std::move(completion));
    const int lastButton = int(std::max<qsizetype>(alert.buttons.size(), 1)) - 1;
    QObject::connect(box, &QMessageBox::finished, box, [box, pending, lastButton] {
        QAbstractButton *clicked = box->clickedButton();
        const int chosen = clicked ? clicked->property(buttonIndexProperty).toInt() : lastButton;
        box->deleteLater();
        if (Completion done = std::exchange(*pending, nullptr))
            done(chosen);
    });
    // Gone with its window: the answer waits for the destruction to be over.
    QObject::connect(box, &QObject::destroyed, qApp, [pending, lastButton] {
        if (!*pending)
            return;
        QMetaObject::invokeMethod(
            qApp,
            [pending, lastButton] {
                if (Completion done = std::exchange(*pending, nullptr))
                    done(lastButton);
            },
            Qt::QueuedConnection);
    });
    // open() would make any box window-modal; show() keeps the modality set.
    if (sheet)
        box->open();
    else
        box->show();
}

} // namespace quillcast::gui
