#include "util/LXStringUtils.h"

#include <QUuid>

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

QString LXStringUtils::createUUIDString()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString LXStringUtils::uniqueUUIDString()
{
    return createUUIDString();
}

} // namespace quillcast
