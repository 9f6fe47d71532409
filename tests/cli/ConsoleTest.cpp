// The command line's argument parsing and console output.
#include "cli/CliArguments.h"
#include "cli/ConsoleProgress.h"
#include "cli/ConsoleView.h"
#include "core/util/Strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace tessarine;

namespace {

// "command|argument|base|quiet", then what the episode library's commands
// take when given (" default", " dry-run", " episode=E", " [KEY][VALUE]"),
// or "error: <message>".
std::string Parsed(std::vector<std::string> line) {
    const CliArguments a = CliArguments::Parse(line);
    if (!a.error.empty())
        return "error: " + a.error;
    static const char* const names[] = {"none", "help",   "version", "check",  "list",
                                        "add",  "remove", "import",  "export", "episodes",
                                        "get",  "set",    "again",   "cleanup", "search"};
    std::string parsed = std::string(names[static_cast<int>(a.command)]) + "|" + a.argument + "|" +
                         (a.baseGiven ? a.base : "-") + "|" + (a.quiet ? "q" : "");
    parsed += std::string(a.defaults ? " default" : "") + (a.dryRun ? " dry-run" : "") +
              (a.index ? " index" : "");
    if (!a.episode.empty())
        parsed += " episode=" + a.episode;
    for (const auto& [key, value] : a.settings)
        parsed += " [" + key + "][" + value + "]";
    return parsed;
}

// Captures what ConsoleProgress writes to its two streams.
struct Captured {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ~Captured() {
        std::fclose(out);
        std::fclose(err);
    }
    static std::string Read(std::FILE* f) {
        std::fflush(f);
        std::string text(static_cast<size_t>(std::ftell(f)), '\0');
        std::rewind(f);
        text.resize(std::fread(text.data(), 1, text.size(), f));
        return text;
    }
};

// The parts of `text` between separators.
std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    for (size_t start = 0, end = 0; start <= text.size(); start = end + 1) {
        end = std::min(text.find(separator, start), text.size());
        parts.push_back(text.substr(start, end - start));
    }
    return parts;
}

void Script(ConsoleProgress& p) {
    p.FeedStarted("http://a/feed");
    p.Message("Could not open\n\nhttp://b/feed");
    p.FeedFinished("New items found: A (http://a/feed)");
    p.DownloadProgress("one.mp3", 524288, 1048576, 524288, 2.0);
    p.DownloadProgress("one.mp3", 524288, 1048576, 524288, 2.0); // unchanged: not drawn again
    p.DownloadFinished("Completed: one.mp3 (1.0MB)");
    p.Failed("Failed: two.mp3 (Connection refused)");
    p.Line("Summary");
}

} // namespace

TEST(CliArguments, CommandsOptionsAndUsageErrors) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--base", "/srv/pods", "--quiet", "list"}, "list||/srv/pods|q"},
        {{"add", "http://a/?x=-1", "-q", "--base=/p"}, "add|http://a/?x=-1|/p|q"},
        {{"import", "--", "--odd-name.opml"}, "import|--odd-name.opml|-|"},
        // Help and version answer whatever else stands on the line.
        {{"frob", "-h"}, "help||-|"},
        {{"--version", "--bogus"}, "version||-|"},
        {{"--frob", "check"}, "error: Unknown option: --frob"},
        {{"add"}, "error: add needs an argument."},
        {{"list", "extra"}, "error: Unexpected argument: extra"},
        {{"check", "--base"}, "error: --base needs an argument."},
        {{"--base=", "check"}, "error: --base needs an argument."},
        {{"CHECK"}, "error: Unknown command: CHECK"},
        // The episode library: a podcast's URL may hold "=", a value too; a
        // value may be empty (the library refuses it, naming the key).
        {{"set", "http://a/?id=7", "names={date} = {title}{ext}", "keep="},
         "set|http://a/?id=7|-| [names][{date} = {title}{ext}] [keep][]"},
        {{"set", "keep=2", "--default", "paused=yes"}, "set||-| default [keep][2] [paused][yes]"},
        {{"--default", "get"}, "get||-| default"},
        {{"get", "Daily News"}, "get|Daily News|-|"},
        {{"again", "Daily News", "-q", "--", "--weird title"},
         "again|Daily News|-|q episode=--weird title"},
        {{"--dry-run", "cleanup"}, "cleanup||-| dry-run"},
        {{"episodes", "--dry-run", "x"}, "error: Unknown option: --dry-run"},
        {{"set", "--default", "keep=2", "paused"}, "error: Not in the form KEY=VALUE: paused"},
        {{"get"}, "error: get needs a podcast or --default."},
        {{"get", "--default", "Show"}, "error: --default takes no podcast: Show"},
        {{"set", "Show"}, "error: set needs a podcast or --default, then at least one KEY=VALUE."},
        {{"set", "Show", "keep=3", "=3"}, "error: Not in the form KEY=VALUE: =3"},
        {{"again", "Show"}, "error: again needs a podcast and an episode."},
        // A search's words are its term, quoted or not; only search takes --index.
        {{"search", "the", "daily  news"}, "search|the daily  news|-|"},
        {{"--index", "search", "--", "-1 club"}, "search|-1 club|-| index"},
        {{"search", " ", ""}, "error: search needs a search term."},
        {{"list", "--index"}, "error: Unknown option: --index"},
    };
    for (const auto& [line, parsed] : cases)
        EXPECT_EQ(Parsed(line), parsed) << line[0];
}

