// A process killed outright (SIGKILL) while it saves the settings file over
// and over: whenever the kill lands, the file on disk is one whole snapshot,
// the last one before the kill or the one before it, never a mix or a stump.
#include "subscriptions/BaseDirectory.h"
#include "subscriptions/SettingsFile.h"
#include "support/Sanitized.h"
#include "support/TestSupport.h"
#include "update/SharedModel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

namespace {

constexpr int kFeeds = 300;

std::string FeedUrl(int i) { return "http://example.org/feeds/" + std::to_string(i) + ".xml"; }

// The name every feed has in generation `generation`.
std::string NameOf(long generation, int feed) {
    return "Generation " + std::to_string(generation) + " feed " + std::to_string(feed) + " " +
           std::string(60, 'x');
}

// Runs in the child: saves generation after generation until killed.
[[noreturn]] void SaveForever(const std::string& base, long firstGeneration) {
    prctl(PR_SET_PDEATHSIG, SIGKILL); // never outlive the test
    SharedModel model;
    model.baseDirectory = base;
    for (int i = 0; i < kFeeds; ++i)
        model.subscriptions.Append(FeedUrl(i), NameOf(firstGeneration, i));
    for (long generation = firstGeneration + 1;; ++generation) {
        {
            std::lock_guard lock(model.mutex);
            for (int i = 0; i < kFeeds; ++i)
                model.subscriptions.At(i)->name = NameOf(generation, i);
        }
        model.SaveSettings();
    }
}

// The generation of a whole settings file; -1 when it is not one snapshot.
long GenerationOf(const StoredSettings& stored) {
    if (stored.feeds.size() != static_cast<size_t>(kFeeds))
        return -1;
    const std::string& first = stored.feeds[0].name;
    const long generation = std::stol(first.substr(std::string("Generation ").size()));
    for (int i = 0; i < kFeeds; ++i) {
        if (stored.feeds[i].url != FeedUrl(i) || stored.feeds[i].name != NameOf(generation, i))
            return -1;
    }
    return generation;
}

// Files beside the settings file: temporary files of a save under way.
int TemporaryFiles(const fs::path& folder) {
    int count = 0;
    std::error_code error;
    for (auto& entry : fs::directory_iterator(folder, error))
        count += entry.path().filename() != kSettingsFileName;
    return count;
}

} // namespace

TEST(KillFault, SettingsFileIsWholeAfterSigkillDuringSaves) {
    TempDir dir;
    const std::string path = dir / kSettingsFileName;
    {
        // The file before the first kill: generation 0.
        SharedModel model;
        model.baseDirectory = dir.Base();
        for (int i = 0; i < kFeeds; ++i)
            model.subscriptions.Append(FeedUrl(i), NameOf(0, i));
        model.SaveSettings();
    }

    std::mt19937 random(20240607);
    int killsMidWrite = 0;
    long generation = 0;
    // At least 25 kills, and on until some of them landed inside a write.
    const int wantedMidWrite = kSanitized ? 1 : 3;
    int round = 0;
    for (; round < 25 || (killsMidWrite < wantedMidWrite && round < 300); ++round) {
        const auto before = fs::last_write_time(path);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            SaveForever(dir.Base(), generation * 1000000);
        // Let it save at least once, then kill it: in even rounds at a
        // random moment, in odd ones as soon as a new file is being written.
        for (int i = 0; i < 20000 && fs::last_write_time(path) == before; ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        if (round % 2 == 0) {
            std::this_thread::sleep_for(
                std::chrono::microseconds(std::uniform_int_distribution<int>(0, 20000)(random)));
        } else {
            const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (TemporaryFiles(dir.Path()) == 0 && std::chrono::steady_clock::now() < give_up)
                std::this_thread::yield();
        }
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));

        // A temporary file left behind means the kill landed inside a write.
        if (TemporaryFiles(dir.Path()) > 0)
            ++killsMidWrite;
        for (auto& entry : fs::directory_iterator(dir.Path()))
            if (entry.path().filename() != kSettingsFileName)
                fs::remove(entry.path());
        const auto stored = ReadSettingsFile(path);
        ASSERT_TRUE(stored.has_value()) << "round " << round;
        const long found = GenerationOf(*stored);
        ASSERT_GE(found, 0) << "round " << round;
        EXPECT_GT(found, generation * 1000000) << "round " << round; // a save of this run
        generation = round + 1;
    }
    RecordProperty("kills_inside_a_write", killsMidWrite);
    std::printf("%d kills, %d of them inside a write\n", round, killsMidWrite);
    EXPECT_GT(killsMidWrite, 0); // the dangerous moment was really hit
}
