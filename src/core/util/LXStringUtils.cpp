#include "util/LXStringUtils.h"

#include "platform/Clock.h"
#include "platform/SeededRandomSource.h"
#include "util/RandomIntInRange.h"

#include <QUuid>

#include <mutex>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

QString trimLateral(const QString &text, QChar c)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == c)
        ++begin;
    while (end > begin && text.at(end - 1) == c)
        --end;
    return text.mid(begin, end - begin);
}

QString twoDigits(int n)
{
    return u"%1"_s.arg(n, 2, 10, QLatin1Char('0'));
}

// The last time string handed to getNewSerialForTimeString and its counter,
// shared by the whole process.
struct SerialState
{
    std::mutex lock;
    QString lastTimeString;
    qint64 counter = 0;

    QString next(const QString &timeString)
    {
        if (timeString == lastTimeString) {
            ++counter;
        } else {
            counter = 0;
            lastTimeString = timeString;
        }
        return QString::number(counter);
    }
};

SerialState &serialState()
{
    static SerialState state;
    return state;
}

} // namespace

QString LXStringUtils::trimLateralSpace(const QString &text)
{
    return trimLateral(text, u' ');
}

QString LXStringUtils::removeLateralSpace(const QString &text)
{
    return trimLateralSpace(text);
}

QString LXStringUtils::trimLateralQuote(const QString &text)
{
    return trimLateral(text, u'"');
}

bool LXStringUtils::spaceTrimmedNotEmpy(const QString &text)
{
    return !trimLateralSpace(text).isEmpty();
}

QString LXStringUtils::removeInitialSpaces(const QString &text)
{
    qsizetype begin = 0;
    while (begin < text.size()
           && (text.at(begin) == u'\t' || text.at(begin).category() == QChar::Separator_Space))
        ++begin;
    if (begin == text.size())
        return QString();
    return text.mid(begin);
}

QString LXStringUtils::stripNewLines(const QString &text)
{
    QString result = text;
    result.remove(u"\n\r"_s);
    result.remove(u'\n');
    result.remove(u'\r');
    return result;
}

QString LXStringUtils::stringByRemovingCharacters(const QString &text, const std::function<bool(QChar)> &inSet)
{
    QString result = text;
    result.removeIf(inSet);
    return result;
}

QString LXStringUtils::trimString(const QString &text, const QString &acceptingOnlyChars)
{
    return stringByRemovingCharacters(text, [&](QChar c) { return !acceptingOnlyChars.contains(c); });
}

QString LXStringUtils::addLeading0(const QString &text, qsizetype totalLen)
{
    const qsizetype missing = totalLen - text.size();
    if (missing < 1)
        return text;
    return QString(missing, u'0') + text;
}

QString LXStringUtils::trimStringToFit(const QString &text, qreal pixelLength, const TextMeasure &measure)
{
    if (measure(text) <= pixelLength)
        return text;
    const QString ellipsis = u".."_s;
    // A surrogate pair goes as a whole, so no half of it is drawn as a broken glyph.
    const auto lastCharSize = [](const QString &s) -> qsizetype {
        return s.size() >= 2 && s.back().isLowSurrogate() && s.at(s.size() - 2).isHighSurrogate() ? 2 : 1;
    };
    QString shortened = text;
    while (measure(shortened + ellipsis) > pixelLength && shortened.size() > lastCharSize(shortened))
        shortened.chop(lastCharSize(shortened));
    return shortened + ellipsis;
}

QString LXStringUtils::uniqueTimeString(const Clock &clock)
{
    const CalendarReading r = clock.read();
    return QString::number(r.year) + twoDigits(r.month) + twoDigits(r.day) + twoDigits(r.hour)
        + twoDigits(r.minute) + twoDigits(r.second);
}

QString LXStringUtils::uniqueTimeRandString(const Clock &clock)
{
    return uniqueTimeRandString(clock, SeededRandomSource::processInstance());
}

QString LXStringUtils::uniqueTimeRandString(const Clock &clock, RandomSource &random)
{
    const qint64 number = randomIntInRange(1, 32000000000000, random);
    return uniqueTimeString(clock) + u"%1"_s.arg(number, 5, 10, QLatin1Char('0'));
}

QString LXStringUtils::getNewSerialForTimeString(const QString &timeString)
{
    SerialState &state = serialState();
    std::lock_guard lock(state.lock);
    return state.next(timeString);
}

QString LXStringUtils::uniqueTimeSerialString(const Clock &clock)
{
    SerialState &state = serialState();
    // The clock is read under the lock too: a caller that read an earlier
    // second but came in late would reset the counter and let the next caller
    // of the later second repeat a serial already given out.
    std::lock_guard lock(state.lock);
    const QString timeString = uniqueTimeString(clock);
    return timeString + state.next(timeString);
}

QString LXStringUtils::createUUIDString()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString LXStringUtils::uniqueUUIDString()
{
    return createUUIDString();
}

} // namespace quillcast
