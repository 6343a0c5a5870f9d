#include "app/update/CurlUpdateListSource.h"
#include "app/update/UpdateListParser.h"

#include "LocalHttpServer.h"
#include "LocalPorts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTimeZone>

#include <plist/plist.h>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

using testing::LocalHttpServer;

QByteArray xmlPlist(const QByteArray &root)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n"
           + root + "\n</plist>\n";
}

const QByteArray releaseList = xmlPlist("<dict><key>LRA</key><integer>21002</integer>"
                                        "<key>GFU</key><string>https://dl.test/q.zip</string></dict>");

// The list as Foundation writes it in binary form.
QByteArray binaryReleaseList()
{
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "LRA", plist_new_uint(21002));
    plist_dict_set_item(root, "DPU", plist_new_string("https://dl.test/downloads"));
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    QByteArray result(bytes, qsizetype(length));
    std::free(bytes);
    plist_free(root);
    return result;
}

// A damaged binary list whose first key is a UTF-16 text with a NUL in it:
// libplist 2.2 aborts the process on it.
const QByteArray binaryKeyWithNul = QByteArray::fromHex("62706c6973743030d201030204534c524111520a53617272a4050607085568656c6c6f2240200000334059000014f8b58943616263081e1114181d2328310000000000000101000000000000000900000000000000000000000000000035");

QByteArray nested(int depth)
{
    QByteArray inner = "<string>x</string>";
    for (int i = 0; i < depth; ++i)
        inner = "<array>" + inner + "</array>";
    return xmlPlist("<dict><key>LRA</key><integer>1</integer><key>deep</key>" + inner + "</dict>");
}

class CurlUpdateListSourceTest : public ::testing::Test
{
protected:
    CurlUpdateListSourceTest()
    {
        server.setReply("/xml", {200, releaseList, {}});
        server.setReply("/binary", {200, binaryReleaseList(), {}});
        server.setReply("/array", {200, xmlPlist("<array><integer>21002</integer></array>"), {}});
        server.setReply("/garbage", {200, "LRA=21002\n\x01\x02 not a property list", {}});
        server.setReply("/binary-key-with-nul", {200, binaryKeyWithNul, {}});
        server.setReply("/truncated-binary", {200, binaryReleaseList().chopped(5), {}});
        server.setReply("/error-with-list", {500, releaseList, {}});
        server.setReply("/redirect", {302, {}, "Location: /xml\r\n"});
        server.setReply("/redirect-away", {302, {}, "Location: http://192.0.2.1/mac/quillcast.plist\r\n"});
        server.setReply("/redirect-loop", {302, {}, "Location: /redirect-loop\r\n"});
        server.setReply("/large", {200, releaseList + QByteArray(2 * 1024, ' '), {}});
        server.setReply("/deep", {200, nested(40), {}});
        server.setReply("/shallow", {200, nested(8), {}});
    }

    std::optional<Dict> fetch(const QString &path)
    {
        return source.fetch(QUrl(server.url(path)), {});
    }

    LocalHttpServer server;
    CurlUpdateListSource source{{2 * 1024, 2'000, 5'000, 5}};
};

struct BodyRow
{
    const char *name;
    QString path;
    qint64 expectedRelease; // 0: no list
};

class CurlBodyTest : public CurlUpdateListSourceTest, public ::testing::WithParamInterface<BodyRow>
{
};

TEST_P(CurlBodyTest, GivesOnlyADictionaryRoot)
{
    const BodyRow &row = GetParam();
    const std::optional<Dict> list = fetch(row.path);
    EXPECT_EQ(list ? list->intValue(u"LRA"_s) : 0, row.expectedRelease);
}

