// Storage faults during a check cycle: the base directory vanishing or
// turning into a file, and a full disk (a file size limit) in the middle of
// a transfer or a settings save. The entry fails with the target path, no
// partial file stays, nothing is written anywhere else, and the next cycle
// recovers once the fault is gone.
#include "subscriptions/BaseDirectory.h"
#include "subscriptions/SettingsFile.h"
#include "support/Feeds.h"
#include "support/RawHttpServer.h"
#include "support/RecordingView.h"
#include "support/TestSupport.h"
#include "update/UpdateEngine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <map>

#include <sys/resource.h>
#include <unistd.h>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

namespace {

// Limits the size of any file this process writes, as a full disk would;
// SIGXFSZ is ignored so that the write fails with EFBIG instead.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        applied_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool Applied() const { return applied_; }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = SIG_DFL;
    bool applied_ = false;
};

// Serves fixed bodies by path; `beforeFeed` runs when /f.xml is asked for
// while `armed` is set.
struct StorageServer {
    std::map<std::string, std::string> bodies;
    std::function<void()> beforeFeed;
    std::atomic<bool> armed{false};
    RawHttpServer server{[this](RawHttpServer::Connection& c) {
        if (c.Path() == "/f.xml" && armed)
            beforeFeed();
        auto it = bodies.find(c.Path());
        if (it == bodies.end()) {
            c.SendHead(404, {"Content-Length: 0"});
            return;
        }
        c.SendHead(200, {"Content-Length: " + std::to_string(it->second.size())}) &&
            c.Send(it->second);
    }};
    std::string Url(const std::string& path) const { return server.Url(path); }
    // Serves with the fault armed or not.
    void Start(bool armFault) {
        armed = armFault;
        server.Start();
    }
};

class StorageFaultTest : public testing::Test {
protected:
    StorageFaultTest() {
        fs::create_directory(base);
        model.baseDirectory = base.string() + "/";
        options.http.connectTimeoutSeconds = 2;
        options.http.stallTimeoutSeconds = 2;
    }

    UpdateEngine& Engine() {
        if (!engine)
            engine = std::make_unique<UpdateEngine>(model, view, false, options);
        return *engine;
    }

    SubscriptionPtr Add(const std::string& url, const std::string& name = "") {
        std::lock_guard lock(model.mutex);
        return model.subscriptions.Append(url, name);
    }

