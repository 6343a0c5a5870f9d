#include "merge/LXDateTagElaborated.h"

#include "merge/DateTagValues.h"
#include "platform/Clock.h"

using namespace Qt::StringLiterals;

namespace quillcast {

LXDateTagElaborated::LXDateTagElaborated(const Clock &clock) : m_clock(clock)
{
}

QString LXDateTagElaborated::transformedValue(const QString &value) const
{
    if (value.isNull())
        return u""_s;
    const DateTagValues v = DateTagValues::fromReading(m_clock.read());
    QString out = value;
    out.replace(u"<yy>"_s, v.year2, Qt::CaseSensitive);
    out.replace(u"<YY>"_s, v.year, Qt::CaseSensitive);
    out.replace(u"<mm>"_s, v.month, Qt::CaseSensitive);
    out.replace(u"<dd>"_s, v.day, Qt::CaseSensitive);
    out.replace(u"<hh>"_s, v.hour, Qt::CaseSensitive);
    out.replace(u"<ii>"_s, v.minute, Qt::CaseSensitive);
    out.replace(u"<ss>"_s, v.second, Qt::CaseSensitive);
    return out;
}

} // namespace quillcast
