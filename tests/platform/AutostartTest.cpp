#include "platform/Autostart.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

TEST(Autostart, WritesRewritesAndRemovesOnlyItsOwnEntry) {
    TempDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", (dir.Path() / "config").string());
    const fs::path folder = dir.Path() / "config/autostart", entry = folder / "tessarine.desktop";
    Autostart autostart;
    OptionSet options;
    ReadAutostartState(options, autostart); // a folder that can still be created will do
    EXPECT_EQ(options.runKeyOpen, 1);
    options.autostart = 1;
    ApplyAutostartChoice(options, autostart, "/usr/bin/tessarine");
    WriteFile(folder / "other.desktop", "not ours");
    // An entry kept in a dotfiles folder through a link stays a link.
    const fs::path kept = dir.Path() / "dotfiles.desktop";
    fs::rename(entry, kept);
    fs::create_symlink(kept, entry);
    ASSERT_TRUE(autostart.Write("/opt/My Programs/tessarine")); // rewritten in place
    EXPECT_TRUE(fs::is_symlink(entry));
    EXPECT_EQ(ReadFile(kept), "[Desktop Entry]\nType=Application\nName=Tessarine\n"
                              "Icon=com.orvendale.Tessarine\n"
                              "Exec=\"/opt/My Programs/tessarine\" /checkandquit\n"
                              "X-GNOME-Autostart-enabled=true\n");
    const std::string written = ReadFile(entry);
    EXPECT_FALSE(autostart.Write("/opt/bell\a/t")); // refused, the entry stays
    EXPECT_EQ(ReadFile(entry), written);

    options.autostart = 0;
    ApplyAutostartChoice(options, autostart, "/usr/bin/tessarine");
    EXPECT_FALSE(autostart.IsPresent());
    EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(folder), {}),
              std::vector<fs::path>{folder / "other.desktop"});
    EXPECT_EQ(ReadFile(folder / "other.desktop"), "not ours");
}

TEST(Autostart, ExecLineReadsBackAsOneArgument) {
    // Quoting, %-escaping, backslash escapes inside quotes, escaped white space.
    const std::pair<QString, QString> paths[] = {
        {"/opt/100%/t", "/opt/100%%/t"},
        {"/opt/a\"b$c`d\\e", "\"/opt/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e\""},
        {"/opt/tab\there/line\nbreak", "\"/opt/tab\\there/line\\nbreak\""},
    };
    for (const auto& [path, exec] : paths)
        EXPECT_EQ(DesktopEntryExec(path), exec + " /checkandquit") << path.toStdString();
    EXPECT_EQ(DesktopEntryExec(""), std::nullopt);
}

// The entry names the program as PATH finds it (a link to an installed
// version), unless PATH finds another file of that name.
TEST(Autostart, InstalledProgramIsNamedAsPathFindsIt) {
    TempDir dir;
    const fs::path program = dir.Path() / "opt/tessarine-1.0/bin/tessarine";
    for (const fs::path& file : {program, dir.Path() / "other/tessarine"}) {
        fs::create_directories(file.parent_path());
        WriteFile(file, "#!/bin/sh\n");
        fs::permissions(file, fs::perms::owner_all);
    }
    fs::create_directories(dir.Path() / "bin");
    fs::create_symlink(program, dir.Path() / "bin/tessarine");
    const QString running = QString::fromStdString(program.string());
    ScopedEnv path("PATH", (dir.Path() / "bin").string() + ":/usr/bin");
    ScopedEnv xdg("XDG_CONFIG_HOME", (dir.Path() / "config").string());
    ASSERT_TRUE(Autostart().Write(running));
    EXPECT_NE(ReadFile(Autostart::EntryPath().toStdString())
                  .find("Exec=" + (dir / "bin/tessarine") + " /checkandquit\n"),
              std::string::npos);
    ScopedEnv otherPath("PATH", (dir.Path() / "other").string());
    EXPECT_EQ(AutostartProgramPath(running), running);
}

TEST(Autostart, FolderThatCannotHoldEntriesTurnsAutostartOff) {
    TempDir dir;
    ScopedEnv xdg("XDG_CONFIG_HOME", dir.Path().string());
    WriteFile(dir.Path() / "autostart", "a file where the folder should be");
    Autostart autostart;
    OptionSet options{0, 0, 1, 1};
    ReadAutostartState(options, autostart);
    EXPECT_EQ(options.autostart + options.runKeyOpen, 0);
    options.autostart = 1;
    ApplyAutostartChoice(options, autostart, "/usr/bin/tessarine");
    EXPECT_EQ(options.autostart, 0);
    EXPECT_EQ(ReadFile(dir.Path() / "autostart"), "a file where the folder should be");
}
