#include "GMimeReading.h"

#include <QRegularExpression>

#include <gmime/gmime.h>

using namespace Qt::StringLiterals;

namespace quillcast::testing {

namespace {

QList<ParsedMessage::Address> addresses(InternetAddressList *list)
{
    QList<ParsedMessage::Address> result;
    for (int i = 0; list && i < internet_address_list_length(list); ++i) {
        InternetAddress *address = internet_address_list_get_address(list, i);
        if (!INTERNET_ADDRESS_IS_MAILBOX(address))
            continue;
        result.append({QString::fromUtf8(internet_address_get_name(address)),
                       QString::fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)))});
    }
    return result;
}

} // namespace

std::optional<GMimeReading> GMimeReading::read(const QByteArray &bytes)
{
    g_mime_init();
    GMimeStream *stream = g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size()));
    GMimeParser *parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage *message = g_mime_parser_construct_message(parser, nullptr);
    g_object_unref(parser);
    g_object_unref(stream);
    if (!message)
        return std::nullopt;
    GMimeReading reading;
    reading.from = addresses(g_mime_message_get_from(message));
    reading.to = addresses(g_mime_message_get_to(message));
    reading.subject = QString::fromUtf8(g_mime_message_get_subject(message));
    g_object_unref(message);
    return reading;
}

QStringList headerLimitProblems(const QByteArray &bytes)
{
    QStringList problems;
    static const QRegularExpression encodedWord(uR"(=\?[^?\s]*\?[bBqQ]\?[^?\s]*\?=)"_s);
    const QByteArray block = rawHeaderBlock(bytes);
    for (const QByteArray &line : block.split('\n')) {
        const QByteArray text = line.endsWith('\r') ? line.chopped(1) : line;
        if (text.size() > 78)
            problems.append(u"a line of %1 characters: %2"_s.arg(text.size()).arg(QString::fromLatin1(text)));
        for (const QRegularExpressionMatch &match : encodedWord.globalMatch(QString::fromLatin1(text))) {
            if (match.capturedLength() > 75)
                problems.append(u"an encoded word of %1 characters: %2"_s.arg(match.capturedLength())
                                    .arg(match.captured()));
        }
    }
    return problems;
}

} // namespace quillcast::testing
