#include "util/LXNetValidator.h"

#include "util/LXStringUtils.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// The last label allows up to 63 letters, the longest a DNS label can be:
// today's top-level domains (.company, .photography...) are longer than six.
// The local part takes every character of an RFC 5322 atom (o'brien,
// first/last, a{b}...), and dots where they stood before: an address that
// passed earlier still passes.
const QRegularExpression &addressPattern()
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        uR"([A-Z0-9a-z.!#$%&'*+/=?^_`{|}~-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,63})"_s));
    return pattern;
}

const QRegularExpression &domainPattern()
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(uR"(^(?:[a-zA-Z0-9]+(?:\-*[a-zA-Z0-9])*\.)+[a-zA-Z]{2,63}$)"_s));
    return pattern;
}

const QRegularExpression &numericHostPattern()
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(
        uR"(^(([0-2]*[0-9]+[0-9]+)\.([0-2]*[0-9]+[0-9]+)\.([0-2]*[0-9]+[0-9]+)\.([0-2]*[0-9]+[0-9]+))$)"_s));
    return pattern;
}

bool matchesTrimmed(const QRegularExpression &pattern, const QString &text)
{
    return pattern.match(LXStringUtils::trimLateralSpace(text)).hasMatch();
}

} // namespace

bool LXNetValidator::isValidEmail(const QString &text)
{
    return matchesTrimmed(addressPattern(), text);
}

bool LXNetValidator::isValidEmailAlsoMultiple(const QString &text)
{
    if (text.isNull())
        return true;
    const QStringList parts = text.split(u',');
    for (const QString &part : parts) {
        if (!part.isEmpty() && !isValidEmail(part))
            return false;
    }
    return true;
}

bool LXNetValidator::isValidDomain(const QString &text)
{
    return matchesTrimmed(domainPattern(), text);
}

bool LXNetValidator::isNumericDomain(const QString &text)
{
    return matchesTrimmed(numericHostPattern(), text);
}

} // namespace quillcast
