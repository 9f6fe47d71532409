// Searching the podcast directories against loopback servers that answer in
// the services' documented shapes, and the pieces a search is signed with.
#include "core/search/PodcastDirectory.h"
#include "core/util/Sha1.h"

#include "support/LoopbackServer.h"
#include "support/TestClock.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>

using namespace tessarine;
using namespace tessarine::test;
using namespace std::chrono_literals;
using Outcome = DirectorySearch::Outcome;

namespace {

// Two podcasts as the Apple directory describes them, a third it knows no
// feed of, and a fourth whose title came in Latin-1.
const char kAppleAnswer[] = R"({
 "resultCount": 4,
 "results": [
  {"wrapperType": "track", "kind": "podcast", "collectionId": 1200361736, "artistName": "The Newsroom",
   "collectionName": "The Morning Brief", "feedUrl": "https://feeds.example.com/morning", "trackCount": 2315,
   "artworkUrl60": "https://is1.example.com/60x60bb.jpg", "artworkUrl100": "https://is1.example.com/100x100bb.jpg",
   "releaseDate": "2026-12-07T10:45:00Z", "primaryGenreName": "Daily News", "genres": ["Daily News"]},
  {"wrapperType": "track", "kind": "podcast", "artistName": "Anna \u00d6zdemir",
   "collectionName": "  Gartenfunk  ", "feedUrl": "http://garten.example.org/feed.xml",
   "artworkUrl60": "https://is2.example.com/60x60bb.jpg", "primaryGenreName": "Home & Garden"},
  {"wrapperType": "track", "kind": "podcast", "artistName": "Nobody", "collectionName": "No Feed"},
  {"wrapperType": "track", "kind": "podcast", "collectionName": "Caf)"
                            "\xE9"
                            R"( Talk", "feedUrl": "https://cafe.example.net/rss",
   "trackCount": "12", "artistName": 42}
 ]
})";

// The Podcast Index's answer to a search by term, as documented.
const char kIndexAnswer[] = R"({
 "status": "true",
 "feeds": [
  {"id": 522613, "title": "This Week in Gardens", "url": "https://gardens.example.com/feed",
   "originalUrl": "http://old.example.com/feed", "link": "https://gardens.example.com",
   "author": "", "ownerName": "Garden Folk", "image": "https://gardens.example.com/image.png",
   "artwork": "https://gardens.example.com/art.png", "lastUpdateTime": 1607323495, "dead": 0,
   "episodeCount": 704, "newestItemPubdate": 1714557600, "categories": {"77": "Society", "1": "Arts"}},
  {"id": 7, "title": "Gone Feed", "url": "", "author": "X", "categories": null},
  {"id": 8, "title": "Old URL Only", "url": null, "originalUrl": "http://only.example.com/rss",
   "author": "Y", "image": "https://only.example.com/i.png", "categories": []}
 ],
 "count": 3, "query": "gardens", "description": "Found matching feeds"
})";

// A result's fields in one line: title|author|feed|episodes|genre|latest|artwork.
std::string Fields(const DirectoryResult& r) {
    return r.title + "|" + r.author + "|" + r.feedUrl + "|" + std::to_string(r.episodes) + "|" +
           r.genre + "|" + r.latest + "|" + r.artworkUrl;
}

} // namespace

