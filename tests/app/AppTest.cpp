// Whole runs of the real program, and the program's life after its application object.
#include "app/CTessarineApp.h"
#include "core/files/BaseDirectory.h"
#include "core/files/BaseDirectoryLock.h"
#include "core/model/SettingsFile.h"
#include "core/util/Strings.h"
#include "mainwindow/CTessarineDlg.h"
#include "platform/SingleInstance.h"
#include "support/Feeds.h"
#include "support/GuiHarness.h"
#include "support/LoopbackServer.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

#include <sys/stat.h>

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
    // A run in this world, beside `process` if that runs: its exit code, or
    // -1 when it crashed or did not end within a minute.
    int Run(const QStringList& arguments) {
        QProcess run; // killed, if still running, when it goes
        Start(arguments, &run);
        const bool ended = run.waitForFinished(60000);
        return ended && run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1;
    }
    void Kill() { // SIGKILL (when running), and wait until it is gone
        process.kill();
        process.waitForFinished(10000);
    }
};

std::string SettingsWith(const std::vector<std::pair<std::string, std::string>>& feeds) {
    std::string text = "<TessarineSettings><settings updatestart='0' quitcomplete='0'/>";
    for (const auto& [url, name] : feeds)
        text += "<feed url=\"" + url + "\" lastchecked=\"28.01.2009 13:24:41\">" + name + "</feed>";
    return text + "</TessarineSettings>";
}

} // namespace

TEST(Program, OneProgramPerBaseDirectory) {
    Program program(SettingsWith({{"http://127.0.0.1:1/a.xml", "A"}})); // no check at start
    const std::string leftover = program.settings + ".tmp4711-0";       // of a killed save
    WriteFile(leftover, "<TessarineSett");
    const std::string settings = ReadFile(program.settings);
    program.Start({});
    // Its window serves raise requests once it holds the folder.
    ASSERT_TRUE(SingleInstance::AskToRaise(program.base, 30000));
    EXPECT_FALSE(fs::exists(leftover));
    // A second window raises the first and ends (AStartTellsWhatItCannotDoAndFails
    // has an unattended one).
    EXPECT_EQ(program.Run({}), 0);
    EXPECT_EQ(program.process.state(), QProcess::Running);
    EXPECT_EQ(ReadFile(program.settings), settings);
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(program.base))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{kLockFileName, kEpisodeStoreFileName, kSettingsFileName}));
}

TEST(ProgramKill, DuringSettingsSavesTheFileStaysWhole) {
    // The walk saves the whole list as it goes: the kill lands among 300 feeds,
    // the last of which holds the walk until the kill, so that it never ends first.
    constexpr int kFeeds = 300;
    auto name = [](const char* word, int i) { // long names: each save takes a while
        return word + std::to_string(i) + std::string(80, 'p');
    };
    Signal killed[3];  // per round: its program was killed
    Signal halfway[3]; // per round: the walk asked for a feed in the middle
    std::atomic<int> round{0};
    LoopbackServer server;
    server.Server().Get(R"(/f/(\d+))", [&](const httplib::Request& request, auto& response) {
        const int i = std::stoi(request.matches[1].str()), now = round;
        if (i >= kFeeds / 2)
            halfway[now].Set();
        if (i == kFeeds - 1)
            killed[now].Wait();
        response.set_content(MakeFeed(name("New ", i), {}), "text/xml");
    });
    server.Start();
    std::vector<std::pair<std::string, std::string>> feeds;
    for (int i = 0; i < kFeeds; ++i)
        feeds.push_back({server.Url("/f/" + std::to_string(i)), name("Old ", i)});

    // Each write replaces the file: a new file and a new time.
    auto stamp = [](const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return std::make_tuple(st.st_ino, st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    };
    for (; round < 3; ++round) {
        Program program(SettingsWith(feeds));
        FolderWatch watch(program.base);
        auto last = stamp(program.settings);
        auto written = [&] {
            if (!watch.Until([&] { return stamp(program.settings) != last; }))
                return false;
            last = stamp(program.settings);
            return true;
        };
        program.Start({"/checkandquit"});
        // Killed right after the first save, in the middle of the walk, or right
        // after the second save (at the latest the one while the walk waits).
        ASSERT_TRUE(written());
        if (round == 1) {
            ASSERT_TRUE(halfway[round].Wait());
        } else if (round == 2) {
            ASSERT_TRUE(written());
        }
        program.Kill();
        killed[round].Set();

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

// What a start cannot do is told in a box (unattended, not for a base directory
// held by another) and the run fails; then a good start and a first start.
TEST(Program, AStartTellsWhatItCannotDoAndFails) {
    GuiHarness harness;
    const std::string base = harness.root.Base() + "pods/";
    harness.SetProfileBaseDirectory(QString::fromStdString(base));

    // A base directory on a disk that is not mounted: the folder may be the
    // mount point, so it is not made.
    EXPECT_EQ(CTessarineApp::RunWindow({"/checkandquit"}), 1);
    EXPECT_EQ(harness.Told(), QStringList{QString::fromStdString(
                                  "The base directory " + base +
                                  " does not exist. Nothing was checked; connect the disk that "
                                  "holds it, or choose another base directory.")});
    EXPECT_FALSE(fs::exists(base));

    // A base directory another user's program holds, with no window to raise.
    fs::create_directories(base);
    std::optional<BaseDirectoryLock> holder(base);
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"/checkandquit"}, {}})
        EXPECT_EQ(CTessarineApp::RunWindow(arguments), CTessarineApp::kExitBaseDirectoryInUse);
    EXPECT_EQ(harness.Told(),
              QStringList{QString::fromStdString("The base directory " + base +
                                                 " is in use by another Tessarine.")});
    holder.reset();

    // A damaged settings file is told at every start, naming the one copy of its bytes.
    const std::string settings = SettingsWith({{"http://127.0.0.1:1/a.xml", "A"}});
    const std::string damaged = settings.substr(0, settings.size() - 40);
    WriteFile(base + kSettingsFileName, damaged);
    for (int run = 0; run < 2; ++run)
        EXPECT_EQ(CTessarineApp::RunWindow({"/checkandquit"}), 1) << run;
    std::vector<std::string> copies;
    for (auto& entry : fs::directory_iterator(base))
        if (entry.path().filename().string().find(".unreadable-") != std::string::npos)
            copies.push_back(entry.path().string());
    ASSERT_EQ(copies.size(), 1u);
    const QString told =
        QString::fromStdString("The settings file could not be read. Its contents were kept in " +
                               copies[0] + ". Tessarine starts with an empty list.");
    EXPECT_EQ(harness.Told(), QStringList({told, told}));
    EXPECT_EQ(ReadFile(base + kSettingsFileName), damaged);

    // A good file again: nothing to tell, and the run succeeds.
    WriteFile(base + kSettingsFileName, SettingsWith({}));
    EXPECT_EQ(CTessarineApp::RunWindow({"/checkandquit"}), 0);
    EXPECT_TRUE(harness.Told().empty());

    // None stored: a first start makes and stores "Podcasts" in the home folder.
    harness.SetProfileBaseDirectory("");
    EXPECT_EQ(CTessarineApp::RunWindow({"/checkandquit"}), 0);
    EXPECT_TRUE(fs::is_directory(harness.root.Base() + "home/Podcasts"));
    EXPECT_EQ(harness.ProfileBaseDirectory().toStdString(), harness.root.Base() + "home/Podcasts/");
}

