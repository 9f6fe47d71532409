// Whole runs of the real program, and the real main window fed hostile feeds.
#include "app/CTessarineApp.h"
#include "core/files/BaseDirectory.h"
#include "core/files/BaseDirectoryLock.h"
#include "core/model/SettingsFile.h"
#include "core/update/PartialFile.h"
#include "mainwindow/CTessarineDlg.h"
#include "mainwindow/QueuedEngineView.h"
#include "platform/Profile.h"
#include "platform/SingleInstance.h"
#include "support/Feeds.h"
#include "support/GuiHarness.h"
#include "support/LibraryTestAccess.h"
#include "support/LoopbackServer.h"
#include "support/UpdateEngineTestAccess.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <tuple>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

namespace {

// The real program in a temporary world whose profile names `base`.
struct Program {
    TempDir root;
    std::string base = root.Base() + "pods/", settings = base + kSettingsFileName;
    QProcess process;

    explicit Program(const std::string& settingsText) {
        fs::create_directories(root.Path() / "config/Orvendale");
        WriteFile(root.Path() / "config/Orvendale/Tessarine.conf",
                  "[Settings]\nBasedir=" + base + "\n");
        fs::create_directories(base);
        WriteFile(settings, settingsText);
    }
    ~Program() { Kill(); }
    void Start(const QStringList& arguments, QProcess* p = nullptr) {
        p = p ? p : &process;
        const QString home = QString::fromStdString(root.Path().string());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", home + "/config");
        env.insert("HOME", home);
        env.insert("TESSARINE_LANG", "en");
        env.insert("no_proxy", "127.0.0.1,localhost");
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(home);
        p->start(TESSARINE_BINARY, arguments);
        ASSERT_TRUE(p->waitForStarted(10000));
    }
    // The exit code; -1 when it crashed or did not end within a minute. With
    // `other`, a second program in the same world while the first may still run.
    int Run(const QStringList& arguments, QProcess* other = nullptr) {
        QProcess& p = other ? *other : process;
        Start(arguments, &p);
        const bool ended = p.waitForFinished(60000);
        return ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    int RunAnother(const QStringList& arguments) {
        QProcess other; // killed, if still running, when it goes
        return Run(arguments, &other);
    }
    void Kill() { // SIGKILL (when running), and wait until it is gone
        process.kill();
        process.waitForFinished(10000);
    }
};

std::string SettingsWith(const std::vector<std::pair<std::string, std::string>>& feeds,
                         char updateStart = '0') {
    std::string text = "<TessarineSettings><settings updatestart='" + std::string(1, updateStart) +
                       "' quitcomplete='0'/>";
    for (const auto& [url, name] : feeds)
        text += "<feed url=\"" + url + "\" lastchecked=\"28.01.2009 13:24:41\">" + name + "</feed>";
    return text + "</TessarineSettings>";
}

} // namespace

TEST(Program, RegistrationRunsEndWithoutTouchingFiles) {
    const std::string settings = SettingsWith({{"x", "X"}});
    Program program(settings);
    const auto before = fs::last_write_time(program.settings);
    for (const char* argument : {"/regserver", "/unregserver", "-RegServer"})
        EXPECT_EQ(program.Run({argument}), 0) << argument;
    EXPECT_EQ(fs::last_write_time(program.settings), before);
    EXPECT_EQ(ReadFile(program.settings), settings);

    // Also where no display can be opened (an installer's script over SSH).
    QProcess headless;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    headless.setProcessEnvironment(env);
    headless.start(TESSARINE_BINARY, {"/regserver"});
    ASSERT_TRUE(headless.waitForFinished(30000));
    EXPECT_EQ(headless.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(headless.exitCode(), 0);
}

TEST(Program, OneProgramPerBaseDirectory) {
    Program program(SettingsWith({{"http://127.0.0.1:1/a.xml", "A"}})); // no check at start
    const std::string leftover = program.settings + ".tmp4711-0";       // of a killed save
    WriteFile(leftover, "<TessarineSett");
    const std::string settings = ReadFile(program.settings);
    program.Start({});
    // Its window serves raise requests once it holds the folder.
    ASSERT_TRUE(SingleInstance::AskToRaise(program.base, 30000));
    EXPECT_FALSE(fs::exists(leftover));
    // A second window of the same user raises the first and ends; an
    // unattended second start ends quietly with a failure status.
    EXPECT_EQ(program.RunAnother({}), 0);
    EXPECT_EQ(program.RunAnother({"/checkandquit"}), CTessarineApp::kExitBaseDirectoryInUse);
    EXPECT_EQ(program.process.state(), QProcess::Running);
    EXPECT_EQ(ReadFile(program.settings), settings);
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(program.base))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{kLockFileName, kSettingsFileName}));
    // A killed program leaves no lock behind.
    EXPECT_FALSE(BaseDirectoryLock(program.base).Held());
    program.Kill();
    EXPECT_TRUE(BaseDirectoryLock(program.base).Held());
}

