#include "support/RawReplyServer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
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
    paths_[path].reply = std::move(reply);
    paths_[path].rangedReply = std::move(rangedReply);
}

RawReplyServer::Path RawReplyServer::Find(const std::string& path) const {
    std::lock_guard lock(mutex_);
    const auto it = paths_.find(path);
    return it == paths_.end() ? Path() : it->second;
}

void RawReplyServer::Run() {
    // accept fails once the listener is shut down (a signal's EINTR aside).
    for (int connection; (connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0 ||
                         errno == EINTR;) {
        if (connection < 0)
            continue;
        std::string request;
        char buffer[4096];
        for (ssize_t n = 1; n > 0 && request.find("\r\n\r\n") == std::string::npos;) {
            n = ::recv(connection, buffer, sizeof buffer, 0);
            request.append(buffer, static_cast<size_t>(std::max<ssize_t>(n, 0)));
        }
        // "GET /path HTTP/1.1"
        const size_t start = request.find(' ') + 1;
        const std::string path = request.substr(start, request.find(' ', start) - start);
        std::string reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        {
            std::lock_guard lock(mutex_);
            if (const auto it = paths_.find(path); it != paths_.end()) {
                const bool ranged = request.find("\r\nRange:") != std::string::npos;
                reply = ranged && !it->second.rangedReply.empty() ? it->second.rangedReply
                                                                  : it->second.reply;
                ++it->second.hits;
                it->second.lastRequest = request;
            }
        }
        for (ssize_t n = 0, at = 0; at < static_cast<ssize_t>(reply.size()) && n >= 0; at += n)
            n = ::send(connection, reply.data() + at, reply.size() - at, MSG_NOSIGNAL);
        // The close ends a body that has no length.
        ::shutdown(connection, SHUT_WR);
        ::close(connection);
    }
}

} // namespace tessarine::test
