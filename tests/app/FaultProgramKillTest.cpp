// The real program killed outright (SIGKILL) in the middle of its work: while
// it saves the settings file after each checked feed, and while it receives
// an enclosure. Afterwards the settings file is one whole snapshot with every
// subscription, and no partial file passes for a downloaded one: the next run
// fetches it whole.
#include "subscriptions/BaseDirectory.h"
#include "subscriptions/SettingsFile.h"
#include "support/Feeds.h"
#include "support/LoopbackServer.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <regex>
#include <thread>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// The real program in a temporary world: its profile names `base`.
struct KilledProgram {
    TempDir root;
    std::string base;
    QProcess process;

    KilledProgram() {
        base = root.Base() + "pods/";
        fs::create_directories(base);
        fs::create_directories(root.Path() / "config/Orvendale");
        WriteFile(root.Path() / "config/Orvendale/Tessarine.conf",
                  "[Settings]\nBasedir=" + base + "\n");
    }
    ~KilledProgram() { Kill(); }

    void Start(const QStringList& arguments) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((root.Path() / "config").string()));
        env.insert("HOME", QString::fromStdString(root.Path().string()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("TESSARINE_LANG", "en");
        env.insert("no_proxy", "127.0.0.1,localhost");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QString::fromStdString(root.Path().string()));
        process.start(TESSARINE_BINARY, arguments);
        ASSERT_TRUE(process.waitForStarted(10000));
    }
    // SIGKILL, and wait until it is gone.
    void Kill() {
        if (process.state() == QProcess::NotRunning)
            return;
        process.kill();
        process.waitForFinished(10000);
    }
    // Runs to its end; the exit code, or -1 when it did not end in time.
    int RunToEnd(const QStringList& arguments, int timeoutMs = 60000) {
        Start(arguments);
        if (!process.waitForFinished(timeoutMs)) {
            Kill();
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }

    std::string SettingsPath() const { return base + kSettingsFileName; }
};

// Waits up to `limit` for `condition`; false on time-out.
template <typename F> bool WaitFor(F condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

std::string SettingsWith(const std::vector<std::pair<std::string, std::string>>& feeds) {
    std::string text = "<?xml version=\"1.0\" ?>\r\n<TessarineSettings>\r\n"
                       "    <settings updatestart=\"0\" quitcomplete=\"0\"></settings>\r\n";
    for (const auto& [url, name] : feeds)
        text += "    <feed url=\"" + url + "\" lastchecked=\"28.01.2009 13:24:41\">" + name +
                "</feed>\r\n";
    return text + "</TessarineSettings>\r\n";
}

} // namespace

TEST(ProgramKill, DuringSettingsSavesTheFileStaysWhole) {
    // Many feeds, each followed by a save of the whole list: the kill lands
    // somewhere among them.
    constexpr int kFeeds = 300;
    const std::string padding(80, 'p');
    LoopbackServer server;
    server.Server().Get(R"(/f/(\d+)\.xml)", [&](const httplib::Request& request,
                                                httplib::Response& response) {
        response.set_content(MakeFeed("New " + request.matches[1].str() + " " + padding, {}),
                             "text/xml");
    });
    server.Start();
    std::vector<std::pair<std::string, std::string>> feeds;
    for (int i = 0; i < kFeeds; ++i)
        feeds.push_back({server.Url("/f/" + std::to_string(i) + ".xml"),
                         "Old " + std::to_string(i) + " " + padding});

    std::mt19937 random(4711);
    int killsAfterSomeSaves = 0;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        KilledProgram program;
        WriteFile(program.SettingsPath(), SettingsWith(feeds));
        const auto before = fs::last_write_time(program.SettingsPath());
        program.Start({"/checkandquit"});
        // Killed at a random moment after its first save.
        ASSERT_TRUE(WaitFor([&] { return fs::last_write_time(program.SettingsPath()) != before; },
                            60s));
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 300)(random)));
        program.Kill();

        const auto stored = ReadSettingsFile(program.SettingsPath());
        ASSERT_TRUE(stored.has_value());
        ASSERT_EQ(stored->feeds.size(), static_cast<size_t>(kFeeds));
        // One snapshot of a walk in list order: checked feeds carry their
        // channel title, the rest their old name; every URL is there, in order.
        auto name = [&](const char* word, int i) {
            return word + std::to_string(i) + " " + padding;
        };
        int renamed = 0;
        while (renamed < kFeeds && stored->feeds[renamed].name == name("New ", renamed))
            ++renamed;
        for (int i = 0; i < kFeeds; ++i) {
            EXPECT_EQ(stored->feeds[i].url, feeds[i].first);
            EXPECT_EQ(stored->feeds[i].name, name(i < renamed ? "New " : "Old ", i));
        }
        EXPECT_GE(renamed, 1);
        killsAfterSomeSaves += renamed < kFeeds;
        std::printf("killed after %d of %d feeds were checked and saved\n", renamed, kFeeds);
    }
    // At least one kill came before the walk was through.
    EXPECT_GE(killsAfterSomeSaves, 1);
}

TEST(ProgramKill, DuringATransferNoPartialFileCountsAsDownloaded) {
    const std::string episode(4 << 20, 'e');
    std::atomic<bool> wholeBody{false};
    std::atomic<bool> release{false};
    std::atomic<int> episodeRequests{0};
    LoopbackServer server;
    server.Serve("/f.xml", MakeFeed("Show", {{server.Url("/ep.mp3")}}), "text/xml");
    server.Server().Get("/ep.mp3", [&](const httplib::Request&, httplib::Response& response) {
        ++episodeRequests;
        response.set_content_provider(
            episode.size(), "audio/mpeg",
            [&](size_t offset, size_t length, httplib::DataSink& sink) {
                // The first run receives one MiB, then the server falls
                // silent until the program is gone (a minute at most, so a
                // failing test still ends).
                if (!wholeBody && offset >= (1u << 20)) {
                    for (int i = 0; i < 12000 && !release && sink.is_writable(); ++i)
                        std::this_thread::sleep_for(5ms);
                    return false;
                }
                sink.write(episode.data() + offset, std::min<size_t>(length, 65536));
                return true;
            });
    });
    server.Start();

    KilledProgram program;
    WriteFile(program.SettingsPath(), SettingsWith({{server.Url("/f.xml"), "Show"}}));
    const std::string target = program.base + "Show/ep.mp3";
    program.Start({"/checkandquit"});
    // Killed once a good part of the sent MiB is on disk. Not the whole MiB:
    // the program's file buffer may still hold the last bytes received, and
    // a slow (sanitized, loaded) run may not have written them all yet.
    ASSERT_TRUE(WaitFor(
        [&] {
            std::error_code error;
            return fs::file_size(target + ".part", error) >= (512u << 10) && !error;
        },
        60s));
    program.Kill();
    release = true;

    // Killed mid-transfer: the bytes so far are only in the partial file.
    EXPECT_FALSE(fs::exists(target));
    const auto stored = ReadSettingsFile(program.SettingsPath());
    ASSERT_TRUE(stored.has_value());
    ASSERT_EQ(stored->feeds.size(), 1u);

    // The next run does not take the partial file for the enclosure: it
    // queues it again and fetches it whole.
    wholeBody = true;
    EXPECT_EQ(program.RunToEnd({"/checkandquit"}, 60000), 0);
    EXPECT_EQ(episodeRequests.load(), 2);
    EXPECT_TRUE(ReadFile(target) == episode);
    EXPECT_FALSE(fs::exists(target + ".part"));
    server.Stop(); // before the flags go out of scope
}