// Without a stored base directory "Podcasts" in the home folder is used and
// stored; a stored folder is kept even when it is missing.
TEST(Program, AFirstStartUsesPodcastsInTheHomeFolder) {
    Program program(SettingsWith({}));
    fs::remove(program.root.Path() / "config/Orvendale/Tessarine.conf");
    const std::string podcasts = program.root.Base() + "Podcasts/";
    ASSERT_FALSE(fs::exists(podcasts));
    program.Start({});
    ASSERT_TRUE(SingleInstance::AskToRaise(podcasts, 30000)); // its window holds the folder
    program.Kill();
    EXPECT_TRUE(fs::is_directory(podcasts));
    EXPECT_NE(ReadFile(program.root.Path() / "config/Orvendale/Tessarine.conf")
                  .find("Basedir=" + podcasts),
              std::string::npos);
    EXPECT_FALSE(fs::exists(program.root.Path() / kSettingsFileName));
    EXPECT_FALSE(fs::exists(program.root.Path() / kLockFileName));

    GuiHarness harness; // its own home and profile
    const QString missing = QString::fromStdString(harness.root.Base() + "gone/");
    harness.SetProfileBaseDirectory(missing);
    EXPECT_EQ(BaseDirectoryForStart(), missing);
    EXPECT_FALSE(fs::exists(missing.toStdString()));
}

TEST(Program, ABaseDirectoryHeldWithoutAWindowIsRefused) {
    GuiHarness harness;
    const std::string base = harness.root.Base();
    const BaseDirectoryLock holder(base); // another user's program, say
    QueuedEngineView events;
    PodcastLibrary library(events, {});
    SingleInstance instance;
    EXPECT_EQ(CTessarineApp::ClaimBaseDirectory(library, instance, base, true),
              CTessarineApp::kExitBaseDirectoryInUse);
    EXPECT_TRUE(harness.messages.empty()); // unattended: quietly
    EXPECT_EQ(CTessarineApp::ClaimBaseDirectory(library, instance, base, false),
              CTessarineApp::kExitBaseDirectoryInUse);
    ASSERT_EQ(harness.messages.size(), 1u);
    EXPECT_EQ(harness.messages[0].text.toStdString(),
              "The base directory " + base + " is in use by another Tessarine.");
    EXPECT_FALSE(library.HoldsLock());
    EXPECT_FALSE(instance.Listening());
}

TEST(ProgramKill, DuringSettingsSavesTheFileStaysWhole) {
    // The walk saves the whole list as it goes: the kill lands among 300 feeds,
    // the last of which holds the walk until the kill, so that it never ends first.
    constexpr int kFeeds = 300;
    const std::string padding(80, 'p'); // long names: each save takes a while
    auto name = [&](const char* word, int i) { return word + std::to_string(i) + padding; };
    LoopbackServer server;
    std::vector<std::pair<std::string, std::string>> feeds;
    std::atomic<int> killed{0}; // rounds whose program was killed
    for (int i = 0; i < kFeeds; ++i) {
        const std::string path = "/f/" + std::to_string(i);
        if (i + 1 < kFeeds)
            server.Serve(path, MakeFeed(name("New ", i), {}), "text/xml");
        feeds.push_back({server.Url(path), name("Old ", i)});
    }
    server.Server().Get(
        "/f/" + std::to_string(kFeeds - 1), [&](const httplib::Request&, httplib::Response& res) {
            const int round = killed;
            Await([&] { return killed != round; });
            res.set_content(MakeFeed(name("New ", kFeeds - 1), {}), "text/xml");
        });
    server.Start();

    // Each write replaces the file: a new file and a new time.
    auto stamp = [](const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return std::make_tuple(st.st_ino, st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    };
    for (int round = 0; round < 3; ++round) {
        Program program(SettingsWith(feeds));
        auto last = stamp(program.settings);
        auto written = [&] {
            if (!QTest::qWaitFor([&] { return stamp(program.settings) != last; }, 60000))
                return false;
            last = stamp(program.settings);
            return true;
        };
        program.Start({"/checkandquit"});
        // Killed right after the first save, in the middle of the walk, or right
        // after the second save (at the latest the one while the walk waits).
        ASSERT_TRUE(written());
        if (round == 1) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return server.Hits("/f/150") > 0; }, 60000));
        } else if (round == 2) {
            ASSERT_TRUE(written());
        }
        program.Kill();
        ++killed;

        // A snapshot of a walk in list order: checked feeds renamed, every URL in its place.
        const auto stored = ReadSettingsFile(program.settings);
        ASSERT_TRUE(stored && stored->feeds.size() == static_cast<size_t>(kFeeds)) << round;
        int renamed = 0;
        while (renamed < kFeeds && stored->feeds[renamed].name == name("New ", renamed))
            ++renamed;
        for (int i = 0; i < kFeeds; ++i) {
            EXPECT_EQ(stored->feeds[i].url, feeds[i].first);
            EXPECT_EQ(stored->feeds[i].name, name(i < renamed ? "New " : "Old ", i));
        }
        EXPECT_GE(renamed, 1);
        EXPECT_LT(renamed, kFeeds);
    }
}

