#pragma once

// A mailing window's context built from the test doubles, around a session
// whose document holds a database with the user keys Name ("4") and City
// ("5") and an exception list, and helpers that drive the pages' widgets.

#include "DoubledWindowContext.h"
#include "TestRecords.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "models/RecordTableModel.h"
#include "session/DocumentSession.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QLineEdit>
#include <QSize>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTest>

#include <memory>

namespace quillcast::gui::testing {

struct Records
{
    // Database records: number, checked, email, Name, City.
    QList<Dict> addresses;
    QList<Dict> exceptions;
};

class TablesFixture : public DoubledWindowContext
{
public:
    TablesFixture() = default;
    // A fixture filled with records, as fill() fills it.
    explicit TablesFixture(const Records &records, bool evaluateViews = true) { fill(records, evaluateViews); }

    // Fills the session's document with user keys Name and City and the given
    // records (the window set up, the views current, not edited).
    // evaluateViews false: the lists' views are left as a freshly read
    // mailing has them, never evaluated.
    void fill(const Records &records, bool evaluateViews = true)
    {
        const Status filled = session.newDocument([&](MyDocument &doc) {
            doc.InitialSetupKeyArrayController();
            doc.keyArray().append(Value(DocumentKeys::makeDbKey(QStringLiteral("4"), QStringLiteral("Name"))));
            doc.keyArray().append(Value(DocumentKeys::makeDbKey(QStringLiteral("5"), QStringLiteral("City"))));
            List::Items items;
            for (const Dict &r : records.addresses)
                items.emplace_back(r);
            doc.setAddressArray(List(std::move(items)));
            List::Items excepts;
            for (const Dict &e : records.exceptions)
                excepts.emplace_back(e);
            doc.setExceptArray(List(std::move(excepts)));
            return success();
        });
        QVERIFY(filled.ok());
        if (evaluateViews) {
            doc().filterAddresses();
            doc().filterExcepts();
        }
        doc().updateChangeCount(MyDocument::ChangeKind::Cleared);
    }

    MyDocument &doc() { return session.document(); }
};

// A page's control by its object name; a missing one ends the test run, as
// a renamed control would leave the window's commands and screen readers
// without it.
template<typename T>
T *child(QWidget &page, const char *name)
{
    T *widget = page.findChild<T *>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

// Shows a page (at size, when given) and waits until it is on screen.
inline bool showExposed(QWidget &page, QSize size = {})
{
    if (size.isValid())
        page.resize(size);
    page.show();
    return QTest::qWaitForWindowExposed(&page);
}

// The column of key of every row the table shows, top to bottom.
inline QStringList shownValues(const RecordTableModel &model, const QString &key)
{
    QStringList values;
    const int column = model.columnOfKey(key);
    for (int row = 0; row < model.rowCount(); ++row)
        values.append(model.index(row, column).data().toString());
    return values;
}

// Clicks the check box of a cell, where the view's delegate draws it.
inline void clickCheckBox(QAbstractItemView &view, const QModelIndex &index)
{
    QStyleOptionViewItem option;
    option.initFrom(view.viewport());
    option.rect = view.visualRect(index);
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    option.state |= QStyle::State_Enabled;
    const QRect box = view.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &view);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, box.center());
}

// Edits a cell through the view's own editor: opens it, types text over the
// old value and commits with Return. False when the view opened no editor.
inline bool typeIntoCell(QAbstractItemView &view, const QModelIndex &index, const QString &text)
{
    view.setCurrentIndex(index);
    view.edit(index);
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    if (!editor || !view.isAncestorOf(editor))
        return false;
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits the editor's text once the key press is through.
    QCoreApplication::processEvents();
    return true;
}

} // namespace quillcast::gui::testing