INSTANTIATE_TEST_SUITE_P(Bodies, CurlBodyTest,
                         ::testing::Values(BodyRow{"xml", u"/xml"_s, 21002},
                                           BodyRow{"binary", u"/binary"_s, 21002},
                                           BodyRow{"root_is_array", u"/array"_s, 0},
                                           BodyRow{"garbage", u"/garbage"_s, 0},
                                           BodyRow{"binary_key_with_nul", u"/binary-key-with-nul"_s, 0},
                                           BodyRow{"truncated_binary", u"/truncated-binary"_s, 0},
                                           BodyRow{"not_found", u"/nowhere"_s, 0},
                                           BodyRow{"server_error_with_a_list", u"/error-with-list"_s, 0},
                                           BodyRow{"redirect_on_loopback", u"/redirect"_s, 21002},
                                           BodyRow{"redirect_to_plain_remote_host", u"/redirect-away"_s, 0},
                                           BodyRow{"endless_redirects", u"/redirect-loop"_s, 0},
                                           BodyRow{"larger_than_the_cap", u"/large"_s, 0},
                                           BodyRow{"nested_too_deep", u"/deep"_s, 0},
                                           BodyRow{"nested_within_bounds", u"/shallow"_s, 1}),
                         [](const auto &row) { return std::string(row.param.name); });

TEST_F(CurlUpdateListSourceTest, ClosedPortGivesNoList)
{
    const QUrl closed(u"http://127.0.0.1:%1/xml"_s.arg(testing::closedPort()));
    EXPECT_EQ(source.fetch(closed, {}), std::nullopt);
}

TEST_F(CurlUpdateListSourceTest, RefusedAddressIsNeverRequested)
{
    const QUrl plainRemote(u"http://192.0.2.1:%1/xml"_s.arg(server.port()));
    EXPECT_EQ(source.fetch(plainRemote, {}), std::nullopt);
    EXPECT_TRUE(server.requests().isEmpty());
}

struct AddressRow
{
    const char *name;
    QString address;
    bool allowed;
};

class AllowedAddressTest : public ::testing::TestWithParam<AddressRow>
{
};

TEST_P(AllowedAddressTest, PlainHttpOnlyForThisMachine)
{
    EXPECT_EQ(CurlUpdateListSource::isAllowedAddress(QUrl(GetParam().address)), GetParam().allowed);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, AllowedAddressTest,
    ::testing::Values(AddressRow{"https_remote", u"https://update1.quillcast.example/mac/quillcast.plist"_s, true},
                      AddressRow{"http_remote", u"http://update1.quillcast.example/mac/quillcast.plist"_s, false},
                      AddressRow{"http_loopback", u"http://127.0.0.1:8080/x"_s, true},
                      AddressRow{"http_loopback_range", u"http://127.45.6.7/x"_s, true},
                      AddressRow{"http_ipv6_loopback", u"http://[::1]:8080/x"_s, true},
                      AddressRow{"http_localhost", u"http://LocalHost/x"_s, true},
                      AddressRow{"http_near_loopback", u"http://128.0.0.1/x"_s, false},
                      AddressRow{"http_private_network", u"http://10.0.0.1/x"_s, false},
                      AddressRow{"http_localhost_as_user", u"http://localhost@evil.test/x"_s, false},
                      AddressRow{"http_localhost_subdomain", u"http://localhost.evil.test/x"_s, false},
                      AddressRow{"file", u"file:///etc/passwd"_s, false},
                      AddressRow{"ftp", u"ftp://update1.quillcast.example/x"_s, false},
                      AddressRow{"https_without_host", u"https:///x"_s, false}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(UpdateListParser, ConvertsEveryValueKind)
{
    const std::optional<Dict> list = UpdateListParser::parse(
        xmlPlist("<dict><key>neg</key><integer>-5</integer><key>real</key><real>2.5</real>"
                 "<key>yes</key><true/><key>when</key><date>2026-01-02T03:04:05Z</date>"
                 "<key>blob</key><data>AAEC</data><key>list</key>"
                 "<array><string>a</string><dict><key>k</key><string>v</string></dict></array></dict>"));
    ASSERT_TRUE(list);
    const List items{{Value(u"a"_s), Value(Dict{{u"k"_s, Value(u"v"_s)}})}};
    const Dict expected{{u"neg"_s, Value(qint64(-5))},
                        {u"real"_s, Value(2.5)},
                        {u"yes"_s, Value(true)},
                        {u"when"_s, Value(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone::utc()))},
                        {u"blob"_s, Value(QByteArray("\x00\x01\x02", 3))},
                        {u"list"_s, Value(items)}};
    EXPECT_EQ(Value(*list), Value(expected));
}

} // namespace
} // namespace quillcast