TEST(ProgramKill, DuringATransferThePartialFileIsNotTakenForTheEnclosure) {
    LoopbackServer first; // sends one MiB of four, then falls silent until stopped
    first.Serve("/f.xml", MakeFeed("Show", {{first.Url("/ep.mp3")}}));
    first.ServePartial("/ep.mp3", 4 << 20, 1 << 20, true);
    first.Start();
    Program program(SettingsWith({{first.Url("/f.xml"), "Show"}}));
    const std::string target = program.base + "Show/ep.mp3";
    const std::string partial = PartialFile::PathFor(target);
    program.Start({"/checkandquit"});
    // Killed once half the sent MiB is on disk (the rest may sit in a file buffer).
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            std::error_code error;
            return fs::file_size(partial, error) >= (512u << 10) && !error;
        },
        60000));
    program.Kill();
    first.Stop();
    EXPECT_FALSE(fs::exists(target));

    // The next run, unattended, queues it again and fetches it whole.
    LoopbackServer second;
    const std::string episode(4 << 20, 'e');
    second.Serve("/f.xml", MakeFeed("Show", {{second.Url("/ep.mp3")}}));
    second.Serve("/ep.mp3", episode);
    second.Start();
    WriteFile(program.settings, SettingsWith({{second.Url("/f.xml"), "Show"}}));
    EXPECT_EQ(program.Run({"/checkandquit"}), 0);
    EXPECT_EQ(second.Hits("/ep.mp3"), 1);
    EXPECT_TRUE(ReadFile(target) == episode);
    EXPECT_FALSE(fs::exists(partial));
}

