// HTTP over loopback: the client on its own, and the engine against servers
// that cut, stall, redirect for ever, send without end or never accept.
#include "update/HttpClient.h"

#include "subscriptions/BaseDirectory.h"
#include "support/Feeds.h"
#include "update/EngineFixture.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace tessarine {
namespace {

using namespace std::chrono_literals;
using namespace test;
using Texts = std::vector<std::string>;

void Redirect(LoopbackServer& server, const std::string& path, const std::string& target) {
    server.Server().Get(path, [target](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(target, 302);
        response.set_content("redirect body", "text/plain");
    });
}

// `count` chunks of `piece`, then the connection ends without the final chunk.
void ServeChunked(LoopbackServer& server, const std::string& path, const std::string& piece,
                  size_t count, std::atomic<size_t>& produced) {
    server.Server().Get(path, [=, &produced](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider(
            "text/xml", [=, &produced](size_t offset, httplib::DataSink& sink) {
                if (offset >= piece.size() * count)
                    return false;
                produced += piece.size();
                return sink.write(piece.data(), piece.size());
            });
    });
}

TEST(HttpClientTest, RequestsThatCannotCompleteAreFailures) {
    std::atomic<size_t> produced{0};
    LoopbackServer server;
    Redirect(server, "/loop", "/loop");
    server.Server().Get("/silent", [&](const httplib::Request&, httplib::Response&) {
        server.HoldUntilStopped(); // no status line at all
    });
    server.ServePartial("/cut", 1000, 400, false);
    ServeChunked(server, "/cut-chunked", "partial", 1, produced);
    server.Serve("/big", std::string(6000, 'b'));
    server.Start();
    LoopbackServer gone;
    gone.Start();
    gone.Stop(); // nothing listens there any more: connecting is refused

    const struct {
        std::string url;
        bool opened;
        bool tooLarge = false;
    } cases[] = {
        {server.Url("/loop"), false},     {gone.Url("/x"), false},
        {"file:///etc/hostname", false},  {server.Url("/silent"), false},
        {server.Url("/cut"), true},       {server.Url("/cut-chunked"), true},
        {server.Url("/big"), true, true}, // refused by the announced length
    };
    HttpSession session(HttpOptions{.stallTimeoutSeconds = 1});
    for (const auto& c : cases) {
        std::string body;
        const HttpResult result = session.FetchToString(c.url, body, 5000);
        EXPECT_EQ(result.opened, c.opened) << c.url;
        EXPECT_FALSE(result.complete) << c.url;
        EXPECT_FALSE(result.cancelled) << c.url;
        EXPECT_EQ(result.tooLarge, c.tooLarge) << c.url;
        EXPECT_TRUE(c.tooLarge || !result.error.empty()) << c.url; // says what went wrong
    }
}

TEST(HttpClientTest, CancelFromAnotherThreadEndsAStalledTransfer) {
    std::atomic<bool> cancel{false}, stalled{false};
    LoopbackServer server;
    server.ServePartial("/stalls", 100000, 1000, true);
    server.Start();

    // A missed cancel ends by the stall time-out.
    HttpSession session(HttpOptions{.stallTimeoutSeconds = 30}, &cancel);
    std::thread canceller([&] {
        for (int i = 0; !stalled && i < 60000; ++i)
            std::this_thread::sleep_for(1ms);
        cancel = true;
    });
    const HttpResult result = session.Fetch(
        server.Url("/stalls"), [](long, int64_t) { return true; },
        [&](std::string_view) { return stalled = true; }); // the server falls silent now
    canceller.join();
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.complete);
    std::string body; // while the flag stays set, nothing more is fetched
    EXPECT_FALSE(session.FetchToString(server.Url("/stalls"), body, -1).opened);
}

TEST(HttpClientTest, StreamsALargeBodyChunkByChunk) {
    std::string whole(size_t{4} << 20, '\0');
    for (size_t i = 0; i < whole.size(); ++i)
        whole[i] = static_cast<char>(i % 251);
    std::atomic<bool> handedOn{false};
    LoopbackServer server;
    server.Server().Get("/big", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(whole.size(), "application/octet-stream",
                                      [&](size_t offset, size_t length, httplib::DataSink& sink) {
                                          // The second half waits until the client has handed on
                                          // some of the first: a client that holds the body back
                                          // never gets it whole.
                                          const bool gated = offset >= whole.size() / 2;
                                          for (int i = 0; gated && !handedOn && i < 20000; ++i)
                                              std::this_thread::sleep_for(1ms);
                                          return (!gated || handedOn) &&
                                                 sink.write(&whole[offset],
                                                            std::min<size_t>(length, 256 << 10));
                                      });
    });
    server.Start();

    HttpSession session(HttpOptions{.stallTimeoutSeconds = 30});
    std::string body;
    const HttpResult result = session.Fetch(
        server.Url("/big"), [](long, int64_t) { return true; },
        [&](std::string_view chunk) {
            handedOn = true;
            body.append(chunk);
            return true;
        });
    EXPECT_TRUE(result.complete);
    EXPECT_TRUE(body == whole);
}

