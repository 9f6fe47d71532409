#include "update/HttpClient.h"

#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tessarine {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using test::LoopbackServer;

constexpr int64_t kGiB = int64_t{1} << 30;

HttpOptions Options(long stallSeconds = 5, long maxRedirects = 10) {
    HttpOptions options;
    options.connectTimeoutSeconds = 5;
    options.stallTimeoutSeconds = stallSeconds;
    options.maxRedirects = maxRedirects;
    return options;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Byte i of a generated body.
char Pattern(size_t i) { return static_cast<char>(i % 251); }

// Everything the callbacks of one request saw.
struct Recorded {
    int responses = 0;
    bool dataBeforeResponse = false;
    long status = 0;
    int64_t length = -2;
    std::string body;
    size_t chunks = 0;
};

HttpResult FetchRecorded(HttpSession& session, const std::string& url, Recorded& seen) {
    return session.Fetch(
        url,
        [&](long status, int64_t length) {
            ++seen.responses;
            seen.status = status;
            seen.length = length;
            return true;
        },
        [&](std::string_view chunk) {
            if (seen.responses == 0)
                seen.dataBeforeResponse = true;
            ++seen.chunks;
            seen.body.append(chunk);
            return true;
        });
}

class HttpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(HttpGlobalInit());
        server.Server().set_keep_alive_max_count(100);
        server.Server().set_keep_alive_timeout(1);
        server.Server().set_tcp_nodelay(true);
    }
    void ServeRedirect(const std::string& path, const std::string& target, int status) {
        server.Server().Get(path, [target, status](const httplib::Request&,
                                                   httplib::Response& response) {
            response.set_redirect(target, status);
            response.set_content("redirect body", "text/plain");
        });
    }

    void ServePartial(const std::string& path, size_t announced, size_t sent, bool stall) {
        server.ServePartial(path, announced, sent, stall);
    }

    LoopbackServer server;
};

TEST_F(HttpClientTest, FetchesToStringWithUserAgentAndAnyStatus) {
    std::mutex mutex;
    std::vector<std::string> agents;
    server.Server().Get("/feed.xml", [&](const httplib::Request& request,
                                         httplib::Response& response) {
        std::lock_guard lock(mutex);
        agents.push_back(request.get_header_value("User-Agent"));
        response.set_content("<rss/>", "application/rss+xml");
    });
    server.Serve("/missing", "not here", "text/plain", 404);
    server.Serve("/broken", "oops", "text/plain", 500);
    server.Start();

    HttpSession session(Options());
    ASSERT_TRUE(session.IsOpen());
    std::string body = "stale";
    HttpResult result = session.FetchToString(server.Url("/feed.xml"), body, 1 << 20);
    EXPECT_TRUE(result.opened);
    EXPECT_TRUE(result.complete);
    EXPECT_FALSE(result.cancelled);
    EXPECT_FALSE(result.tooLarge);
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.contentLength, 6);
    EXPECT_EQ(result.received, 6);
    EXPECT_EQ(result.error, "");
    EXPECT_EQ(body, "<rss/>");

    HttpOptions custom = Options();
    custom.userAgent = "Probe/2.0";
    HttpSession other(custom);
    other.FetchToString(server.Url("/feed.xml"), body, -1);
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(agents, (std::vector<std::string>{"Tessarine/1.0", "Probe/2.0"}));
    }

    // An error status is a response like any other: opened, with its body.
    const struct {
        const char* path;
        long status;
        const char* body;
    } errors[] = {{"/missing", 404, "not here"}, {"/broken", 500, "oops"}};
    for (const auto& c : errors) {
        result = session.FetchToString(server.Url(c.path), body, 1 << 20);
        EXPECT_TRUE(result.opened) << c.path;
        EXPECT_TRUE(result.complete) << c.path;
        EXPECT_EQ(result.status, c.status) << c.path;
        EXPECT_EQ(body, c.body) << c.path;
    }
}

TEST_F(HttpClientTest, ReusesOneConnectionForTheRequestsOfASession) {
    std::mutex mutex;
    std::set<int> clientPorts;
    server.Server().Get(R"(/item/(\d+))", [&](const httplib::Request& request,
                                             httplib::Response& response) {
        {
            std::lock_guard lock(mutex);
            clientPorts.insert(request.remote_port);
        }
        response.set_content("item " + request.matches[1].str(), "text/plain");
    });
    server.Start();

    HttpSession session(Options());
    for (int i = 0; i < 5; ++i) {
        std::string body;
        const HttpResult result =
            session.FetchToString(server.Url("/item/" + std::to_string(i)), body, 100);
        EXPECT_TRUE(result.complete);
        EXPECT_EQ(body, "item " + std::to_string(i));
    }
    std::lock_guard lock(mutex);
    EXPECT_EQ(clientPorts.size(), 1u) << "each request opened a new connection";
}

