#include "TestPrinters.h"
#include "send/MailboxText.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

// The named form as users write it, beside texts that are not one mailbox.
TEST(MailboxText, NamedFormsGiveNameAndAddress)
{
    const struct { const char *name; QString text; std::optional<MailAddress> named; } rows[] = {
        {"plain name", u"Bibliothèque Municipale <news@example.org>"_s,
         MailAddress{u"Bibliothèque Municipale"_s, u"news@example.org"_s}},
        {"spaces everywhere", u"  Ann   Lee  <  ann@example.org  >  "_s, MailAddress{u"Ann   Lee"_s, u"ann@example.org"_s}},
        {"quoted name with comma and escapes", u"\"Doe, \\\"JJ\\\" Jane\" <jane@example.org>"_s,
         MailAddress{u"Doe, \"JJ\" Jane"_s, u"jane@example.org"_s}},
        {"quoted and plain words", u"Jane \"the boss\" Doe <jane@example.org>"_s,
         MailAddress{u"Jane the boss Doe"_s, u"jane@example.org"_s}},
        {"encoded-word look-alike stays text", u"=?utf-8?q?hello?= <a@example.org>"_s,
         MailAddress{u"=?utf-8?q?hello?="_s, u"a@example.org"_s}},
        {"brackets alone", u"<a@example.org>"_s, MailAddress{QString(), u"a@example.org"_s}},
        {"empty brackets", u"Nobody <>"_s, MailAddress{u"Nobody"_s, QString()}},
        {"bare address", u"a@example.org"_s, std::nullopt},
        {"list of bare addresses", u"a@example.org, b@example.org"_s, std::nullopt},
        {"list ending in a named one", u"a@example.org, Bob <b@example.org>"_s, std::nullopt},
        {"two named mailboxes", u"Ann <a@example.org>, Bob <b@example.org>"_s, std::nullopt},
        {"unquoted comma in the name", u"Doe, Jane <jane@example.org>"_s, std::nullopt},
        {"group syntax", u"Friends: Bob <b@example.org>"_s, std::nullopt},
        {"quote never closed", u"\"Doe <jane@example.org>"_s, std::nullopt},
        {"text after the brackets", u"Ann <a@example.org> x"_s, std::nullopt},
        {"bracket inside the address", u"Ann <a<b@example.org>"_s, std::nullopt},
        {"no opening bracket", u"Ann a@example.org>"_s, std::nullopt},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(MailboxText::parseNamed(row.text), row.named);
        EXPECT_EQ(MailboxText::addressOf(row.text), row.named ? row.named->mailbox : row.text);
    }
}

} // namespace