// What the Apple directory answers becomes results, an empty list, or a
// reason; the request asks what the documentation says, the term encoded.
TEST(PodcastDirectory, AppleAnswersBecomeResultsOrReasons) {
    std::mutex mutex;
    std::string query; // the last request's path and query as sent
    std::map<std::string, std::pair<int, std::string>> answers = {
        {"morning", {200, kAppleAnswer}},
        {"malformed", {200, R"({"resultCount": 1, "results": [{"feedUrl": "http://a/"})"}},
        {"shape", {200, R"({"errorMessage": "Invalid value(s) for key(s): [mediaType]"})"}},
        {"array", {200, R"([{"feedUrl": "http://a.example/"}])"}},
        {"caf\xC3\xA9 & co=1+2", {200, R"({"resultCount": 0, "results": []})"}},
    };
    LoopbackServer server; // ends first: its handler uses what is above
    server.Server().Get("/search",
                        [&](const httplib::Request& request, httplib::Response& response) {
                            std::lock_guard lock(mutex);
                            query = request.target;
                            const auto& [status, body] = answers[request.get_param_value("term")];
                            response.status = status;
                            response.set_content(body, "text/javascript; charset=utf-8");
                        });
    server.Start();
    const auto asked = [&] {
        std::lock_guard lock(mutex);
        return query;
    };
    // A trailing slash of the variable is not doubled in the path asked for.
    ScopedEnv mirror("TESSARINE_SEARCH_URL", server.Url("/"));
    const auto apple = MakeAppleDirectory();

    DirectorySearch found = apple->Search("  morning ");
    EXPECT_EQ(asked(), "/search?media=podcast&entity=podcast&term=morning");
    ASSERT_EQ(found.outcome, Outcome::Found);
    ASSERT_EQ(found.results.size(), 3u); // the one without a feed is left out
    EXPECT_EQ(Fields(found.results[0]),
              "The Morning Brief|The Newsroom|https://feeds.example.com/morning|2315|Daily News|"
              "2026-12-07T10:45:00Z|https://is1.example.com/100x100bb.jpg");
    // Missing fields stay empty (or -1); the smaller artwork stands in.
    EXPECT_EQ(Fields(found.results[1]),
              "Gartenfunk|Anna \xC3\x96zdemir|http://garten.example.org/feed.xml|-1|"
              "Home & Garden||https://is2.example.com/60x60bb.jpg");
    // A Latin-1 byte in the title comes out as its character; a count given
    // as text is read, an author that is no text is none.
    EXPECT_EQ(Fields(found.results[2]), "Caf\xC3\xA9 Talk||https://cafe.example.net/rss|12|||");

    // Letters beyond ASCII, blanks and the query's own punctuation are
    // encoded; no podcast found is an answer, not a failure.
    const DirectorySearch none = apple->Search("caf\xC3\xA9 & co=1+2");
    EXPECT_EQ(asked(), "/search?media=podcast&entity=podcast&term=caf%C3%A9+%26+co%3D1%2B2");
    EXPECT_EQ(none.outcome, Outcome::Found);

    for (const char* odd : {"malformed", "shape", "array"}) {
        const DirectorySearch answer = apple->Search(odd);
        EXPECT_EQ(answer.outcome, Outcome::OddAnswer) << odd;
        EXPECT_FALSE(answer.failure.detail.empty()) << odd;
    }
}

// A directory that cannot be reached (refused and 500 from the command line's
// search too), that falls silent, or a search the user ends: no results, and
// why. The search gives up once the test's clock passes the silence limit.
TEST(PodcastDirectory, UnreachableSilentAndCancelledSearches) {
    LoopbackServer gone;
    gone.Start();
    const std::string goneUrl = gone.Url("");
    gone.Stop();
    const DirectorySearch refused = MakePodcastIndexDirectory("k", "s", {}, goneUrl)->Search("x");
    EXPECT_EQ(refused.outcome, Outcome::NoNetwork);
    EXPECT_EQ(refused.failure.kind, FailureKind::ConnectionRefused);

    Signal asked; // outlives the server, whose handler sets it
    LoopbackServer slow;
    slow.Server().Get("/search", [&](const httplib::Request&, httplib::Response&) {
        asked.Set();
        slow.HoldUntilStopped();
    });
    slow.Start();
    ScopedEnv mirror("TESSARINE_SEARCH_URL", slow.Url(""));
    TestClock clock;
    HttpOptions options = DirectoryHttpOptions();
    options.clock = &clock;
    auto silent =
        std::async(std::launch::async, [&] { return MakeAppleDirectory(options)->Search("x"); });
    ASSERT_TRUE(asked.Wait());
    // The transfer notes when it last heard something on its own thread:
    // the clock is moved on until it has noticed the silence.
    while (silent.wait_for(10ms) != std::future_status::ready)
        clock.Advance(std::chrono::seconds(options.stallTimeoutSeconds + 1));
    const DirectorySearch timedOut = silent.get();
    EXPECT_EQ(timedOut.outcome, Outcome::NoNetwork);
    EXPECT_EQ(timedOut.failure.kind, FailureKind::TimedOut);

    std::atomic<bool> cancel{true};
    const DirectorySearch cancelled = MakeAppleDirectory()->Search("x", &cancel);
    EXPECT_EQ(cancelled.outcome, Outcome::NoNetwork);
    EXPECT_EQ(cancelled.failure.kind, FailureKind::Cancelled);
}

// The Podcast Index: every request signed as documented (a known vector for
// the clock's time), its feeds read, a refusal in the body told (a 401 is the
// command line's search's, broken JSON the Apple directory's case).
TEST(PodcastDirectory, PodcastIndexSignsItsRequestsAndReadsItsFeeds) {
    const std::string key = "UXKCGDSYGUUEVQJSYDZH", secret = "secret$value^with!punctuation";
    // sha1("UXKCGDSYGUUEVQJSYDZH" "secret$value^with!punctuation" "1700000000")
    const std::string signature = "b67fcda962b8cb8c396e0730106b985f2319f3ad";

    std::mutex mutex;
    httplib::Headers headers;
    std::string query;
    std::map<std::string, std::pair<int, std::string>> answers = {
        {"gardens", {200, kIndexAnswer}},
        {"false", {200, R"({"status": "false", "description": "Invalid parameters"})"}},
    };
    LoopbackServer server; // ends first: its handler uses what is above
    server.Server().Get("/api/1.0/search/byterm",
                        [&](const httplib::Request& request, httplib::Response& response) {
                            std::lock_guard lock(mutex);
                            headers = request.headers;
                            query = request.target;
                            const auto& [status, body] = answers[request.get_param_value("q")];
                            response.status = status;
                            response.set_content(body, "application/json");
                        });
    server.Start();
    TestClock clock; // its calendar stands at 1700000000
    HttpOptions options = DirectoryHttpOptions();
    options.clock = &clock;
    const auto index = MakePodcastIndexDirectory(key, secret, options, server.Url("/"));

    const DirectorySearch found = index->Search("gardens");
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(query, "/api/1.0/search/byterm?q=gardens");
        std::string sent;
        for (const char* name : {"X-Auth-Key", "X-Auth-Date", "Authorization", "User-Agent"})
            sent += (headers.count(name) ? headers.find(name)->second : "(none)") + "|";
        EXPECT_EQ(sent, key + "|1700000000|" + signature + "|Tessarine/1.0|");
    }
    ASSERT_EQ(found.outcome, Outcome::Found);
    ASSERT_EQ(found.results.size(), 2u);
    // The owner stands in for an empty author; the genre is the first
    // category as the service lists them.
    EXPECT_EQ(Fields(found.results[0]),
              "This Week in Gardens|Garden Folk|https://gardens.example.com/feed|704|Society|"
              "2024-05-01T10:00:00Z|https://gardens.example.com/art.png");
    // Only the original address: it stands in for the feed's.
    EXPECT_EQ(Fields(found.results[1]),
              "Old URL Only|Y|http://only.example.com/rss|-1|||https://only.example.com/i.png");

    // The date goes on with the clock, and so does the signature.
    clock.Advance(90s);
    index->Search("gardens");
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(headers.find("X-Auth-Date")->second + " " + headers.find("Authorization")->second,
                  "1700000090 " + PodcastIndexAuthorization(key, secret, 1700000090));
    }

    const DirectorySearch refusedInBody = index->Search("false");
    EXPECT_EQ(refusedInBody.outcome, Outcome::OddAnswer);
    EXPECT_EQ(refusedInBody.failure.detail, "Invalid parameters");
}

TEST(Sha1, KnownDigestsAcrossBlockBoundaries) {
    const std::pair<std::string, const char*> vectors[] = {
        {"", "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {std::string(55, 'a'), "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
        {std::string(56, 'a'), "c2db330f6083854c99d4b5bfb6e8f29f201be699"},
        {std::string(64, 'a'), "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
        {std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const auto& [data, digest] : vectors)
        EXPECT_EQ(Sha1Hex(data), digest) << data.size() << " bytes";
}