TEST_F(HttpClientTest, FollowsRedirectsAndHandsOnOnlyTheFinalResponse) {
    ServeRedirect("/a", "/b", 301);
    ServeRedirect("/b", "/c", 302);
    ServeRedirect("/c", "/final", 307);
    server.Serve("/final", "done", "text/plain");
    server.Start();

    HttpSession session(Options());
    Recorded seen;
    const HttpResult result = FetchRecorded(session, server.Url("/a"), seen);
    EXPECT_TRUE(result.opened);
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.contentLength, 4);
    EXPECT_EQ(seen.responses, 1);
    EXPECT_EQ(seen.status, 200);
    EXPECT_EQ(seen.length, 4);
    EXPECT_EQ(seen.body, "done"); // no bytes of the redirect bodies
}

TEST_F(HttpClientTest, TooManyRedirectsOrALoopFailToOpen) {
    ServeRedirect("/loop", "/loop", 302);
    ServeRedirect("/one", "/two", 301);
    ServeRedirect("/two", "/three", 301);
    ServeRedirect("/three", "/end", 301);
    server.Serve("/end", "end", "text/plain");
    server.Start();

    const struct {
        const char* path;
        long maxRedirects;
    } cases[] = {{"/loop", 10}, {"/one", 2}};
    for (const auto& c : cases) {
        HttpSession session(Options(5, c.maxRedirects));
        Recorded seen;
        const HttpResult result = FetchRecorded(session, server.Url(c.path), seen);
        EXPECT_FALSE(result.opened) << c.path;
        EXPECT_FALSE(result.complete) << c.path;
        EXPECT_FALSE(result.cancelled) << c.path;
        EXPECT_EQ(result.status, 0) << c.path;
        EXPECT_NE(result.error, "") << c.path;
        EXPECT_EQ(seen.responses, 0) << c.path;
        EXPECT_EQ(seen.body, "") << c.path;
    }
}

TEST_F(HttpClientTest, ConnectionRefusedFailsToOpen) {
    // A bound socket that does not listen: connecting to it is refused.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t size = sizeof address;
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size), 0);
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/x";

    HttpSession session(Options());
    Recorded seen;
    const HttpResult result = FetchRecorded(session, url, seen);
    ::close(fd);
    EXPECT_FALSE(result.opened);
    EXPECT_FALSE(result.complete);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.error, "");
    EXPECT_EQ(seen.responses, 0);
}

TEST_F(HttpClientTest, OnlyHttpUrlsAreFetched) {
    HttpSession session(Options());
    std::string body;
    for (const char* url : {"file:///etc/hostname", "ftp://127.0.0.1/x", "not a url"}) {
        const HttpResult result = session.FetchToString(url, body, 1 << 20);
        EXPECT_FALSE(result.opened) << url;
        EXPECT_NE(result.error, "") << url;
        EXPECT_EQ(body, "") << url;
    }
}

TEST_F(HttpClientTest, BodyCutShortIsIncomplete) {
    ServePartial("/cut", 1000, 400, false);
    server.Server().Get("/cut-chunked", [](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("text/plain",
                                              [](size_t offset, httplib::DataSink& sink) {
                                                  if (offset > 0)
                                                      return false; // no final chunk
                                                  return sink.write("partial", 7);
                                              });
    });
    server.Start();

    const struct {
        const char* path;
        int64_t length;
        int64_t received;
    } cases[] = {{"/cut", 1000, 400}, {"/cut-chunked", -1, 7}};
    HttpSession session(Options());
    for (const auto& c : cases) {
        Recorded seen;
        const HttpResult result = FetchRecorded(session, server.Url(c.path), seen);
        EXPECT_TRUE(result.opened) << c.path;
        EXPECT_FALSE(result.complete) << c.path;
        EXPECT_FALSE(result.cancelled) << c.path;
        EXPECT_EQ(result.status, 200) << c.path;
        EXPECT_EQ(result.contentLength, c.length) << c.path;
        EXPECT_EQ(result.received, c.received) << c.path;
        EXPECT_EQ(static_cast<int64_t>(seen.body.size()), c.received) << c.path;
        EXPECT_NE(result.error, "") << c.path;
    }
}

