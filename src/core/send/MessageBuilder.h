#pragma once

#include "send/MessageContent.h"
#include "util/Result.h"

#include <QByteArray>

namespace quillcast {

// Turns message content into the bytes of an RFC 5322 message: UTF-8
// throughout, header values encoded and folded as HeaderEncoder does (a line
// break in a subject, a name or a mailbox becomes a space, so it can never
// start a header of its own),
// bodies and attachments in transfer encodings that pass 7-bit servers, a
// Date and a Message-ID. It knows nothing of how the bytes travel.
//
// - Line ends are CRLF everywhere, ready for SMTP (sendmail and .eml readers
//   take them as well); the line breaks of a body become CRLF whatever they
//   were.
// - Text parts are 7bit when they are ASCII with lines of at most 998
//   characters, quoted-printable otherwise; attachments are base64, with the
//   MIME type guessed from the file name and the name RFC 2231-encoded when
//   it is not ASCII. A text file that is valid UTF-8 says charset=utf-8.
// - A mailbox text in the named form ("Name <address>", MailboxText) is that
//   name and address. A recipient without a display name may hold several
//   comma-separated addresses (a recipient text as the user typed it): each
//   becomes a recipient. A blank mailbox adds no recipient; with no recipient left the
//   To header is left out.
// - The Message-ID's domain is the sender's, or "quillcast.invalid" when the
//   sender has none; an invalid date leaves the Date header out.
//
// Safe to call on several threads at once.
class MessageBuilder
{
public:
    // Fails, with the reason, when an attachment cannot be read (naming the
    // file) or an extra header's name is not a header name.
    static Result<QByteArray> build(const MessageContent &content);
};

} // namespace quillcast
