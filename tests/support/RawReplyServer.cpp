#include "support/RawReplyServer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace tessarine::test {

RawReplyServer::RawReplyServer() {
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{
        .sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    auto* a = reinterpret_cast<sockaddr*>(&address);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, a, length) != 0 || ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, a, &length) != 0) {
        if (listener_ >= 0)
            ::close(listener_);
        throw std::runtime_error("cannot bind a loopback port");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

RawReplyServer::~RawReplyServer() {
    // Ends a waiting accept; the thread then leaves.
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
}

std::string RawReplyServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void RawReplyServer::Serve(const std::string& path, std::string reply, std::string rangedReply) {
    std::lock_guard lock(mutex_);
    replies_[path] = {std::move(reply), std::move(rangedReply)};
}

int RawReplyServer::Hits(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const auto it = hits_.find(path);
    return it == hits_.end() ? 0 : it->second;
}

std::string RawReplyServer::LastRequest(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const auto it = lastRequests_.find(path);
    return it == lastRequests_.end() ? std::string() : it->second;
}

void RawReplyServer::Run() {
    for (;;) {
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return; // the listener was shut down
        }
        const int on = 1;
        ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            request.append(buffer, static_cast<size_t>(n));
        }
        // "GET /path HTTP/1.1"
        const size_t start = request.find(' ') + 1;
        const std::string path = request.substr(start, request.find(' ', start) - start);
        std::string reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        {
            std::lock_guard lock(mutex_);
            if (const auto it = replies_.find(path); it != replies_.end()) {
                const bool ranged = request.find("\r\nRange:") != std::string::npos;
                reply = ranged && !it->second.second.empty() ? it->second.second
                                                             : it->second.first;
                ++hits_[path];
                lastRequests_[path] = request;
            }
        }
        for (size_t at = 0; at < reply.size();) {
            const ssize_t n = ::send(connection, reply.data() + at, reply.size() - at, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            at += static_cast<size_t>(n);
        }
        // The close ends a body that has no length.
        ::shutdown(connection, SHUT_WR);
        ::close(connection);
    }
}

} // namespace tessarine::test
