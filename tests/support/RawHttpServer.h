#pragma once
// A bare TCP server on 127.0.0.1 that answers HTTP requests byte by byte, for
// faults an HTTP server library does not produce on request: a connection
// reset in the middle of a body, a stall before or inside a response, an
// announced length far beyond what is sent, a body that never ends.
//
// The port is bound when the object is made; connections are accepted from
// Start() on, so whatever the handler reads may be set up before that. Every
// connection is served by the handler on a thread of its own and closed when
// the handler returns. Stop() (and the destructor) unblocks and ends every
// handler: Send() and Wait() return false from then on.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tessarine::test {

class RawHttpServer {
public:
    class Connection {
    public:
        // The path of the request line, "/feed.xml" for "GET /feed.xml HTTP/1.1".
        const std::string& Path() const { return path_; }
        // Sends bytes; false once the peer has gone or the server stops.
        bool Send(std::string_view bytes);
        // Sends a status line, the given header lines and "Connection: close".
        bool SendHead(int status, const std::vector<std::string>& headers = {});
        // Waits for `duration` unless the server stops first (then false).
        bool Wait(std::chrono::milliseconds duration);
        // Ends the connection with a TCP reset rather than an orderly close.
        void Reset();

    private:
        friend class RawHttpServer;
        RawHttpServer* server_ = nullptr;
        int fd_ = -1;
        std::string path_;
    };
    using Handler = std::function<void(Connection&)>;

    explicit RawHttpServer(Handler handler);
    ~RawHttpServer();
    RawHttpServer(const RawHttpServer&) = delete;
    RawHttpServer& operator=(const RawHttpServer&) = delete;

    void Start();
    void Stop();
    int Port() const { return port_; }
    // "http://127.0.0.1:PORT" followed by `path`.
    std::string Url(const std::string& path) const;
    // Requests received, and body or header bytes sent, over all connections.
    int Requests() const { return requests_; }
    int64_t BytesSent() const { return bytesSent_; }
    bool Stopping() const { return stopping_; }

private:
    void AcceptLoop();
    void Serve(int fd);
    void CloseConnection(int& fd);

    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
    std::atomic<int64_t> bytesSent_{0};
    std::thread acceptThread_;
    std::mutex mutex_;
    std::vector<int> openFds_;
    std::list<std::thread> connectionThreads_;
};

} // namespace tessarine::test
