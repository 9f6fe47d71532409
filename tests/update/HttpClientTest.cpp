// The HTTP client on its own, against loopback servers.
#include "update/HttpClient.h"

#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace tessarine;
using namespace tessarine::test;
using namespace std::chrono_literals;

TEST(HttpClientTest, RequestsThatCannotCompleteAreFailures) {
    LoopbackServer server;
    server.Server().Get("/loop", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/loop", 302);
    });
    server.Server().Get("/silent", [&](const httplib::Request&, httplib::Response&) {
        server.HoldUntilStopped(); // no status line at all
    });
    server.ServePartial("/cut", 1000, 400, false);
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
        {server.Url("/loop"), false},
        {gone.Url("/x"), false},
        {"file:///etc/hostname", false},
        {server.Url("/silent"), false},
        {server.Url("/cut"), true},
        {server.Url("/big"), true, true}, // by its announced length
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

TEST(HttpClientTest, StreamsTheBodyAndCancelFromAnotherThreadEndsAStalledTransfer) {
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
    // The first bytes were handed on while the transfer was still open.
    EXPECT_TRUE(stalled);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.complete);
    std::string body; // while the flag stays set, nothing more is fetched
    EXPECT_FALSE(session.FetchToString(server.Url("/stalls"), body, -1).opened);
}
