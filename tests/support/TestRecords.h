#pragma once

#include "util/Value.h"

#include <QString>

namespace quillcast::testing {

// A database record: "1" number, "2" checked, "3" email, and the user keys
// "4" and "5" (Name and City where a test sets those up) when given.
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

// A record of the exception list.
inline Dict exceptRecord(qint64 number, const QString &email, const QString &note = QString(), bool checked = false)
{
    return Dict{{QStringLiteral("num"), number},
                {QStringLiteral("sel"), checked},
                {QStringLiteral("email"), email},
                {QStringLiteral("note"), note.isNull() ? QStringLiteral("") : note}};
}

} // namespace quillcast::testing