// Registration, help and version end the run at once (help and version printed in the
// user's language), also where no display can be opened (an installer's script, SSH).
TEST(Program, RegistrationHelpAndVersionRunWithoutADisplay) {
    Program program(SettingsWith({{"x", "X"}}));
    const auto before = fs::last_write_time(program.settings);
    const struct {
        QStringList arguments;
        const char* language;
        std::string expected;
    } cases[] = {
        {{"/unregserver"}, "en", ""},
        {{"-RegServer"}, "en", ""},
        {{"/checkandquit", "--help"}, "en", LoadResString(TXT_APP_HELP, Language::English)},
        {{"/checkandquit", "-h"}, "de", LoadResString(TXT_APP_HELP, Language::German)},
        {{"/checkandquit", "--version"}, "de", "tessarine "}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.back().toStdString());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(name);
        env.insert("XDG_CONFIG_HOME",
                   QString::fromStdString((program.root.Path() / "config").string()));
        env.insert("TESSARINE_LANG", c.language);
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(TESSARINE_BINARY, c.arguments);
        ASSERT_TRUE(run.waitForFinished(30000));
        EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.exitCode(), 0);
        const std::string out = run.readAllStandardOutput().toStdString();
        if (c.expected == "tessarine ") // one line: the program's name and its version
            EXPECT_TRUE(out.starts_with("tessarine ") && out.find('\n') == out.size() - 1) << out;
        else
            EXPECT_EQ(out, c.expected);
        EXPECT_EQ(run.readAllStandardError().toStdString(), "");
    }
    // Nothing of the base directory was touched: no check, no lock.
    EXPECT_EQ(fs::last_write_time(program.settings), before);
    std::vector<std::string> names;
    for (auto& entry : fs::directory_iterator(program.base))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{kSettingsFileName});
}

// A link at a start with no window running: the window shows, then the filled
// subscribe dialog; an unattended run opens none; switches beside a link stay.
TEST(Program, ALinkAtStartOpensTheSubscribeDialogOnceTheWindowShows) {
    const auto parsed = CTessarineCommandLineInfo::Parse(
        {"feed://h/a", "/checkandquit", "-x", "/donotcheck", "dir/f.xml", "checkandquit"});
    EXPECT_TRUE(parsed.checkAndQuit && !parsed.doNotCheck);
    EXPECT_EQ(parsed.links, (std::vector<std::string>{"feed://h/a", "dir/f.xml"}));

    GuiHarness harness;
    const std::string base = harness.root.Base() + "pods/";
    fs::create_directories(base);
    WriteFile(base + kSettingsFileName, SettingsWith({}));
    harness.SetProfileBaseDirectory(QString::fromStdString(base));
    // Each subscribe dialog's field and whether its window showed; then quit.
    QStringList shown;
    bool windowShown = false;
    const ModalWatch watch([&](QDialog* dialog) {
        shown << dialog->findChild<QLineEdit*>("feedUrl")->text();
        auto* window = qobject_cast<CTessarineDlg*>(dialog->parentWidget());
        windowShown = window != nullptr && window->isVisible();
        dialog->reject();
        if (window != nullptr)
            window->PostCommand(ID_QUIT_COMMAND);
    });
    EXPECT_EQ(CTessarineApp::RunWindow({"/checkandquit", "feed://127.0.0.1:1/x.xml"}), 0);
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(CTessarineApp::RunWindow({"feed:https://127.0.0.1:1/x.xml"}), 0);
    EXPECT_EQ(shown, QStringList{"https://127.0.0.1:1/x.xml"});
    EXPECT_TRUE(windowShown);
    EXPECT_TRUE(harness.Told().empty());
}
