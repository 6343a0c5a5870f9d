#include "send/MailboxText.h"

#include "util/LXStringUtils.h"

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

bool forbiddenInPlainName(QChar c)
{
    return c == u',' || c == u';' || c == u':' || c == u'@' || c == u'<' || c == u'>' || c == u'\\';
}

} // namespace

std::optional<MailAddress> MailboxText::parseNamed(const QString &text)
{
    const QString trimmed = LXStringUtils::trimLateralSpace(text);
    if (!trimmed.endsWith(u'>'))
        return std::nullopt;

    // The name: plain text and quoted strings, up to the "<" outside quotes.
    QString name;
    qsizetype i = 0;
    for (; i < trimmed.size() && trimmed[i] != u'<'; ++i) {
        const QChar c = trimmed[i];
        if (c == u'"') {
            for (++i;; ++i) {
                if (i >= trimmed.size())
                    return std::nullopt; // the quote is never closed
                if (trimmed[i] == u'"')
                    break;
                if (trimmed[i] == u'\\' && i + 1 < trimmed.size())
                    ++i;
                name.append(trimmed[i]);
            }
        } else if (forbiddenInPlainName(c)) {
            return std::nullopt;
        } else {
            name.append(c);
        }
    }
    if (i >= trimmed.size())
        return std::nullopt;

    // The address: everything between this "<" and the final ">".
    const QString address = trimmed.mid(i + 1, trimmed.size() - i - 2);
    if (address.contains(u'<') || address.contains(u'>'))
        return std::nullopt;
    return MailAddress{LXStringUtils::trimLateralSpace(name), LXStringUtils::trimLateralSpace(address)};
}

QString MailboxText::addressOf(const QString &text)
{
    const std::optional<MailAddress> named = parseNamed(text);
    return named ? named->mailbox : text;
}

} // namespace quillcast
