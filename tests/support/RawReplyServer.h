#pragma once
// A loopback server that answers with bytes exactly as given, for replies an
// HTTP library would not send: malformed headers, bodies that do not match
// their length. Bound to a free port on 127.0.0.1 when constructed; serves
// one connection at a time on its own thread: reads the request's header
// block, writes the reply set for its path (a 404 for others) and closes the
// connection.

#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace tessarine::test {

class RawReplyServer {
public:
    RawReplyServer();
    ~RawReplyServer();
    RawReplyServer(const RawReplyServer&) = delete;
    RawReplyServer& operator=(const RawReplyServer&) = delete;

    // "http://127.0.0.1:PORT" followed by `path`.
    std::string Url(const std::string& path) const;
    // The whole reply to a request for `path`: status line, headers, body;
    // with `rangedReply`, that one answers requests that carry a Range.
    void Serve(const std::string& path, std::string reply, std::string rangedReply = "");
    // Requests for `path` answered so far.
    int Hits(const std::string& path) const { return Find(path).hits; }
    // The header block of the last request for `path`, empty when none came.
    std::string LastRequest(const std::string& path) const { return Find(path).lastRequest; }

private:
    struct Path {
        std::string reply, rangedReply, lastRequest;
        int hits = 0;
    };
    Path Find(const std::string& path) const; // a copy, taken under the lock
    void Run();

    int listener_ = -1;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::map<std::string, Path> paths_;
    std::thread thread_;
};

} // namespace tessarine::test
