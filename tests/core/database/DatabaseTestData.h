#pragma once

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/SystemClock.h"
#include "platform/FixedClock.h"
#include "util/Value.h"

#include "TestApplication.h"
#include "TestRecords.h"

#include <QString>
#include <QStringList>

namespace quillcast::dbtest {

using testing::application;
using testing::exceptRecord;
using testing::processEventsUntil;
using testing::record;

inline const FixedClock &testClock()
{
    static const FixedClock clock(QDateTime(QDate(2024, 3, 5), QTime(9, 30), QTimeZone::utc()));
    return clock;
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
