#pragma once

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/SystemClock.h"
#include "util/Value.h"

#include "TestRecords.h"

namespace quillcast::testdata {

using testing::exceptRecord;
using testing::record;

// Fixed keys plus "4"/"Name" and "5"/"City", the window set up.
inline void setUpWithUserKeys(MyDocument &doc)
{
    doc.InitialSetupKeyArrayController();
    doc.keyArray().append(Value(DocumentKeys::makeDbKey(QStringLiteral("4"), QStringLiteral("Name"))));
    doc.keyArray().append(Value(DocumentKeys::makeDbKey(QStringLiteral("5"), QStringLiteral("City"))));
    doc.setUpOpenedDocument();
}

// The record numbers of a view, in its order.
inline QList<qint64> numbersOf(const ArrangedView &view)
{
    QList<qint64> out;
    for (const Dict &r : *view.records())
        out.append(r.intValue(QStringLiteral("1")));
    return out;
}

} // namespace quillcast::testdata