TEST_F(HttpClientTest, ResponsesWithoutLengthOrBody) {
    server.Server().Get("/chunked", [](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("text/plain",
                                              [](size_t offset, httplib::DataSink& sink) {
                                                  if (offset < 30)
                                                      return sink.write("0123456789", 10);
                                                  sink.done();
                                                  return true;
                                              });
    });
    server.Server().Get("/empty", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("", "text/plain");
    });
    server.Server().Get("/nocontent", [](const httplib::Request&, httplib::Response& response) {
        response.status = 204;
    });
    server.Start();

    const struct {
        const char* path;
        long status;
        int64_t length;
        const char* body;
    } cases[] = {
        {"/chunked", 200, -1, "012345678901234567890123456789"},
        {"/empty", 200, 0, ""},
        {"/nocontent", 204, 0, ""},
    };
    HttpSession session(Options());
    for (const auto& c : cases) {
        Recorded seen;
        const HttpResult result = FetchRecorded(session, server.Url(c.path), seen);
        EXPECT_TRUE(result.opened) << c.path;
        EXPECT_TRUE(result.complete) << c.path;
        EXPECT_EQ(result.status, c.status) << c.path;
        EXPECT_EQ(result.contentLength, c.length) << c.path;
        EXPECT_EQ(seen.responses, 1) << c.path; // also without any body
        EXPECT_FALSE(seen.dataBeforeResponse) << c.path;
        EXPECT_EQ(seen.status, c.status) << c.path;
        EXPECT_EQ(seen.length, c.length) << c.path;
        EXPECT_EQ(seen.body, c.body) << c.path;
    }
}

TEST_F(HttpClientTest, FetchToStringRefusesBodiesOverTheLimit) {
    server.Serve("/ten", "0123456789", "text/plain");
    server.Server().Get("/chunked", [](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("text/plain",
                                              [](size_t offset, httplib::DataSink& sink) {
                                                  if (offset < 10)
                                                      return sink.write(&"0123456789"[offset], 5);
                                                  sink.done();
                                                  return true;
                                              });
    });
    server.Start();

    const struct {
        const char* path;
        int64_t maxBytes;
        bool tooLarge;
    } cases[] = {
        {"/ten", 9, true},       // refused by the announced length
        {"/chunked", 9, true},   // refused by the bytes received
        {"/ten", 10, false},     // exactly at the limit
        {"/chunked", 10, false},
    };
    HttpSession session(Options());
    for (const auto& c : cases) {
        std::string body;
        const HttpResult result = session.FetchToString(server.Url(c.path), body, c.maxBytes);
        const std::string what = std::string(c.path) + " max " + std::to_string(c.maxBytes);
        EXPECT_TRUE(result.opened) << what;
        EXPECT_EQ(result.tooLarge, c.tooLarge) << what;
        EXPECT_EQ(result.complete, !c.tooLarge) << what;
        EXPECT_FALSE(result.cancelled) << what;
        EXPECT_EQ(body, c.tooLarge ? "" : "0123456789") << what;
    }
    // The refused request does not spoil the session.
    std::string body;
    EXPECT_TRUE(session.FetchToString(server.Url("/ten"), body, 100).complete);
}

TEST_F(HttpClientTest, CallbacksReturningFalseEndTheRequest) {
    // Over 4 GiB announced: the length comes through whole, and refusing the
    // response must not wait for the body.
    const int64_t huge = 5 * kGiB;
    ServePartial("/huge", static_cast<size_t>(huge), static_cast<size_t>(huge), true);
    ServePartial("/long", 8 << 20, 8 << 20, false);
    server.Serve("/ok", "fine", "text/plain");
    server.Start();

    HttpSession session(Options());
    int64_t announced = 0;
    size_t chunks = 0;
    const auto start = Clock::now();
    HttpResult result = session.Fetch(
        server.Url("/huge"),
        [&](long, int64_t length) {
            announced = length;
            return false;
        },
        [&](std::string_view) {
            ++chunks;
            return true;
        });
    EXPECT_LT(SecondsSince(start), 5.0);
    EXPECT_EQ(announced, huge);
    EXPECT_EQ(result.contentLength, huge);
    EXPECT_EQ(chunks, 0u);
    EXPECT_TRUE(result.opened);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.complete);

    chunks = 0;
    result = session.Fetch(
        server.Url("/long"), [](long, int64_t) { return true; },
        [&](std::string_view) {
            ++chunks;
            return false;
        });
    EXPECT_EQ(chunks, 1u);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.complete);
    EXPECT_LT(result.received, int64_t{8} << 20);

    std::string body;
    result = session.FetchToString(server.Url("/ok"), body, 100);
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(body, "fine");
}

