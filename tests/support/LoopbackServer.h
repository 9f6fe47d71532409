#pragma once
// A cpp-httplib server on 127.0.0.1, bound to a free port when constructed and
// serving on its own thread from Start() to the end of the object's life.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace tessarine::test {

class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    httplib::Server& Server() { return server_; }
    // Starts the listening thread and waits until it accepts.
    void Start();
    void Stop();

    int Port() const { return port_; }
    // "http://127.0.0.1:PORT" followed by `path`.
    std::string Url(const std::string& path) const;

    // Serves fixed bodies; each path counts its hits.
    void Serve(const std::string& path, const std::string& body,
               const std::string& contentType = "application/octet-stream", int status = 200);
    int Hits(const std::string& path) const;
    // Waits until `ready` holds, asking it again after each request a path of
    // Serve() or ServeResource() counts; false when `limit` passes first.
    bool AwaitRequests(const std::function<bool()>& ready,
                       std::chrono::milliseconds limit = std::chrono::minutes(1)) const;

    // Announces `announced` bytes and sends the first `sent` of them, then
    // drops the connection: at once, or with `stall` after falling silent
    // until the server stops.
    void ServePartial(const std::string& path, size_t announced, size_t sent, bool stall);
    // A resource served as a careful HTTP server does: with its validators,
    // answering conditional and ranged requests, or not, as set here.
    struct Resource {
        std::string body{};
        std::string etag{};         // sent as ETag when not empty
        std::string lastModified{}; // sent as Last-Modified when not empty
        std::string contentType = "application/octet-stream"; // text types are compressed
        bool conditional = true;    // 304 when If-None-Match (else If-Modified-Since) matches
        bool ranges = true;         // 206 for "Range: bytes=N-" when If-Range matches, 416
                                    // past the end; otherwise the whole body with 200
        bool ifRange = true;        // false: sends the range whatever If-Range says
        size_t cutAfter = SIZE_MAX; // the next response drops the connection after this
                                    // many body bytes (applies once)
        int delayMs = 0;            // waits this long before answering
        size_t trickleBytes = 0;    // sends the body this many bytes at a time,
        int trickleEveryMs = 0;     // one piece per period
    };
    // Serves `resource` at `path`, or replaces the one served there.
    void ServeResource(const std::string& path, Resource resource);
    // A request header of the last request for `path`; empty when absent.
    std::string LastRequestHeader(const std::string& path, const std::string& name) const;
    // How many requests for any path were being answered at once, at most.
    int MostAtOnce() const { return mostAtOnce_; }

    // For handlers: waits until the server stops (or a minute passes), like a
    // peer that stops sending.
    void HoldUntilStopped() const;

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, int> hits_;
    int requests_ = 0; // all counted hits, under mutex_
    mutable std::condition_variable requested_;
    void CountHit(const std::string& path); // with mutex_ held
    std::map<std::string, Resource> resources_;
    std::map<std::string, httplib::Headers> lastRequests_;
    std::atomic<int> atOnce_{0};
    std::atomic<int> mostAtOnce_{0};
    // Waits until the server stops or `deadline` passes; true when it stops.
    bool WaitUntilStoppedOr(std::chrono::steady_clock::time_point deadline) const;
    mutable std::mutex stopMutex_;
    mutable std::condition_variable stopWake_;
    std::atomic<bool> stopping_{false};
};

} // namespace tessarine::test
