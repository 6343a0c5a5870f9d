#include "send/CurlSmtpClient.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace quillcast {
namespace {

// A socket on 127.0.0.1 that listens but never accepts: the kernel completes
// the connection, and the "server" then stays silent for ever.
class SilentServer
{
public:
    SilentServer()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_fd, 16);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~SilentServer() { ::close(m_fd); }
    int port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

// A port of 127.0.0.1 on which nothing listens.
int closedPort()
{
    SilentServer reserved;
    return reserved.port();
}

// Collects the completions of numbered operations, counting how often each ran.
class Answers
{
public:
    explicit Answers(int count) : m_runs(count, 0), m_outcomes(count) {}

    SmtpClient::Completion slot(int i)
    {
        return [this, i](const std::optional<SmtpFailure> &failure) {
            std::lock_guard lock(m_mutex);
            ++m_runs[i];
            m_outcomes[i] = failure;
            m_changed.notify_all();
        };
    }
    bool waitForAll(std::chrono::seconds limit)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, limit, [this] {
            return std::find(m_runs.begin(), m_runs.end(), 0) == m_runs.end();
        });
    }
    std::vector<int> runs()
    {
        std::lock_guard lock(m_mutex);
        return m_runs;
    }
    std::optional<SmtpFailure> outcome(int i)
    {
        std::lock_guard lock(m_mutex);
        return m_outcomes[i];
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_runs;
    std::vector<std::optional<SmtpFailure>> m_outcomes;
};

SmtpSettings localServer(int port)
{
    SmtpSettings s;
    s.hostname = u"127.0.0.1"_s;
    s.port = port;
    return s;
}

const QByteArray kMessage = "Subject: t\r\n\r\nbody\r\n";

QString failureText(Answers &answers, int i)
{
    const std::optional<SmtpFailure> failure = answers.outcome(i);
    return failure ? failure->localizedDescription : u"<success>"_s;
}

TEST(CurlSmtpClient, RefusedConnectionIsToldInWords)
{
    const int port = closedPort();
    Answers answers(1);
    CurlSmtpClient client;
    client.sendMessage(localServer(port), u"a@x.test"_s, {u"b@y.test"_s}, kMessage, answers.slot(0));
    ASSERT_TRUE(answers.waitForAll(60s));
    EXPECT_EQ(failureText(answers, 0), u"Could not connect to 127.0.0.1 port %1: Connection refused"_s.arg(port));
}

struct RefusalRow
{
    const char *name;
    QString host;
    QString from;
    QStringList to;
    QString failure;
};

class RefusedBeforeConnecting : public ::testing::TestWithParam<RefusalRow>
{
};

// Inputs that would break the SMTP dialogue never reach a server: the port
// given is closed, so any attempt would fail differently.
TEST_P(RefusedBeforeConnecting, SaysWhy)
{
    const RefusalRow &row = GetParam();
    SmtpSettings settings = localServer(closedPort());
    settings.hostname = row.host;
    Answers answers(1);
    CurlSmtpClient client;
    client.sendMessage(settings, row.from, row.to, kMessage, answers.slot(0));
    ASSERT_TRUE(answers.waitForAll(60s));
    EXPECT_EQ(failureText(answers, 0), row.failure);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, RefusedBeforeConnecting,
    ::testing::Values(
        RefusalRow{"LineBreakInRecipient", u"127.0.0.1"_s, u"a@x.test"_s, {u"b@y.test>\r\nRCPT TO:<c@z.test"_s},
                   u"The recipient address \"b@y.test>  RCPT TO:<c@z.test\" cannot be used"_s},
        RefusalRow{"LineBreakInSender", u"127.0.0.1"_s, u"a@x.test\r\nRSET"_s, {u"b@y.test"_s},
                   u"The sender address \"a@x.test  RSET\" cannot be used"_s},
        RefusalRow{"NoRecipient", u"127.0.0.1"_s, u"a@x.test"_s, {}, u"The message has no recipient"_s},
        RefusalRow{"NoServerName", u"  "_s, u"a@x.test"_s, {u"b@y.test"_s}, u"No server name is set"_s},
        RefusalRow{"ServerNameWithPath", u"mail.example.test/evil"_s, u"a@x.test"_s, {u"b@y.test"_s},
                   u"The server name \"mail.example.test/evil\" is not valid"_s}),
    [](const ::testing::TestParamInfo<RefusalRow> &row) { return std::string(row.param.name); });

TEST(CurlSmtpClient, SilentServerRunsIntoTheTimeOut)
{
    SilentServer server;
    SmtpSettings settings = localServer(server.port());
    settings.timeoutSeconds = 1;
    Answers answers(1);
    CurlSmtpClient client;
    client.checkAccount(settings, u"a@x.test"_s, answers.slot(0));
    ASSERT_TRUE(answers.waitForAll(60s));
    EXPECT_TRUE(failureText(answers, 0).startsWith(u"The server 127.0.0.1 did not answer in time"_s));
}

// More operations than workers: every one is answered, and only once.
TEST(CurlSmtpClient, EveryQueuedOperationIsAnsweredExactlyOnce)
{
    constexpr int count = 24;
    const int port = closedPort();
    Answers answers(count);
    CurlSmtpClient::Options options;
    options.maxConcurrent = 3;
    CurlSmtpClient client(options);
    for (int i = 0; i < count; ++i) {
        if (i % 2)
            client.sendMessage(localServer(port), u"a@x.test"_s, {u"b@y.test"_s}, kMessage, answers.slot(i));
        else
            client.checkAccount(localServer(port), u"a@x.test"_s, answers.slot(i));
    }
    ASSERT_TRUE(answers.waitForAll(120s));
    EXPECT_EQ(answers.runs(), std::vector<int>(count, 1));
}

// Destroying the client while servers keep it waiting cancels what runs,
// completes what is queued, and returns: nothing is lost, nothing dangles.
TEST(CurlSmtpClient, DestructionCompletesOperationsInFlightAndQueued)
{
    constexpr int count = 4;
    SilentServer server;
    Answers answers(count);
    {
        CurlSmtpClient::Options options;
        options.maxConcurrent = 2;
        CurlSmtpClient client(options);
        for (int i = 0; i < count; ++i)
            client.sendMessage(localServer(server.port()), u"a@x.test"_s, {u"b@y.test"_s}, kMessage,
                               answers.slot(i));
        std::this_thread::sleep_for(200ms); // the first two are connected and waiting
    }
    EXPECT_EQ(answers.runs(), std::vector<int>(count, 1));
}

TEST(CurlSmtpClient, CancelledOperationsSaySo)
{
    SilentServer server;
    Answers answers(1);
    {
        CurlSmtpClient client;
        client.sendMessage(localServer(server.port()), u"a@x.test"_s, {u"b@y.test"_s}, kMessage, answers.slot(0));
    }
    EXPECT_EQ(failureText(answers, 0), u"The operation was cancelled before the server had answered"_s);
}

} // namespace
} // namespace quillcast