TEST(HostileNames, NothingLeavesTheBase) {
    GuiHarness harness;
    TempDir outer; // the base lies inside: anything beside it has escaped
    const std::string base = outer.Base() + "base/";
    const std::string mark = "hostile-" + std::to_string(::getpid());
    fs::create_directories(base);
    harness.SetProfileBaseDirectory(QString::fromStdString(base));
    // Channel titles as they stand in the document, and enclosure file names.
    const std::vector<std::pair<std::string, std::vector<std::string>>> feeds = {
        {"../../up-" + mark, {"..%2F..%2Fup-" + mark, "..\\..\\back-" + mark, "..", ""}},
        {"..", {"ep.mp3"}},
        {"Bell&#7;Del&#127;Caf\xE9 \xFF\xFE ok", {"tab&#9;ctl&#1;bad\xFF.mp3"}},
    };
    LoopbackServer server;
    std::vector<std::pair<std::string, std::string>> subscriptions;
    for (const auto& [title, files] : feeds) {
        std::vector<TestItem> items;
        for (const std::string& file : files)
            items.push_back({server.Url("/e/" + file)});
        const std::string path = "/" + std::to_string(subscriptions.size());
        server.Serve(path, MakeFeed(title, items), "text/xml");
        subscriptions.push_back({server.Url(path), "Before"});
    }
    server.Server().Get(R"(/e/.*)", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("enclosure", "audio/mpeg");
    });
    server.Start();
    WriteFile(base + kSettingsFileName, SettingsWith(subscriptions, '1'));

    QueuedEngineView events;
    PodcastLibrary library(events, {});
    ASSERT_EQ(library.ClaimBaseDirectory(base), PodcastLibrary::Claim::Obtained);
    CTessarineDlg w(library, events); // checks every feed at start-up
    w.OnInitDialog();
    w.show();
    UpdateEngine& engine = PodcastLibraryTestAccess::Engine(library);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return UpdateEngineTestAccess::CyclesRun(engine) > 0 && !engine.IsBusy(); }, 30000));
    const auto records = library.SubscriptionRows();
    EXPECT_EQ(records.at(0).values.name, feeds[0].first); // names stay as they are
    for (const SubscriptionSnapshot& record : records)
        EXPECT_NE(record.values.status, Error) << record.values.name;
    for (const auto& message : harness.messages) // only a URL no request can carry fails
        EXPECT_TRUE(message.text.startsWith("Could not open ")) << message.text.toStdString();

    // Nothing beside the base or outside it, no marker above it, no partial file.
    std::vector<fs::path> beside(fs::directory_iterator(outer.Path()), {});
    EXPECT_EQ(beside, std::vector<fs::path>{outer.Path() / "base"});
    const std::string inside = fs::canonical(base).string() + "/";
    for (auto& entry : fs::recursive_directory_iterator(base)) {
        EXPECT_EQ(fs::canonical(entry.path()).string().rfind(inside, 0), 0u) << entry.path();
        EXPECT_NE(entry.path().extension(), ".part");
    }
    for (auto& entry : fs::directory_iterator(outer.Path().parent_path()))
        EXPECT_EQ(entry.path().filename().string().find(mark), std::string::npos) << entry.path();
    EXPECT_TRUE(fs::exists(base + FeedFolderName(feeds[0].first) + "/..%2F..%2Fup-" + mark));
    EXPECT_TRUE(fs::exists(base + "__/ep.mp3"));
    server.Stop();
}

// The program's life after its application object, as an unattended run
// lives it: what it cannot do is told in a box, and the run fails.
TEST(Program, AnUnattendedRunTellsWhatItCannotDoAndFails) {
    GuiHarness harness;
    const std::string base = harness.root.Base() + "pods/";
    harness.SetProfileBaseDirectory(QString::fromStdString(base));
    auto texts = [&] {
        std::vector<std::string> shown;
        for (const auto& message : harness.messages)
            shown.push_back(message.text.toStdString());
        harness.messages.clear();
        return shown;
    };

    // A base directory on a disk that is not mounted: the folder may be the
    // mount point, so it is not made.
    EXPECT_EQ(CTessarineApp::RunWindow({"/checkandquit"}), 1);
    EXPECT_EQ(texts(), std::vector<std::string>{
                           "The base directory " + base +
                           " does not exist. Nothing was checked; connect the disk that holds "
                           "it, or choose another base directory."});
    EXPECT_FALSE(fs::exists(base));

    // A damaged settings file is told at every start while it is there,
    // naming the one copy that keeps its bytes.
    fs::create_directories(base);
    const std::string settings = SettingsWith({{"http://127.0.0.1:1/a.xml", "A"}});
    const std::string damaged = settings.substr(0, settings.size() - 40);
    WriteFile(base + kSettingsFileName, damaged);
    for (int run = 0; run < 2; ++run) {
        EXPECT_EQ(CTessarineApp::RunWindow({"/checkandquit"}), 1) << run;
        std::vector<std::string> copies;
        for (auto& entry : fs::directory_iterator(base))
            if (entry.path().filename().string().find(".unreadable-") != std::string::npos)
                copies.push_back(entry.path().string());
        ASSERT_EQ(copies.size(), 1u) << run;
        EXPECT_EQ(texts(), std::vector<std::string>{
                               "The settings file could not be read. Its contents were kept in " +
                               copies[0] + ". Tessarine starts with an empty list."})
            << run;
    }
    EXPECT_EQ(ReadFile(base + kSettingsFileName), damaged);

    // A good file again: nothing to tell, and the run succeeds.
    WriteFile(base + kSettingsFileName, SettingsWith({}));
    EXPECT_EQ(CTessarineApp::RunWindow({"/checkandquit"}), 0);
    EXPECT_TRUE(texts().empty());
}
