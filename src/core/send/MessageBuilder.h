#pragma once

#include "send/MessageContent.h"
#include "util/Result.h"

#include <QByteArray>

namespace quillcast {

// Turns message content into the bytes of an RFC 5322 message: UTF-8
// throughout, header values encoded (a line break in a subject or a name can
// never start a header of its own), bodies and attachments in transfer
// encodings that pass 7-bit servers, a Date and a Message-ID. It knows
// nothing of how the bytes travel.
class MessageBuilder
{
public:
    // Fails, with the reason, when an attachment cannot be read.
    static Result<QByteArray> build(const MessageContent &content);
};

} // namespace quillcast
