#pragma once

#include "util/Dict.h"

#include <QString>

// The entry names the mailing's dictionaries are stored under. They are part of
// the document file and of every merge, so they live in one place.
namespace quillcast::DocumentKeys {

// A DB key (one column of the recipient database).
inline QString innerKey()
{
    return QStringLiteral("innerKey");
}
inline QString publicKey()
{
    return QStringLiteral("publicKey");
}

// Inner keys of the three fixed columns of every address record.
inline QString numberInnerKey()
{
    return QStringLiteral("1");
}
inline QString checkedInnerKey()
{
    return QStringLiteral("2");
}
inline QString emailInnerKey()
{
    return QStringLiteral("3");
}

// Public names of the fixed columns.
inline QString numberPublicKey()
{
    return QStringLiteral("#");
}
inline QString checkedPublicKey()
{
    return QStringLiteral("sel");
}
inline QString emailPublicKey()
{
    return QStringLiteral("email");
}

// How many keys at the start of keyArray are fixed; user keys follow.
inline constexpr qsizetype fixedKeyCount = 3;

// Entries of an exception record.
inline QString exceptNumber()
{
    return QStringLiteral("num");
}
inline QString exceptChecked()
{
    return QStringLiteral("sel");
}
inline QString exceptEmail()
{
    return QStringLiteral("email");
}
inline QString exceptDate()
{
    return QStringLiteral("date");
}
inline QString exceptNote()
{
    return QStringLiteral("note");
}

// Entries of an attachment entry.
inline QString attachmentPath()
{
    return QStringLiteral("path");
}
inline QString attachmentBookmark()
{
    return QStringLiteral("bookmark");
}

// A new DB key dictionary.
inline Dict makeDbKey(const QString &inner, const QString &publicName)
{
    return Dict{{innerKey(), inner}, {publicKey(), publicName}};
}

} // namespace quillcast::DocumentKeys