TEST(ConsoleProgress, DownloadLineFitsItsWidth) {
    const auto draw = &ConsoleProgress::DownloadLine;
    // (A bar with its rate: the terminal script below.) Without a length:
    // bytes and rate only; before any time: no rate.
    EXPECT_EQ(draw("ep.mp3", 2048, 0, 2048, 1.0, 80), "ep.mp3  2KB  2KB/s");
    EXPECT_EQ(draw("ep.mp3", 0, 100, 0, 0.0, 80), "ep.mp3 [--------------------]   0%  0B / 100B");
    // More than announced still shows a full bar, not more.
    EXPECT_EQ(draw("e", 150, 100, 150, 0.0, 80), "e [####################] 100%  150B / 100B");
    // A long name gives way to the figures, counted in characters; then the
    // bar shortens and goes, then the blanks; the figures stay.
    const std::string name = "\xC3\xA4" + std::string(100, 'x');
    const std::string line = draw(name, 1, 2, 1, 0.0, 60);
    EXPECT_EQ(line.size(), 61u); // 60 columns, one of them two bytes
    EXPECT_TRUE(line.ends_with("  50%  1B / 2B"));
    const int64_t mb = 1 << 20;
    const std::pair<size_t, const char*> narrow[] = {
        {60, "\xC3\xA4xxxxxxxxxxx [######--------]  45%  12.3MB / 27.0MB  1.2MB/s"},
        {44, "\xC3\xA4xxxxxxxxxxxx  45%  12.3MB / 27.0MB  1.2MB/s"},
        {39, "\xC3\xA4xxxxxxxxxxx  45% 12.3MB/27.0MB 1.2MB/s"},
        {33, "\xC3\xA4xxxxx  45% 12.3MB/27.0MB 1.2MB/s"},
        {32, "45% 12.3MB/27.0MB 1.2MB/s"},
        {19, "45% 12.3MB/27.0MB"},
    };
    for (const auto& [width, drawn] : narrow)
        EXPECT_EQ(draw(name, mb * 123 / 10, mb * 27, mb * 12 / 10 * 2, 2.0, width), drawn) << width;
    EXPECT_EQ(draw(name, 1, 2, 1, 0.0, 20).size(), 21u);

    EXPECT_EQ(ConsoleProgress::OneLine("Error!\n\nA feed\r\nis there\n"), "Error! A feed is there");
}

TEST(ConsoleProgress, TerminalRedrawsInPlaceQuietSaysOnlyMessages) {
    {
        Captured c;
        ConsoleProgress terminal(c.out, c.err, true, false, size_t{80});
        Script(terminal);
        EXPECT_EQ(Captured::Read(c.out),
                  "\r\033[KChecking... http://a/feed" // the feed's line
                  "\r\033[K"                          // cleared for the message...
                  "Checking... http://a/feed"         // ...and drawn again
                  "\r\033[KNew items found: A (http://a/feed)\n"
                  "\r\033[Kone.mp3 [##########----------]  50%  512KB / 1.0MB  256KB/s"
                  "\r\033[KCompleted: one.mp3 (1.0MB)\n"
                  "Failed: two.mp3 (Connection refused)\n"
                  "Summary\n");
        EXPECT_EQ(Captured::Read(c.err), "Could not open http://b/feed\n");
    }
    // Quiet leaves out progress and successes, not failures, also on a
    // terminal (elsewhere, one line each and quiet: TessarineCli.EveryCommand-
    // OnOneBaseDirectory reads them).
    Captured c;
    ConsoleProgress quiet(c.out, c.err, true, true);
    Script(quiet);
    EXPECT_EQ(Captured::Read(c.out), "");
    EXPECT_EQ(Captured::Read(c.err),
              "Could not open http://b/feed\nFailed: two.mp3 (Connection refused)\n");
}

