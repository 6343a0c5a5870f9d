#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

namespace quillcast::testing {

// A minimal HTTP/1.1 server on 127.0.0.1 and a port of its own, answering GET
// requests from a table of paths on a thread of its own, one connection at a
// time, closing each after its answer. Unknown paths get 404.
class LocalHttpServer
{
public:
    struct Reply
    {
        int status = 200;
        QByteArray body;
        QByteArray headers; // extra header lines, each ending in "\r\n"
    };

    LocalHttpServer()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        const int yes = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_fd, 16);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~LocalHttpServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_fd);
    }
    LocalHttpServer(const LocalHttpServer &) = delete;
    LocalHttpServer &operator=(const LocalHttpServer &) = delete;

    int port() const { return m_port; }
    QString url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }

    void setReply(const QByteArray &path, Reply reply)
    {
        const std::lock_guard lock(m_lock);
        m_replies[path] = std::move(reply);
    }
    // The paths asked for, in order.
    QList<QByteArray> requests() const
    {
        const std::lock_guard lock(m_lock);
        return m_requests;
    }

private:
    void serve()
    {
        while (!m_stop) {
            pollfd listening{m_fd, POLLIN, 0};
            if (::poll(&listening, 1, 50) <= 0)
                continue;
            const int client = ::accept(m_fd, nullptr, nullptr);
            if (client < 0)
                continue;
            answer(client);
            ::close(client);
        }
    }

    void answer(int client)
    {
        QByteArray request;
        while (!request.contains("\r\n\r\n") && request.size() < 65536) {
            pollfd readable{client, POLLIN, 0};
            if (::poll(&readable, 1, 2000) <= 0)
                return;
            char buffer[4096];
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0)
                return;
            request.append(buffer, got);
        }
        const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
        const QByteArray path = requestLine.value(1);
        Reply reply{404, QByteArray("not here"), QByteArray()};
        {
            const std::lock_guard lock(m_lock);
            m_requests.append(path);
            if (const auto it = m_replies.find(path); it != m_replies.end())
                reply = it->second;
        }
        QByteArray response = "HTTP/1.1 " + QByteArray::number(reply.status) + " Answer\r\n"
                              + "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n"
                              + "Connection: close\r\n" + reply.headers + "\r\n" + reply.body;
        qsizetype sent = 0;
        while (sent < response.size()) {
            const ssize_t n = ::send(client, response.constData() + sent, size_t(response.size() - sent), MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += n;
        }
    }

    int m_fd = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::map<QByteArray, Reply> m_replies;
    QList<QByteArray> m_requests;
    std::thread m_thread;
};

} // namespace quillcast::testing
