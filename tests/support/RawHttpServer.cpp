#include "support/RawHttpServer.h"

#include <algorithm>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tessarine::test {

namespace {

constexpr int kPollSliceMs = 20;
constexpr size_t kMaxRequestBytes = 64 * 1024;

} // namespace

RawHttpServer::RawHttpServer(Handler handler) : handler_(std::move(handler)) {
    // Loopback requests must never go through a proxy from the environment.
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        throw std::runtime_error("cannot create a socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 64) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("cannot listen on a loopback port");
    }
    port_ = ntohs(address.sin_port);
}

void RawHttpServer::Start() {
    if (!acceptThread_.joinable() && !stopping_)
        acceptThread_ = std::thread([this] { AcceptLoop(); });
}

RawHttpServer::~RawHttpServer() { Stop(); }

void RawHttpServer::Stop() {
    if (stopping_.exchange(true))
        return;
    if (acceptThread_.joinable())
        acceptThread_.join();
    ::close(listenFd_);
    {
        // Wakes handlers blocked in a send to a peer that does not read.
        std::lock_guard lock(mutex_);
        for (int fd : openFds_)
            ::shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& thread : connectionThreads_)
        thread.join();
}

std::string RawHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void RawHttpServer::AcceptLoop() {
    while (!stopping_) {
        pollfd waiting{listenFd_, POLLIN, 0};
        if (::poll(&waiting, 1, kPollSliceMs) <= 0)
            continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::lock_guard lock(mutex_);
        openFds_.push_back(fd);
        connectionThreads_.emplace_back([this, fd] { Serve(fd); });
    }
}

void RawHttpServer::Serve(int fd) {
    Connection connection;
    connection.server_ = this;
    connection.fd_ = fd;

    // Reads the request head; the request line gives the path.
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxRequestBytes &&
           !stopping_) {
        pollfd waiting{fd, POLLIN, 0};
        if (::poll(&waiting, 1, kPollSliceMs) <= 0)
            continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        head.append(buffer, static_cast<size_t>(n));
    }
    const size_t first = head.find(' ');
    const size_t second = first == std::string::npos ? first : head.find(' ', first + 1);
    if (second != std::string::npos) {
        connection.path_ = head.substr(first + 1, second - first - 1);
        ++requests_;
        handler_(connection);
    }

    CloseConnection(connection.fd_);
}

void RawHttpServer::CloseConnection(int& fd) {
    std::lock_guard lock(mutex_);
    if (fd < 0)
        return;
    // Forgotten before it is closed: its number may be reused at once.
    openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
    ::close(fd);
    fd = -1;
}

bool RawHttpServer::Connection::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        if (server_->stopping_ || fd_ < 0)
            return false;
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        server_->bytesSent_ += n;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool RawHttpServer::Connection::SendHead(int status, const std::vector<std::string>& headers) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " Status\r\n";
    for (const std::string& line : headers)
        head += line + "\r\n";
    head += "Connection: close\r\n\r\n";
    return Send(head);
}

bool RawHttpServer::Connection::Wait(std::chrono::milliseconds duration) {
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        if (server_->stopping_)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return !server_->stopping_;
}

void RawHttpServer::Connection::Reset() {
    // Closing with a zero linger time sends RST instead of FIN.
    const linger abort{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    server_->CloseConnection(fd_);
}

} // namespace tessarine::test
