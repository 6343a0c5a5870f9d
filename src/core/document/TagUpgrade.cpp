#include "document/TagUpgrade.h"

#include "document/DocumentKeys.h"

using namespace Qt::StringLiterals;

namespace quillcast {

QStringList TagUpgrade::obtainFullKeyArrayForTagUpgrade(const List &keyArray)
{
    QStringList tags;
    keyArray.read([&](const List::Items &keys) {
        for (const Value &key : keys)
            tags.append(key.toDict().stringValue(DocumentKeys::publicKey()));
    });
    tags << u"yy"_s << u"yyyy"_s << u"mm"_s << u"dd"_s << u"hh"_s << u"ii"_s << u"ss"_s;
    return tags;
}

QString TagUpgrade::upgradeStringToTagRel2(const QString &text, const QStringList &tags)
{
    if (text.isNull())
        return QString();
    QString out = text;
    for (const QString &tag : tags)
        out.replace(u'<' + tag + u'>', u'_' + tag + u'_', Qt::CaseSensitive);
    return out;
}

} // namespace quillcast
