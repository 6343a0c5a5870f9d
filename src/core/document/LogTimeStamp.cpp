#include "document/LogTimeStamp.h"

#include "platform/Clock.h"

#include <QLocale>

using namespace Qt::StringLiterals;

namespace quillcast {

QString LogTimeStamp::format(const QDateTime &instant)
{
    const QLocale locale;
    return locale.toString(instant.date(), QLocale::ShortFormat) + u' '
        + locale.toString(instant.time(), QLocale::ShortFormat);
}

QString LogTimeStamp::now(const Clock &clock)
{
    return format(clock.now().toTimeZone(clock.timeZone()));
}

} // namespace quillcast