class FaultTest : public EngineFixture {};

TEST_F(FaultTest, BrokenServersFailCleanlyKeepingNameDateAndNoFile) {
    // A listener whose queue of waiting connections is full: further
    // connection attempts get no answer at all.
    sockaddr_in address{
        .sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    auto* a = reinterpret_cast<sockaddr*>(&address);
    socklen_t length = sizeof address;
    std::vector<int> deaf = {::socket(AF_INET, SOCK_STREAM, 0)};
    ASSERT_TRUE(!::bind(deaf[0], a, length) && !::listen(deaf[0], 0) &&
                !::getsockname(deaf[0], a, &length));
    for (int i = 0; i < 4; ++i) {
        deaf.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ::connect(deaf.back(), a, length);
    }
    const std::string deafUrl = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    static std::atomic<size_t> produced; // outlives the test: the server ends after it
    produced = 0;
    // Broken feeds. The cut one has sent the channel and its item before it ends.
    const std::string feed = MakeFeed("Fine", {{server.Url("/ep.mp3")}});
    ServeChunked(server, "/cut.xml", feed.substr(0, feed.find("</channel>")), 1, produced);
    ServeChunked(server, "/endless.xml", "<rss><channel><title>Endless" + std::string(65000, ' '),
                 1024, produced); // 64 MB
    // A good feed whose enclosures are broken but one, reached through a redirect.
    const Texts enclosures = {server.Url("/cut.mp3"), server.Url("/huge.mp3"), deafUrl + "/ep.mp3",
                              server.Url("/good.mp3")};
    server.ServePartial("/cut.mp3", 100000, 30000, false);
    server.ServePartial("/huge.mp3", size_t{11} << 29, 2 << 20, false); // 5.5 GiB: past 32 bits
    Redirect(server, "/good.mp3", "/files/good");
    server.Server().Get("/files/good", [](const httplib::Request& request, auto& response) {
        response.set_content("good " + request.get_header_value("User-Agent"), "audio/mpeg");
    });
    server.Serve(
        "/show.xml",
        MakeFeed("Show", {{enclosures[0]}, {enclosures[1]}, {enclosures[2]}, {enclosures[3]}}));
    server.Start();

    options = {.http = {.connectTimeoutSeconds = 1, .stallTimeoutSeconds = 1},
               .maxFeedBytes = 200000};
    Texts expected;
    std::vector<SubscriptionPtr> broken;
    for (const std::string& url :
         {server.Url("/cut.xml"), server.Url("/endless.xml"), deafUrl + "/feed.xml"}) {
        broken.push_back(Add(url, "Keep " + url));
        broken.back()->status = CheckPending;
        broken.back()->lastChecked = OleDateTime::FromFields({2001, 2, 3, 4, 5, 6});
        expected.push_back("Could not open " + url);
    }
    const SubscriptionPtr show = Add(server.Url("/show.xml"));
    expected.push_back("Could not open " + deafUrl + "/ep.mp3"); // cut bodies are not reported

    EXPECT_EQ(Engine().CheckCycleProc(), 0);
    for (const SubscriptionPtr& r : broken) {
        EXPECT_EQ(r->status, Error) << r->url;
        EXPECT_EQ(r->name, "Keep " + r->url);
        EXPECT_EQ(r->lastChecked.FormatStored(), "03.02.2001 04:05:06") << r->url;
    }
    EXPECT_EQ(show->status, NewItemsFound);
    EXPECT_EQ(view.Messages(), expected);
    EXPECT_LT(produced, size_t{32} << 20); // the endless feed was cut at the limit
    const auto rows = view.Rows();
    ASSERT_EQ(rows.size(), enclosures.size());
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i][ColumnStatus], i + 1 == rows.size() ? "Completed" : "Failed") << i;
    EXPECT_EQ(rows[1][ColumnSize], "5632.0MB");
    EXPECT_EQ(Tree(base), (Texts{"Show", "Show/good.mp3", kSettingsFileName}));
    EXPECT_EQ(ReadFile(base / "Show/good.mp3"), "good Tessarine/1.0"); // only the final response
    for (int fd : deaf)
        ::close(fd);
}

} // namespace
} // namespace tessarine
