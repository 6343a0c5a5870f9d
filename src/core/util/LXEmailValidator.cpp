#include "util/LXEmailValidator.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace quillcast {

bool LXEmailValidator::isValidEmail(const QString &text)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(uR"([A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,4})"_s));
    return pattern.match(text).hasMatch();
}

bool LXEmailValidator::isValidDomain(const QString &text)
{
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(uR"([A-Za-z0-9.-]+\.[A-Za-z]{2,4})"_s));
    return pattern.match(text).hasMatch();
}

} // namespace quillcast
