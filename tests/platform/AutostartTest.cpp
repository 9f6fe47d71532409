#include "platform/Autostart.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

class AutostartTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path folder = dir.Path() / "config/autostart";
    fs::path entry = folder / "tessarine.desktop";
    ScopedEnv xdg{"XDG_CONFIG_HOME", (dir.Path() / "config").string()};
    Autostart autostart;
    OptionSet options;
};

static std::string Entry(const std::string& exec) {
    return "[Desktop Entry]\nType=Application\nName=Tessarine\nExec=" + exec +
           " /checkandquit\nX-GNOME-Autostart-enabled=true\n";
}

TEST_F(AutostartTest, WritesRewritesAndRemovesOnlyItsOwnEntry) {
    ReadAutostartState(options, autostart); // a folder that can still be created will do
    EXPECT_EQ(options.runKeyOpen, 1);
    options.autostart = 1;
    ApplyAutostartChoice(options, autostart, "/usr/bin/tessarine");
    EXPECT_EQ(ReadFile(entry), Entry("/usr/bin/tessarine"));
    WriteFile(folder / "other.desktop", "not ours");

    // Quoted and escaped so that a session reads the path back as one argument.
    const std::pair<QString, std::string> paths[] = {
        {"/opt/My Programs/tessarine", "\"/opt/My Programs/tessarine\""},
        {"/opt/100%/t", "/opt/100%%/t"},
        {"/opt/a\"b$c`d\\e", "\"/opt/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e\""},
        {"/opt/tab\there/line\nbreak", "\"/opt/tab\\there/line\\nbreak\""},
    };
    for (const auto& [path, exec] : paths) {
        ASSERT_TRUE(autostart.Write(path));
        EXPECT_EQ(ReadFile(entry), Entry(exec));
    }
    EXPECT_FALSE(autostart.Write("/opt/bell\a/t")); // refused, the entry stays
    EXPECT_EQ(ReadFile(entry), Entry(paths[3].second));

    options.autostart = 0;
    ApplyAutostartChoice(options, autostart, "/usr/bin/tessarine");
    EXPECT_FALSE(autostart.IsPresent());
    EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(folder), {}),
              std::vector<fs::path>{folder / "other.desktop"});
    EXPECT_EQ(ReadFile(folder / "other.desktop"), "not ours");
}

TEST_F(AutostartTest, FolderThatCannotHoldEntriesTurnsAutostartOff) {
    fs::create_directories(folder.parent_path());
    WriteFile(folder, "a file where the folder should be");
    options.autostart = options.runKeyOpen = 1;
    ReadAutostartState(options, autostart);
    EXPECT_EQ(options.autostart + options.runKeyOpen, 0);
    options.autostart = 1;
    ApplyAutostartChoice(options, autostart, "/usr/bin/tessarine");
    EXPECT_EQ(options.autostart, 0);
    EXPECT_EQ(ReadFile(folder), "a file where the folder should be");
}
