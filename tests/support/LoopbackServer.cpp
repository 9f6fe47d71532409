#include "support/LoopbackServer.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace tessarine::test {

LoopbackServer::LoopbackServer() {
    // Loopback requests must never go through a proxy from the environment.
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    // No delayed small replies. The option is given to the listening socket,
    // which passes it on to every accepted one, so it must precede binding:
    // otherwise every reply on a kept-alive connection waits 40 ms for the
    // client's delayed acknowledgement.
    server_.set_tcp_nodelay(true);
    // Bound at once, so that URLs are known before the handlers are set.
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        throw std::runtime_error("cannot bind a loopback port");
}

LoopbackServer::~LoopbackServer() { Stop(); }

void LoopbackServer::Start() {
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void LoopbackServer::Stop() {
    stopping_ = true; // lets held handlers end, so that stopping does not wait on them
    if (thread_.joinable()) {
        server_.stop();
        thread_.join();
    }
}

std::string LoopbackServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackServer::Serve(const std::string& path, const std::string& body,
                           const std::string& contentType, int status) {
    server_.Get(path, [this, path, body, contentType, status](const httplib::Request&,
                                                              httplib::Response& response) {
        {
            std::lock_guard lock(mutex_);
            ++hits_[path];
        }
        response.status = status;
        response.set_content(body, contentType);
    });
}

void LoopbackServer::ServePartial(const std::string& path, size_t announced, size_t sent,
                                  bool stall) {
    server_.Get(path, [this, announced, sent, stall](const httplib::Request&,
                                                     httplib::Response& response) {
        response.set_content_provider(
            announced, "application/octet-stream",
            [this, sent, stall](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset < sent) {
                    const std::string part(std::min<size_t>(sent - offset, 64 << 10), 'x');
                    return sink.write(part.data(), part.size());
                }
                if (stall)
                    HoldUntilStopped();
                return false;
            });
    });
}

void LoopbackServer::HoldUntilStopped() const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!stopping_ && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

int LoopbackServer::Hits(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = hits_.find(path);
    return it == hits_.end() ? 0 : it->second;
}

} // namespace tessarine::test