// The in-place line of a terminal 40 columns wide never reaches its last
// column (which would wrap it) and never holds a line break; after a resize
// the next redraw fits the new width, also the line drawn again below a
// message. The rate of a resumed download counts only what came in this run.
TEST(ConsoleProgress, TheLineFitsANarrowTerminalAndFollowsAResize) {
    Captured c;
    size_t columns = 40;
    ConsoleProgress progress(c.out, c.err, true, false, [&] { return columns; });
    auto now = std::chrono::steady_clock::time_point{};
    ConsoleView view(progress, [&] { return now; });
    const std::string file = "a-rather-long-episode-name-from-2026-12-08.mp3";
    view.DownloadQueued({0, "Podcast", file, "http://a/x.mp3", -1});
    view.DownloadStateChanged(0, DownloadState::Downloading, {});
    now += std::chrono::seconds(5); // waiting for the server's answer
    const int64_t total = int64_t{27} << 20;
    view.DownloadProgress(0, total * 6 / 10, total); // resumed at 60%
    for (int second = 1; second <= 4; ++second) {
        now += std::chrono::seconds(1);
        view.DownloadProgress(0, total * 6 / 10 + second * (int64_t{1} << 20), total);
    }
    // 4 MB in the 4 seconds since the answer, not 20 MB in 9.
    EXPECT_NE(Captured::Read(c.out).find(" 1.0MB/s"), std::string::npos);
    view.MessagePosted({Message::Kind::Error,
                        IDS_COULD_NOT_OPEN,
                        {"http://b/feed"},
                        Failure{FailureKind::HttpStatus, 404, "Not Found"}});
    const size_t narrow = Captured::Read(c.out).size();
    columns = 80;
    now += std::chrono::seconds(1);
    view.DownloadProgress(0, total * 8 / 10, total);
    const size_t wide = Captured::Read(c.out).size();
    columns = 30;
    view.MessagePosted({Message::Kind::Error, IDS_COULD_NOT_OPEN, {"http://c/feed"}});
    view.Tick();

    // The lines drawn from `from` to `to`: each within `limit` columns.
    const std::string out = Captured::Read(c.out);
    const auto expectFit = [&](size_t from, size_t to, size_t limit) {
        std::vector<std::string> lines = Split(out.substr(from, to - from), '\r');
        EXPECT_GE(lines.size(), 2u);
        for (std::string& line : lines) {
            // Without the escape sequences that erase the line before it.
            for (const char* erase : {"\033[2A", "\033[J", "\033[K"})
                if (line.starts_with(erase))
                    line.erase(0, std::string(erase).size());
            EXPECT_LE(line.size(), limit) << line;
            EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        }
        return lines.back();
    };
    EXPECT_EQ(expectFit(0, narrow, 39), "a-rather-lon  74% 20.2MB/27.0MB 1.0MB/s");
    EXPECT_EQ(expectFit(narrow, wide, 79),
              "a-rather-long-episode-nam [###############-----]  79%  21.6MB / "
              "27.0MB  1.1MB/s");
    EXPECT_EQ(expectFit(wide, out.size(), 29), "79% 21.6MB/27.0MB 1.1MB/s");
    // The line of 78 columns, wrapped on 30 into three rows, is erased whole.
    EXPECT_EQ(out.substr(wide, 8), "\r\033[2A\033[J");
    EXPECT_EQ(Captured::Read(c.err), "Could not open http://b/feed (HTTP status 404 Not Found)\n"
                                     "Could not open http://c/feed\n");
}

// The lines come from the events alone: no library stands behind the view.
// (Feeds and downloads that end with and without failure, with their sizes:
// TessarineCli.EveryCommandOnOneBaseDirectory.)
TEST(ConsoleView, PrintsChecksDownloadsAndMessagesFromTheEvents) {
    Captured c;
    ConsoleProgress progress(c.out, c.err, false, false);
    ConsoleView view(progress);
    view.FeedCheckBegan("http://u:secret@a/page");
    view.MessagePosted({Message::Kind::Notice,
                        IDS_FEED_FROM_PAGE,
                        {"http://u:***@a/page", "http://u:***@a/feed"}});
    view.FeedCheckEnded({"http://u:secret@a/page", "A", NewItemsFound, {}});
    view.DownloadQueued({0, "A", "old.mp3", "http://a/old.mp3", -1});
    view.DownloadStateChanged(0, DownloadState::Done, {}); // found in place: no size
    EXPECT_EQ(Captured::Read(c.out), "The web page http://u:***@a/page names the feed "
                                     "http://u:***@a/feed. Subscribed to that feed.\n"
                                     "New items found: A (http://u:***@a/feed)\n"
                                     "Completed: old.mp3\n");
    EXPECT_EQ(Captured::Read(c.err), "");
    EXPECT_EQ(view.Messages(), 0u); // the notice is no failure
}
