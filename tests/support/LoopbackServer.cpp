#include "support/LoopbackServer.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <locale>
#include <sstream>
#include <stdexcept>

namespace tessarine::test {

LoopbackServer::LoopbackServer() {
    // Loopback requests must never go through a proxy from the environment.
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    setenv("NO_PROXY", "127.0.0.1,localhost", 1);
    // The server library compiles regular expressions on its threads and in
    // the test's thread (its client, the handlers' paths). The standard
    // library's ctype facet caches narrowed characters on first use, a write
    // that two threads may make at once: fill the cache here, before any
    // server thread runs, so that later uses only read it.
    const auto& ctype = std::use_facet<std::ctype<char>>(std::locale());
    for (int c = 1; c < 256; ++c)
        ctype.narrow(static_cast<char>(c), '\0');
    // No delayed small replies (each would wait 40 ms for the client's delayed
    // acknowledgement); accepted sockets inherit it, so it precedes binding.
    server_.set_tcp_nodelay(true);
    // Bound at once, so that URLs are known before the handlers are set.
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        throw std::runtime_error("cannot bind a loopback port");
}

LoopbackServer::~LoopbackServer() {
    Stop();
}

void LoopbackServer::Start() {
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    // Stopping is safe once the server runs; it surely does once it has
    // answered. No handler of a test serves OPTIONS, so no hit is counted.
    httplib::Client probe("127.0.0.1", port_);
    probe.set_read_timeout(60);
    if (!probe.Options("/"))
        throw std::runtime_error("the loopback server does not answer");
}

void LoopbackServer::Stop() {
    {
        // Lets held and slowed handlers end, so that stopping does not wait on them.
        std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopWake_.notify_all();
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
            CountHit(path);
        }
        requested_.notify_all();
        response.status = status;
        response.set_content(body, contentType);
    });
}

