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
    LocalHttpServer server;
    CurlUpdateListSource source{{2 * 1024, 2'000, 5'000, 5}};
};

TEST_F(CurlUpdateListSourceTest, GivesOnlyADictionaryRoot)
{
    const struct
    {
        const char *path;
        LocalHttpServer::Reply reply;
        qint64 release; // 0: no list
    } rows[] = {
        {"/xml", {200, releaseList, {}}, 21002},
        {"/binary", {200, binaryReleaseList(), {}}, 21002},
        {"/array", {200, xmlPlist("<array><integer>21002</integer></array>"), {}}, 0},
        {"/garbage", {200, "LRA=21002\n\x01\x02 not a property list", {}}, 0},
        {"/binary-key-with-nul", {200, binaryKeyWithNul, {}}, 0},
        {"/truncated-binary", {200, binaryReleaseList().chopped(5), {}}, 0},
        {"/not-found", {404, releaseList, {}}, 0},
        {"/error-with-list", {500, releaseList, {}}, 0},
        {"/redirect", {302, {}, "Location: /xml\r\n"}, 21002},
        {"/redirect-to-plain-remote-host", {302, {}, "Location: http://192.0.2.1/mac/quillcast.plist\r\n"}, 0},
        {"/redirect-loop", {302, {}, "Location: /redirect-loop\r\n"}, 0},
        {"/larger-than-the-cap", {200, releaseList + QByteArray(2 * 1024, ' '), {}}, 0},
        {"/nested-too-deep", {200, nested(40), {}}, 0},
        {"/nested-within-bounds", {200, nested(8), {}}, 1},
    };
    for (const auto &row : rows)
        server.setReply(row.path, row.reply);
    for (const auto &row : rows) {
        const std::optional<Dict> list = source.fetch(QUrl(server.url(QString::fromLatin1(row.path))), {});
        EXPECT_EQ(list ? list->intValue(u"LRA"_s) : 0, row.release) << row.path;
    }
}

// A closed port gives no list, and an address refused by the rule below is
// never even asked.
TEST_F(CurlUpdateListSourceTest, ClosedPortOrRefusedAddressGivesNoList)
{
    EXPECT_EQ(source.fetch(QUrl(u"http://127.0.0.1:%1/xml"_s.arg(testing::closedPort())), {}), std::nullopt);
    EXPECT_EQ(source.fetch(QUrl(u"http://192.0.2.1:%1/xml"_s.arg(server.port())), {}), std::nullopt);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST(CurlUpdateListSource, AllowsPlainHttpOnlyForThisMachine)
{
    const struct { const char *address; bool allowed; } rows[] = {
        {"https://update1.quillcast.example/mac/quillcast.plist", true},
        {"http://update1.quillcast.example/mac/quillcast.plist", false},
        {"http://127.0.0.1:8080/x", true},
        {"http://127.45.6.7/x", true},
        {"http://[::1]:8080/x", true},
        {"http://LocalHost/x", true},
        {"http://128.0.0.1/x", false},
        {"http://10.0.0.1/x", false},
        {"http://localhost@evil.test/x", false},
        {"http://localhost.evil.test/x", false},
        {"file:///etc/passwd", false},
        {"ftp://update1.quillcast.example/x", false},
        {"https:///x", false},
    };
    for (const auto &row : rows)
        EXPECT_EQ(CurlUpdateListSource::isAllowedAddress(QUrl(QString::fromLatin1(row.address))), row.allowed)
            << row.address;
}

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
