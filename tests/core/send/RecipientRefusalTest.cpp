#include "send/RecipientRefusal.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

// Only a refusal that says the address does not exist counts; a full
// mailbox, a policy block, a refusal for now or for the account does not.
TEST(RecipientRefusalTest, OnlyAnUnknownAddressCounts)
{
    const struct { const char *name; int code; QString text; bool unknown; } rows[] = {
        {"bad destination mailbox", 550, u"5.1.1 <b@example.org>: Recipient address rejected"_s, true},
        {"user not local", 551, u"5.1.1 user not local"_s, true},
        {"no enhanced code, in words", 550, u"No such user here"_s, true},
        {"user unknown", 550, u"<b@example.org>... User unknown"_s, true},
        {"mailbox does not exist", 553, u"Sorry, that mailbox does not exist"_s, true},
        {"full mailbox", 552, u"5.2.2 Mailbox full"_s, false},
        {"mailbox disabled", 550, u"5.2.1 The email account that you tried to reach is disabled"_s, false},
        {"policy block", 550, u"5.7.1 Message rejected as spam"_s, false},
        {"relay denied, in words that mention a user", 550, u"5.7.1 Relaying denied for user unknown"_s, false},
        {"for now", 450, u"4.1.1 no such user yet"_s, false},
        {"login refused", 535, u"5.7.8 Authentication credentials invalid"_s, false},
        {"no words that say so", 550, u"Requested action not taken"_s, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(RecipientRefusal::addressUnknown(row.code, row.text), row.unknown);
    }
}