void LoopbackServer::ServePartial(const std::string& path, size_t announced, size_t sent,
                                  bool stall) {
    server_.Get(
        path, [this, announced, sent, stall](const httplib::Request&, httplib::Response& response) {
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

namespace {

// If-None-Match holds one tag, several or "*"; tags compare weakly.
bool TagListMatches(const std::string& list, const std::string& etag) {
    auto opaque = [](std::string tag) {
        tag.erase(0, tag.find_first_not_of(' '));
        tag.erase(tag.find_last_not_of(' ') + 1);
        return tag.rfind("W/", 0) == 0 ? tag.substr(2) : tag;
    };
    if (etag.empty() || list == "*")
        return !etag.empty();
    std::istringstream tags(list);
    for (std::string tag; std::getline(tags, tag, ',');)
        if (opaque(tag) == opaque(etag))
            return true;
    return false;
}

} // namespace

void LoopbackServer::ServeResource(const std::string& path, Resource resource) {
    {
        std::lock_guard lock(mutex_);
        const bool known = resources_.count(path) != 0;
        resources_[path] = std::move(resource);
        if (known)
            return;
    }
    server_.Get(path, [this, path](const httplib::Request& request, httplib::Response& response) {
        const int now = ++atOnce_;
        for (int most = mostAtOnce_; now > most && !mostAtOnce_.compare_exchange_weak(most, now);) {
        }
        struct Leave {
            std::atomic<int>& count;
            ~Leave() { --count; }
        } leave{atOnce_};
        Resource r;
        {
            std::lock_guard lock(mutex_);
            CountHit(path);
            lastRequests_[path] = request.headers;
            r = resources_[path];
            resources_[path].cutAfter = SIZE_MAX;
        }
        requested_.notify_all();
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(r.delayMs);
        WaitUntilStoppedOr(until);

        // This handler answers ranges itself; httplib would otherwise cut every
        // body it sends down to the requested range. The request object is the
        // server's own, not a constant.
        const_cast<httplib::Request&>(request).ranges.clear();
        if (!r.etag.empty())
            response.set_header("ETag", r.etag);
        if (!r.lastModified.empty())
            response.set_header("Last-Modified", r.lastModified);
        if (r.conditional) {
            const bool notModified =
                request.has_header("If-None-Match")
                    ? TagListMatches(request.get_header_value("If-None-Match"), r.etag)
                    : request.has_header("If-Modified-Since") && !r.lastModified.empty() &&
                          request.get_header_value("If-Modified-Since") == r.lastModified;
            if (notModified) {
                response.status = 304;
                return;
            }
        }
        size_t from = 0;
        const std::string range = request.get_header_value("Range");
        if (r.ranges && range.rfind("bytes=", 0) == 0 && range.size() > 7 && range.back() == '-') {
            const std::string ifRange = request.get_header_value("If-Range");
            const bool strongTag = !r.etag.empty() && r.etag.rfind("W/", 0) != 0;
            const bool same = !r.ifRange || !request.has_header("If-Range") ||
                              (strongTag && ifRange == r.etag) ||
                              (!r.lastModified.empty() && ifRange == r.lastModified);
            if (same) {
                from = std::stoull(range.substr(6));
                const std::string total = std::to_string(r.body.size());
                if (from >= r.body.size()) {
                    response.status = 416;
                    response.set_header("Content-Range", "bytes */" + total);
                    return;
                }
                response.status = 206;
                response.set_header("Content-Range", "bytes " + std::to_string(from) + "-" +
                                                         std::to_string(r.body.size() - 1) + "/" +
                                                         total);
            }
        }
        if (r.cutAfter == SIZE_MAX && r.trickleBytes == 0) {
            response.set_content(r.body.substr(from), r.contentType);
            return;
        }
        const auto body = std::make_shared<std::string>(r.body.substr(from));
        response.set_content_provider(
            body->size(), r.contentType,
            [this, body, r](size_t offset, size_t length, httplib::DataSink& sink) {
                if (offset >= r.cutAfter)
                    return false; // drops the connection
                size_t n = std::min({length, body->size() - offset, r.cutAfter - offset});
                if (r.trickleBytes != 0) {
                    n = std::min(n, r.trickleBytes);
                    const auto next = std::chrono::steady_clock::now() +
                                      std::chrono::milliseconds(r.trickleEveryMs);
                    if (WaitUntilStoppedOr(next))
                        return false;
                }
                return sink.write(body->data() + offset, n);
            });
    });
}

std::string LoopbackServer::LastRequestHeader(const std::string& path,
                                              const std::string& name) const {
    std::lock_guard lock(mutex_);
    auto it = lastRequests_.find(path);
    if (it == lastRequests_.end())
        return {};
    auto header = it->second.find(name);
    return header == it->second.end() ? std::string() : header->second;
}

void LoopbackServer::HoldUntilStopped() const {
    std::unique_lock lock(stopMutex_);
    stopWake_.wait(lock, [this] { return stopping_.load(); });
}

bool LoopbackServer::WaitUntilStoppedOr(std::chrono::steady_clock::time_point deadline) const {
    // The server's own slowness is measured on the real clock: the program
    // under test sees a slow host, not a test clock.
    std::unique_lock lock(stopMutex_);
    return stopWake_.wait_until(lock, deadline, [this] { return stopping_.load(); });
}

int LoopbackServer::Hits(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = hits_.find(path);
    return it == hits_.end() ? 0 : it->second;
}

void LoopbackServer::CountHit(const std::string& path) {
    ++hits_[path];
    ++requests_;
}

bool LoopbackServer::AwaitRequests(const std::function<bool()>& ready,
                                   std::chrono::milliseconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(mutex_);
    for (;;) {
        // The count is taken before `ready` is asked: a request in between wakes the wait.
        const int seen = requests_;
        lock.unlock();
        if (ready())
            return true;
        lock.lock();
        if (!requested_.wait_until(lock, end, [&] { return requests_ != seen; }))
            return false;
    }
}

} // namespace tessarine::test
