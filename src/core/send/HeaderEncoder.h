#pragma once

#include "send/MailAddress.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace quillcast {

// Writes header fields as RFC 5322 and RFC 2047 want them, ready for SMTP:
// 7-bit, CRLF line ends, folded at white space so that no line is longer than
// 78 characters, text that is not plain ASCII in UTF-8 encoded words of at
// most 75 characters each (Q or B, whichever is shorter), split between whole
// characters.
//
// Text the user wrote stays the text a reader shows: a word that merely looks
// like an encoded word ("=?utf-8?q?hello?=") is itself encoded, so no reader
// decodes it, and an ASCII word too long for a line is encoded rather than
// left to overflow it.
//
// The values must be free of line breaks and other control characters; the
// message builder turns those into spaces first.
class HeaderEncoder
{
public:
    // "Name: value" and CRLF, for unstructured text such as a subject.
    // Spaces at both ends of the value are left out.
    static QByteArray unstructured(const QByteArray &name, const QString &value);
    // "Name: " and the mailboxes separated by commas, each a display name
    // (a phrase: plain words, a quoted string or encoded words) and the
    // address in angle brackets, or the bare address when there is no name.
    // Each mailbox field of a MailAddress is the address as it is to be
    // written (ASCII, already in its header form).
    static QByteArray mailboxList(const QByteArray &name, const QList<MailAddress> &mailboxes);
};

} // namespace quillcast
