#include "platform/Autostart.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QStringList>

#include <gtest/gtest.h>


#include <filesystem>
#include <sstream>

using namespace tessarine;
using tessarine::test::ReadFile;
using tessarine::test::ScopedEnv;
using tessarine::test::TempDir;
using tessarine::test::WriteFile;
namespace fs = std::filesystem;

namespace {

// Reads the Exec value back the way a session's autostart does: undo the
// string escapes, split into arguments undoing the quoting, then turn "%%"
// into "%".
QStringList ParseExec(const QString& value) {
    QString unescaped;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == QLatin1Char('\\') && i + 1 < value.size()) {
            const QChar next = value[++i];
            unescaped += next == QLatin1Char('n')   ? QChar('\n')
                         : next == QLatin1Char('t') ? QChar('\t')
                         : next == QLatin1Char('r') ? QChar('\r')
                         : next == QLatin1Char('s') ? QChar(' ')
                                                    : next;
        } else {
            unescaped += value[i];
        }
    }
    QStringList args;
    QString current;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < unescaped.size(); ++i) {
        const QChar c = unescaped[i];
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < unescaped.size() &&
                QStringLiteral("\"`$\\").contains(unescaped[i + 1]))
                current += unescaped[++i];
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                current += c;
        } else if (c == QLatin1Char(' ')) {
            if (any)
                args << current;
            current.clear();
            any = false;
        } else if (c == QLatin1Char('"')) {
            quoted = any = true;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        args << current;
    for (QString& arg : args)
        arg.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return args;
}

// The value of `key` in the entry file; empty when absent.
std::string Value(const fs::path& path, const std::string& key) {
    std::istringstream in(ReadFile(path));
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    return {};
}

std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class AutostartTest : public ::testing::Test {
protected:
    TempDir dir;
    fs::path config = dir.Path() / "config";
    fs::path folder = config / "autostart";
    fs::path entry = folder / "tessarine.desktop";
    ScopedEnv xdg{"XDG_CONFIG_HOME", config.string()};
    Autostart autostart;
};

TEST_F(AutostartTest, EntryPathFollowsTheConfigHome) {
    EXPECT_EQ(Autostart::EntryPath().toStdString(), entry.string());
    ScopedEnv home("HOME", dir.Path().string());
    for (const std::optional<std::string>& ignored :
         {std::optional<std::string>(), std::optional<std::string>(""), std::optional<std::string>("relative/cfg")}) {
        ScopedEnv unset("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(Autostart::EntryPath().toStdString(), (dir.Path() / ".config/autostart/tessarine.desktop").string());
    }
}

TEST_F(AutostartTest, WritesRewritesAndRemovesOnlyItsOwnEntry) {
    // A missing folder that can be created counts as usable.
    EXPECT_TRUE(autostart.IsUsable());
    EXPECT_FALSE(autostart.IsPresent());

    ASSERT_TRUE(autostart.Write(QStringLiteral("/usr/bin/tessarine")));
    EXPECT_TRUE(autostart.IsPresent());
    EXPECT_EQ(ReadFile(entry), "[Desktop Entry]\n"
                               "Type=Application\n"
                               "Name=Tessarine\n"
                               "Exec=/usr/bin/tessarine /checkandquit\n"
                               "X-GNOME-Autostart-enabled=true\n");

    WriteFile(folder / "other.desktop", "[Desktop Entry]\nName=Other\n");
    ASSERT_TRUE(autostart.Write(QStringLiteral("/opt/moved/tessarine")));
    EXPECT_EQ(Value(entry, "Exec"), "/opt/moved/tessarine /checkandquit");
    // No temporary file is left beside it.
    EXPECT_EQ(Listing(folder), (std::vector<std::string>{"other.desktop", "tessarine.desktop"}));

    EXPECT_TRUE(autostart.Remove());
    EXPECT_FALSE(autostart.IsPresent());
    EXPECT_TRUE(autostart.Remove());
    EXPECT_EQ(Listing(folder), std::vector<std::string>{"other.desktop"});
    EXPECT_EQ(ReadFile(folder / "other.desktop"), "[Desktop Entry]\nName=Other\n");
}

TEST_F(AutostartTest, ProgramPathIsQuotedSoThatItReadsBackWhole) {
    const QString paths[] = {
        QStringLiteral("/opt/My Programs/tessarine"),
        QStringLiteral("/opt/100%/tessarine"),
        QStringLiteral("/opt/a\"b$c`d\\e/tessarine"),
        QStringLiteral("/home/u/~it's (new);#*?&|<>/tessarine"),
        QStringLiteral("/opt/tab\there/line\nbreak/tessarine"),
        QStringLiteral("/opt/Überall/tessarine"),
    };
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        ASSERT_TRUE(autostart.Write(path));
        EXPECT_EQ(ParseExec(QString::fromStdString(Value(entry, "Exec"))),
                  (QStringList{path, QStringLiteral("/checkandquit")}));
        // The value never spills onto a line of its own.
        EXPECT_EQ(Value(entry, "X-GNOME-Autostart-enabled"), "true");
    }
    EXPECT_EQ(DesktopEntryExec(QStringLiteral("/opt/100%/t")), QStringLiteral("/opt/100%%/t /checkandquit"));
    EXPECT_EQ(DesktopEntryExec(QStringLiteral("/opt/a b\\c")),
              QStringLiteral("\"/opt/a b\\\\\\\\c\" /checkandquit"));

    // Paths an entry cannot hold are refused, and the entry stays as it was.
    for (const QString& path : {QString(), QStringLiteral("/opt/bell\a/tessarine")}) {
        EXPECT_FALSE(DesktopEntryExec(path).has_value());
        EXPECT_FALSE(autostart.Write(path));
    }
    EXPECT_EQ(Value(entry, "Exec"), DesktopEntryExec(paths[5])->toStdString());
}

