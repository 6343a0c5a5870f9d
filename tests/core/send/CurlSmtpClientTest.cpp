#include "send/CurlSmtpClient.h"

#include "LocalPorts.h"

#include <gtest/gtest.h>

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

using testing::closedPort;
using testing::SilentServer;

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

// Inputs that would break the SMTP dialogue never reach a server: the port
// given is closed, so any attempt would fail differently.
TEST(CurlSmtpClient, InputsThatWouldBreakTheDialogueAreRefusedBeforeConnecting)
{
    const struct { const char *name; QString host; QString from; QStringList to; QString failure; } rows[] = {
        {"line break in recipient", u"127.0.0.1"_s, u"a@x.test"_s, {u"b@y.test>\r\nRCPT TO:<c@z.test"_s},
         u"The recipient address \"b@y.test>  RCPT TO:<c@z.test\" cannot be used"_s},
        {"line break in sender", u"127.0.0.1"_s, u"a@x.test\r\nRSET"_s, {u"b@y.test"_s},
         u"The sender address \"a@x.test  RSET\" cannot be used"_s},
        {"no recipient", u"127.0.0.1"_s, u"a@x.test"_s, {}, u"The message has no recipient"_s},
        {"no server name", u"  "_s, u"a@x.test"_s, {u"b@y.test"_s}, u"No server name is set"_s},
        {"server name with a path", u"mail.example.test/evil"_s, u"a@x.test"_s, {u"b@y.test"_s},
         u"The server name \"mail.example.test/evil\" is not valid"_s},
    };
    CurlSmtpClient client;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        SmtpSettings settings = localServer(closedPort());
        settings.hostname = row.host;
        Answers answers(1);
        client.sendMessage(settings, row.from, row.to, kMessage, answers.slot(0));
        ASSERT_TRUE(answers.waitForAll(60s));
        EXPECT_EQ(failureText(answers, 0), row.failure);
    }
}

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
    EXPECT_EQ(failureText(answers, 0), u"The operation was cancelled before the server had answered"_s);
}

} // namespace
} // namespace quillcast