TEST_F(HttpClientTest, ExceptionFromACallbackReachesTheCaller) {
    server.Serve("/ok", "fine", "text/plain");
    server.Start();
    HttpSession session(Options());
    EXPECT_THROW(session.Fetch(
                     server.Url("/ok"), [](long, int64_t) { return true; },
                     [](std::string_view) -> bool { throw std::runtime_error("disk full"); }),
                 std::runtime_error);
    std::string body;
    EXPECT_TRUE(session.FetchToString(server.Url("/ok"), body, 100).complete);
}

TEST_F(HttpClientTest, StalledServerEndsByTheStallTimeout) {
    server.Server().Get("/silent", [this](const httplib::Request&, httplib::Response& response) {
        server.HoldUntilStopped(); // no status line at all
        response.set_content("late", "text/plain");
    });
    ServePartial("/stalls", 100000, 1000, true);
    server.Start();

    const struct {
        const char* path;
        bool opened;
        int64_t received;
    } cases[] = {{"/silent", false, 0}, {"/stalls", true, 1000}};
    HttpSession session(Options(1));
    for (const auto& c : cases) {
        const auto start = Clock::now();
        Recorded seen;
        const HttpResult result = FetchRecorded(session, server.Url(c.path), seen);
        // The server holds on until it stops; ending within seconds shows the
        // time-out.
        EXPECT_LT(SecondsSince(start), 20.0) << c.path;
        EXPECT_EQ(result.opened, c.opened) << c.path;
        EXPECT_EQ(result.received, c.received) << c.path;
        EXPECT_FALSE(result.complete) << c.path;
        EXPECT_FALSE(result.cancelled) << c.path;
        EXPECT_NE(result.error, "") << c.path;
    }
}

TEST_F(HttpClientTest, CancelFromAnotherThreadEndsAStalledTransfer) {
    ServePartial("/stalls", 100000, 1000, true);
    server.Serve("/ok", "fine", "text/plain");
    server.Start();

    std::atomic<bool> cancel{false};
    HttpSession session(Options(30), &cancel);
    std::atomic<bool> receiving{false};
    Clock::time_point cancelledAt;
    std::thread canceller([&] {
        while (!receiving)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(200ms); // the transfer is blocked by now
        cancelledAt = Clock::now();
        cancel = true;
    });
    const HttpResult result = session.Fetch(
        server.Url("/stalls"), [](long, int64_t) { return true; },
        [&](std::string_view) {
            receiving = true;
            return true;
        });
    const auto returnedAt = Clock::now();
    canceller.join();
    EXPECT_LT(std::chrono::duration<double>(returnedAt - cancelledAt).count(), 5.0);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.opened);
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(result.received, 1000);

    // While the flag stays set, nothing more is fetched.
    std::string body;
    const HttpResult after = session.FetchToString(server.Url("/ok"), body, 100);
    EXPECT_TRUE(after.cancelled);
    EXPECT_FALSE(after.opened);
    EXPECT_EQ(server.Hits("/ok"), 0);
}

TEST_F(HttpClientTest, StreamsALargeBodyChunkByChunk) {
    constexpr size_t kTotal = size_t{64} << 20;
    std::atomic<size_t> produced{0};
    server.Server().Get("/big", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(
            kTotal, "application/octet-stream",
            [&](size_t offset, size_t length, httplib::DataSink& sink) {
                std::string block(std::min<size_t>(length, 256 << 10), '\0');
                for (size_t i = 0; i < block.size(); ++i)
                    block[i] = Pattern(offset + i);
                produced = offset + block.size();
                return sink.write(block.data(), block.size());
            });
    });
    server.Start();

    HttpSession session(Options());
    size_t total = 0, chunks = 0, largestChunk = 0, producedAtFirstChunk = 0;
    bool inOrder = true;
    const HttpResult result = session.Fetch(
        server.Url("/big"), [](long, int64_t) { return true; },
        [&](std::string_view chunk) {
            if (chunks++ == 0)
                producedAtFirstChunk = produced;
            // First and last byte of each chunk sit where the pattern says.
            inOrder = inOrder && chunk.front() == Pattern(total) &&
                      chunk.back() == Pattern(total + chunk.size() - 1);
            total += chunk.size();
            largestChunk = std::max(largestChunk, chunk.size());
            return true;
        });
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(result.contentLength, static_cast<int64_t>(kTotal));
    EXPECT_EQ(result.received, static_cast<int64_t>(kTotal));
    EXPECT_EQ(total, kTotal);
    EXPECT_TRUE(inOrder);
    // The body is handed on while the server is still producing it, in
    // pieces of bounded size.
    EXPECT_LT(producedAtFirstChunk, kTotal / 2);
    EXPECT_GT(chunks, 64u);
    EXPECT_LE(largestChunk, size_t{1} << 20);
}

} // namespace
} // namespace tessarine
