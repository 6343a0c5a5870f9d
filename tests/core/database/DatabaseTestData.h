#pragma once

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/SystemClock.h"
#include "platform/FixedClock.h"
#include "util/Value.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QString>
#include <QStringList>

#include <functional>

namespace quillcast::dbtest {

// The event loop that posted steps (the send-list rebuild, the steps after an
// import) need; made once for the whole test program.
inline QCoreApplication &application()
{
    static int argc = 1;
    static char name[] = "database_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Runs the event loop until the condition holds or about ten seconds pass.
inline bool processEventsUntil(const std::function<bool()> &condition)
{
    application();
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < 10000) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    return condition();
}

inline const FixedClock &testClock()
{
    static const FixedClock clock(QDateTime(QDate(2024, 3, 5), QTime(9, 30), QTimeZone::utc()));
    return clock;
}

// An address record; "4" is the Name column of withNameColumn().
inline Dict record(qint64 number, bool checked, const QString &email, const QString &name = QString())
{
    Dict r{{QStringLiteral("1"), number}, {QStringLiteral("2"), checked}, {QStringLiteral("3"), email}};
    if (!name.isNull())
        r.set(QStringLiteral("4"), name);
    return r;
}

inline Dict exceptRecord(qint64 number, const QString &email, bool checked = false, const QString &note = QString())
{
    return Dict{{QStringLiteral("num"), number},
                {QStringLiteral("sel"), checked},
                {QStringLiteral("email"), email},
                {QStringLiteral("note"), note.isNull() ? QStringLiteral("") : note}};
}

// Fixed keys plus "4"/"Name", these records, the window set up, the views current.
inline void setUp(MyDocument &doc, const QList<Dict> &records = {}, const QList<Dict> &exceptions = {})
{
    doc.InitialSetupKeyArrayController();
    doc.keyArray().append(Value(DocumentKeys::makeDbKey(QStringLiteral("4"), QStringLiteral("Name"))));
    List::Items items;
    for (const Dict &r : records)
        items.emplace_back(r);
    doc.setAddressArray(List(std::move(items)));
    List::Items excepts;
    for (const Dict &e : exceptions)
        excepts.emplace_back(e);
    doc.setExceptArray(List(std::move(excepts)));
    doc.setUpOpenedDocument();
    doc.filterAddresses();
    doc.filterExcepts();
    doc.updateChangeCount(MyDocument::ChangeKind::Cleared);
}

// The addresses of a list of records, in order.
inline QStringList emails(const List &list, const QString &entry = QStringLiteral("3"))
{
    QStringList out;
    for (const Value &v : list.items())
        out.append(v.toDict().stringValue(entry));
    return out;
}

inline QStringList checkedEmails(const List &list, const QString &checked = QStringLiteral("2"),
                                 const QString &entry = QStringLiteral("3"))
{
    QStringList out;
    for (const Value &v : list.items()) {
        if (v.toDict().boolValue(checked))
            out.append(v.toDict().stringValue(entry));
    }
    return out;
}

} // namespace quillcast::dbtest