    // Everything under the temporary root, relative to it.
    std::vector<std::string> Tree() {
        std::vector<std::string> names;
        for (auto& entry : fs::recursive_directory_iterator(root.Path()))
            names.push_back(fs::relative(entry.path(), root.Path()).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir root;
    fs::path base = root.Path() / "base";
    SharedModel model;
    RecordingView view;
    EngineOptions options;
    std::unique_ptr<UpdateEngine> engine;
};

} // namespace

TEST_F(StorageFaultTest, BaseDirectoryGoneOrReplacedDuringACycle) {
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> fault;
        std::vector<std::string> treeAfter; // under the root, once the cycle has run
    };
    const Case cases[] = {
        {"removed", [](const fs::path& b) { fs::remove_all(b); }, {}},
        {"replaced by a file",
         [](const fs::path& b) {
             fs::remove_all(b);
             WriteFile(b, "not a folder");
         },
         {"base"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(base);
        fs::create_directory(base);
        SharedModel model;
        model.baseDirectory = base.string() + "/";
        RecordingView view;
        UpdateEngine engine(model, view, false, options);
        StorageServer s;
        s.bodies = {{"/f.xml", MakeFeed("Show", {{s.Url("/ep.mp3")}})}, {"/ep.mp3", "episode"}};
        // The fault strikes after the cycle has begun, before the feed arrives.
        s.beforeFeed = [&] { c.fault(base); };
        s.Start(true);
        auto r = model.subscriptions.Append(s.Url("/f.xml"), "Show");
        r->status = CheckPending;

        EXPECT_EQ(engine.CheckCycleProc(), 0);
        EXPECT_EQ(r->status, NewItemsFound);
        ASSERT_EQ(view.Rows().size(), 1u);
        EXPECT_EQ(view.Rows()[0][ColumnStatus], "Failed");
        EXPECT_EQ(view.Messages(), std::vector<std::string>{"Error creating file " +
                                                            base.string() + "/Show/ep.mp3"});
        // Nothing was created in its place or beside it.
        EXPECT_EQ(Tree(), c.treeAfter);
        if (fs::is_regular_file(base)) {
            EXPECT_EQ(ReadFile(base), "not a folder");
        }

        // Once the folder is back, the next check fetches the file whole.
        s.armed = false;
        fs::remove_all(base);
        fs::create_directory(base);
        r->status = CheckPending;
        EXPECT_EQ(engine.CheckCycleProc(), 0);
        EXPECT_EQ(ReadFile(base / "Show/ep.mp3"), "episode");
        EXPECT_EQ(view.Rows().back()[ColumnStatus], "Completed");
        const auto stored = ReadSettingsFile((base / kSettingsFileName).string());
        ASSERT_TRUE(stored.has_value());
        ASSERT_EQ(stored->feeds.size(), 1u);
        EXPECT_EQ(stored->feeds[0].name, "Show");
    }
}

TEST_F(StorageFaultTest, BaseDirectoryMadeReadOnlyDuringACycle) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: folder permissions do not block writes "
                        "(the removed and replaced cases cover this path)";
    StorageServer s;
    s.bodies = {{"/f.xml", MakeFeed("Show", {{s.Url("/ep.mp3")}})}, {"/ep.mp3", "episode"}};
    s.beforeFeed = [&] { fs::permissions(base, fs::perms::owner_read | fs::perms::owner_exec); };
    s.Start(true);
    auto r = Add(s.Url("/f.xml"), "Show");
    r->status = CheckPending;
    EXPECT_EQ(Engine().CheckCycleProc(), 0);
    fs::permissions(base, fs::perms::owner_all);
    EXPECT_EQ(view.Messages(),
              std::vector<std::string>{"Error creating file " + base.string() + "/Show/ep.mp3"});
    EXPECT_EQ(view.Rows().at(0)[ColumnStatus], "Failed");
    EXPECT_TRUE(fs::is_empty(base));
}

TEST_F(StorageFaultTest, FullDiskDuringATransfer) {
    StorageServer s;
    const std::string big(1 << 20, 'b'), small(10000, 's');
    s.bodies = {{"/f.xml", MakeFeed("Show", {{s.Url("/big.mp3")}, {s.Url("/small.mp3")}})},
                {"/big.mp3", big},
                {"/small.mp3", small}};
    s.Start(false);
    auto r = Add(s.Url("/f.xml"), "Show");
    r->status = CheckPending;
    {
        FileSizeLimit full(256 * 1024);
        ASSERT_TRUE(full.Applied());
        EXPECT_EQ(Engine().CheckCycleProc(), 0);
    }
    const auto rows = view.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][ColumnStatus], "Failed");
    EXPECT_EQ(rows[1][ColumnStatus], "Completed"); // the run goes on after the failure
    EXPECT_EQ(view.Messages(), std::vector<std::string>{"Error creating file " + base.string() +
                                                        "/Show/big.mp3"});
    EXPECT_FALSE(fs::exists(base / "Show/big.mp3"));
    EXPECT_FALSE(fs::exists(base / "Show/big.mp3.part"));
    EXPECT_EQ(ReadFile(base / "Show/small.mp3"), small);

    // With room again, the next check queues and fetches it whole.
    r->status = CheckPending;
    EXPECT_EQ(Engine().CheckCycleProc(), 0);
    EXPECT_EQ(r->status, NewItemsFound);
    EXPECT_EQ(ReadFile(base / "Show/big.mp3"), big);
}

TEST_F(StorageFaultTest, FullDiskDuringASettingsSaveKeepsTheOldFile) {
    for (int i = 0; i < 10; ++i)
        Add("http://example.org/" + std::to_string(i), "Feed " + std::to_string(i));
    model.SaveSettings();
    const std::string before = ReadFile(base / kSettingsFileName);
    ASSERT_FALSE(before.empty());

    // The new file would be larger than the disk allows.
    for (int i = 10; i < 2000; ++i)
        Add("http://example.org/" + std::to_string(i), std::string(100, 'n'));
    {
        FileSizeLimit full(static_cast<rlim_t>(before.size()) + 4096);
        ASSERT_TRUE(full.Applied());
        model.SaveSettings();
    }
    EXPECT_EQ(ReadFile(base / kSettingsFileName), before);
    EXPECT_EQ(Tree(), (std::vector<std::string>{"base", "base/" + std::string(kSettingsFileName)}));

    // The next save with room writes everything.
    model.SaveSettings();
    const auto stored = ReadSettingsFile((base / kSettingsFileName).string());
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->feeds.size(), 2000u);
}
