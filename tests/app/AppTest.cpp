// The command line, and whole runs of the real program.
#include "app/CTessarineApp.h"
#include "subscriptions/BaseDirectory.h"
#include "support/Feeds.h"
#include "support/LoopbackServer.h"
#include "support/TestSupport.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <filesystem>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

namespace {

CTessarineCommandLineInfo Parse(std::vector<std::string> arguments) {
    return CTessarineCommandLineInfo::Parse(arguments);
}

// Runs the real program in a temporary world; returns its exit code, or -1
// when it did not end within the time given.
struct ProgramRun {
    TempDir root;
    std::string base;

    ProgramRun() {
        base = root.Base() + "pods/";
        fs::create_directories(base);
        fs::create_directories(root.Path() / "config/Orvendale");
        WriteFile(root.Path() / "config/Orvendale/Tessarine.conf",
                  "[Settings]\nBasedir=" + base + "\n");
    }

    int Run(const QStringList& arguments, int timeoutMs = 60000) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", QString::fromStdString((root.Path() / "config").string()));
        env.insert("HOME", QString::fromStdString(root.Path().string()));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("no_proxy", "127.0.0.1,localhost");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(QString::fromStdString(root.Path().string()));
        process.start(TESSARINE_BINARY, arguments);
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }
};

} // namespace

TEST(CommandLine, SwitchesAndTheLaterOneWins) {
    struct Case {
        std::vector<std::string> arguments;
        bool checkAndQuit, doNotCheck;
    };
    const Case cases[] = {
        {{}, false, false},
        {{"/checkandquit"}, true, false},
        {{"-checkandquit"}, true, false},
        {{"checkandquit"}, true, false},
        {{"/CHECKANDQUIT"}, false, false},
        {{"/CheckAndQuit"}, false, false},
        {{"//checkandquit"}, false, false},
        {{"/donotcheck"}, false, true},
        {{"/checkandquit", "/donotcheck"}, false, true},
        {{"/donotcheck", "/checkandquit"}, true, false},
        {{"/checkandquit", "/other", "file.txt"}, true, false},
    };
    for (const Case& c : cases) {
        const auto info = Parse(c.arguments);
        EXPECT_EQ(info.checkAndQuit, c.checkAndQuit) << testing::PrintToString(c.arguments);
        EXPECT_EQ(info.doNotCheck, c.doNotCheck) << testing::PrintToString(c.arguments);
    }
    EXPECT_TRUE(Parse({"/regserver"}).registerServer);
    EXPECT_TRUE(Parse({"-RegServer"}).registerServer);
    EXPECT_TRUE(Parse({"/unregserver"}).unregisterServer);
}

TEST(Program, RegistrationRunsEndWithoutTouchingFiles) {
    ProgramRun run;
    WriteFile(run.base + kSettingsFileName, "<TessarineSettings><feed url='x'>X</feed></TessarineSettings>");
    const auto before = fs::last_write_time(run.base + kSettingsFileName);
    EXPECT_EQ(run.Run({"/regserver"}, 10000), 0);
    EXPECT_EQ(run.Run({"/unregserver"}, 10000), 0);
    EXPECT_EQ(fs::last_write_time(run.base + kSettingsFileName), before);
    EXPECT_EQ(ReadFile(run.base + kSettingsFileName),
              "<TessarineSettings><feed url='x'>X</feed></TessarineSettings>");
}

TEST(Program, CheckAndQuitRunsUnattended) {
    LoopbackServer server;
    const std::string episode(300000, 'e');
    server.Serve("/feed.xml",
                 MakeFeed("Night Show", {{server.Url("/media/ep1.mp3"), "One"},
                                         {server.Url("/media/ep2.mp3?token=9"), "Two"}}),
                 "application/rss+xml");
    server.Serve("/media/ep1.mp3", episode, "audio/mpeg");
    server.Serve("/media/ep2.mp3", "second", "audio/mpeg");
    server.Start();

    ProgramRun run;
    WriteFile(run.base + kSettingsFileName,
              "<?xml version=\"1.0\" ?>\r\n<TessarineSettings>\r\n"
              "    <settings updatestart=\"0\" quitcomplete=\"0\"></settings>\r\n"
              "    <feed url=\"" + server.Url("/feed.xml") +
                  "\" lastchecked=\"28.01.2009 13:24:41\">Night Show</feed>\r\n"
              "</TessarineSettings>\r\n");

    EXPECT_EQ(run.Run({"/checkandquit"}), 0);
    EXPECT_EQ(ReadFile(run.base + "Night Show/ep1.mp3"), episode);
    EXPECT_EQ(ReadFile(run.base + "Night Show/ep2.mp3"), "second");
    // The folder did not exist when the archive was saved: it comes next time.
    EXPECT_FALSE(fs::exists(run.base + "Night Show/feed.xml"));
    const std::string settings = ReadFile(run.base + kSettingsFileName);
    EXPECT_NE(settings.find(">Night Show</feed>\r\n"), std::string::npos);
    EXPECT_EQ(settings.find("28.01.2009 13:24:41"), std::string::npos); // checked just now

    // A second unattended run finds everything on disk and fetches nothing.
    EXPECT_EQ(run.Run({"-checkandquit"}), 0);
    EXPECT_EQ(server.Hits("/media/ep1.mp3"), 1);
    EXPECT_EQ(server.Hits("/feed.xml"), 2);
    const std::string archive = ReadFile(run.base + "Night Show/feed.xml");
    EXPECT_EQ(archive.rfind("<?xml version=\"1.0\" ?>\r\n<TessarineFeed>\r\n    <item>\r\n", 0), 0u);
    EXPECT_NE(archive.find("        <title>One</title>\r\n"), std::string::npos);
    EXPECT_NE(archive.find("<link>" + server.Url("/media/ep2.mp3?token=9") + "</link>"),
              std::string::npos);
}

TEST(Program, CheckAndQuitWithAnEmptyListStaysOpen) {
    ProgramRun run;
    EXPECT_EQ(run.Run({"/checkandquit"}, 2500), -1); // nothing to check: it keeps running
}