TEST_F(AutostartTest, FolderThatCannotHoldEntriesIsNotUsable) {
    fs::create_directories(config);
    WriteFile(folder, "a file where the folder should be");
    EXPECT_FALSE(autostart.IsUsable());
    EXPECT_FALSE(autostart.Write(QStringLiteral("/usr/bin/tessarine")));
    EXPECT_EQ(ReadFile(folder), "a file where the folder should be");

    OptionSet options;
    options.autostart = options.runKeyOpen = 1;
    ReadAutostartState(options, autostart);
    EXPECT_EQ(options.autostart, 0);
    EXPECT_EQ(options.runKeyOpen, 0);

    fs::remove(folder);
    fs::remove(config);
    WriteFile(config, "config home is a file");
    EXPECT_FALSE(autostart.IsUsable());
}

TEST_F(AutostartTest, ApplyingTheChoiceLeavesAutostartSayingWhetherAnEntryExists) {
    const QString program = QStringLiteral("/usr/bin/tessarine");
    OptionSet options;
    ReadAutostartState(options, autostart);
    EXPECT_EQ(options.autostart, 0);
    EXPECT_EQ(options.runKeyOpen, 1);

    options.autostart = 1;
    ApplyAutostartChoice(options, autostart, program);
    EXPECT_EQ(options.autostart, 1);
    EXPECT_TRUE(autostart.IsPresent());

    options.autostart = 0;
    ApplyAutostartChoice(options, autostart, program);
    EXPECT_EQ(options.autostart, 0);
    EXPECT_FALSE(autostart.IsPresent());

    // Unticked with no entry: stays off. Any entry at all reads as on.
    ApplyAutostartChoice(options, autostart, program);
    EXPECT_EQ(options.autostart, 0);
    WriteFile(entry, "not even a desktop entry");
    ReadAutostartState(options, autostart);
    EXPECT_EQ(options.autostart, 1);
    fs::remove(entry);
    options.autostart = 0;

    // An entry that cannot be removed keeps autostart on; one that cannot be
    // written leaves it off.
    fs::create_directories(entry);
    ApplyAutostartChoice(options, autostart, program);
    EXPECT_EQ(options.autostart, 1);
    options.autostart = 1;
    ApplyAutostartChoice(options, autostart, program);
    EXPECT_EQ(options.autostart, 0);
    EXPECT_TRUE(fs::is_directory(entry));
    fs::remove(entry);

    // Without a usable folder nothing is touched and autostart is off.
    WriteFile(entry, "kept");
    options.runKeyOpen = 0;
    for (int ticked : {0, 1}) {
        options.autostart = ticked;
        ApplyAutostartChoice(options, autostart, program);
        EXPECT_EQ(options.autostart, 0);
        EXPECT_EQ(ReadFile(entry), "kept");
    }
}

} // namespace
