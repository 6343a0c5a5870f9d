#include "send/CleartextCredentials.h"

#include "send/SendingValues.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace quillcast;

namespace {

TEST(CleartextCredentialsTest, CredentialsInClearToAnotherMachineAreFlagged)
{
    const struct
    {
        const char *name;
        QString host;
        qint64 connectionType;
        qint64 authenticationType;
        QString username;
        QString password;
        bool inClear;
    } rows[] = {
        {"plain_auth_to_a_server", u"smtp.example.org"_s, 0, 1, u"ada"_s, u"pw"_s, true},
        {"plain_auth_to_a_lan_address", u"192.168.1.10"_s, 0, 1, u"ada"_s, u"pw"_s, true},
        {"password_without_user", u"smtp.example.org"_s, 0, 1, QString(), u"pw"_s, true},
        {"address_like_loopback_but_not", u"128.0.0.1"_s, 0, 1, u"ada"_s, u"pw"_s, true},
        {"loopback_name_as_a_subdomain", u"localhost.example.org"_s, 0, 1, u"ada"_s, u"pw"_s, true},
        {"ipv6_other_than_loopback", u"::2"_s, 0, 1, u"ada"_s, u"pw"_s, true},
        {"starttls", u"smtp.example.org"_s, 1, 1, u"ada"_s, u"pw"_s, false},
        {"tls", u"smtp.example.org"_s, 2, 1, u"ada"_s, u"pw"_s, false},
        {"no_authentication", u"smtp.example.org"_s, 0, 0, u"ada"_s, u"pw"_s, false},
        {"no_credentials", u"smtp.example.org"_s, 0, 1, u"  "_s, QString(), false},
        {"localhost", u"localhost"_s, 0, 1, u"ada"_s, u"pw"_s, false},
        {"localhost_upper_case_with_dot", u" LocalHost. "_s, 0, 1, u"ada"_s, u"pw"_s, false},
        {"loopback_127_0_0_1", u"127.0.0.1"_s, 0, 1, u"ada"_s, u"pw"_s, false},
        {"loopback_anywhere_in_127_8", u"127.45.6.7"_s, 0, 1, u"ada"_s, u"pw"_s, false},
        {"ipv6_loopback", u"::1"_s, 0, 1, u"ada"_s, u"pw"_s, false},
        {"ipv6_loopback_in_brackets", u"[::1]"_s, 0, 1, u"ada"_s, u"pw"_s, false},
        {"ipv4_mapped_loopback", u"::ffff:127.0.0.1"_s, 0, 1, u"ada"_s, u"pw"_s, false},
    };
    for (const auto &row : rows) {
        const Dict connection{{u"mailServerName"_s, Value(row.host)},
                              {u"connectionType"_s, Value(row.connectionType)},
                              {u"authenticationType"_s, Value(row.authenticationType)},
                              {u"username"_s, Value(row.username)},
                              {u"password"_s, Value(row.password)}};
        EXPECT_EQ(CleartextCredentials::wouldTravelInClear(SendingValues::GetSendingValueFromDict(connection)),
                  row.inClear)
            << row.name;
    }
}

} // namespace
