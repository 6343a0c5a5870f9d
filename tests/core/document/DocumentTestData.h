#pragma once

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "util/Value.h"

#include <QString>

namespace quillcast::testdata {

// An address record of a database with the user keys "4" (Name) and "5" (City).
inline Dict record(qint64 number, bool checked, const QString &email, const QString &name = QString(),
                   const QString &city = QString())
{
    Dict r{{QStringLiteral("1"), number}, {QStringLiteral("2"), checked}, {QStringLiteral("3"), email}};
    if (!name.isNull())
        r.set(QStringLiteral("4"), name);
    if (!city.isNull())
        r.set(QStringLiteral("5"), city);
    return r;
}

// Fixed keys plus "4"/"Name" and "5"/"City", the window set up.
inline void setUpWithUserKeys(MyDocument &doc)
{
    doc.InitialSetupKeyArrayController();
    doc.keyArray().append(Value(DocumentKeys::makeDbKey(QStringLiteral("4"), QStringLiteral("Name"))));
    doc.keyArray().append(Value(DocumentKeys::makeDbKey(QStringLiteral("5"), QStringLiteral("City"))));
    doc.windowControllerDidLoadNib();
}

inline Dict exceptRecord(qint64 number, const QString &email, const QString &note)
{
    return Dict{{QStringLiteral("num"), number},
                {QStringLiteral("sel"), false},
                {QStringLiteral("email"), email},
                {QStringLiteral("note"), note}};
}

} // namespace quillcast::testdata
