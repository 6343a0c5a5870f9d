#pragma once

#include "send/MailAddress.h"

#include <QString>

#include <optional>

namespace quillcast {

// A sender or recipient as the user writes it in the mail form, in the named
// form: a display name and the address in angle brackets, the name plain
// ("Bibliothèque Municipale <news@example.org>") or quoted ("\"Doe, Jane\"
// <jane@example.org>"), or left out ("<jane@example.org>").
//
// The name is taken as it is written: text that looks like an encoded word
// stays that text. An unquoted name may not hold a character that would make
// the text read as something else than one mailbox (",", ";", ":", "@", "<",
// ">", "\"", "\\"); a list of addresses is never one named mailbox.
class MailboxText
{
public:
    // The name (unquoted, trimmed of spaces) and the address (the text
    // between the brackets, trimmed of spaces) of a text in the named form;
    // none for a bare address or anything else. The address is not checked.
    static std::optional<MailAddress> parseNamed(const QString &text);
    // The address part: the address of a named form, otherwise the text as
    // it stands.
    static QString addressOf(const QString &text);
};

} // namespace quillcast
