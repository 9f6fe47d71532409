#pragma once
// A cpp-httplib server on 127.0.0.1, bound to a free port when constructed and
// serving on its own thread from Start() to the end of the object's life.

#include <httplib.h>

#include <atomic>
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

    // Announces `announced` bytes and sends the first `sent` of them, then
    // drops the connection: at once, or with `stall` after falling silent
    // until the server stops.
    void ServePartial(const std::string& path, size_t announced, size_t sent, bool stall);
    // For handlers: waits until the server stops (or a minute passes), like a
    // peer that stops sending.
    void HoldUntilStopped() const;

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, int> hits_;
    std::atomic<bool> stopping_{false};
};

} // namespace tessarine::test
