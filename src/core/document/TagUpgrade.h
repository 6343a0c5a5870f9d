#pragma once

#include "util/Value.h"

#include <QString>
#include <QStringList>

namespace quillcast {

// Mail forms of the first release wrote merge tags between angle brackets
// ("<City>", "<yy>"). Opening such a mailing rewrites them once, in memory,
// into today's underscore form ("_City_", "_yy_").
class TagUpgrade
{
public:
    // The public names of the keys, in order, then the seven date-tag names.
    static QStringList obtainFullKeyArrayForTagUpgrade(const List &keyArray);
    // Every "<T>" of the tag list, in list order, becomes "_T_": literal,
    // case-sensitive, left to right. Null gives null.
    static QString upgradeStringToTagRel2(const QString &text, const QStringList &tags);
};

} // namespace quillcast
