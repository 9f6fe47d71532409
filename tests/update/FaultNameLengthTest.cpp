// File and folder names at and beyond the longest name a folder entry may
// have (255 bytes): the longest names are downloaded like any other, longer
// ones fail with the target path, and nothing is written anywhere else.
#include "subscriptions/BaseDirectory.h"
#include "support/Feeds.h"
#include "support/LoopbackServer.h"
#include "support/RecordingView.h"
#include "support/TestSupport.h"
#include "update/FeedReader.h"
#include "update/UpdateEngine.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

TEST(NameLength, LongestNamesAreFetchedLongerOnesFailCleanly) {
    TempDir dir;
    SharedModel model;
    model.baseDirectory = dir.Base();
    RecordingView view;
    EngineOptions options;
    options.http.stallTimeoutSeconds = 5;
    UpdateEngine engine(model, view, false, options);
    LoopbackServer server;
    server.Server().Get(R"(/m/(\w+)\.mp3)", [](const httplib::Request& request,
                                               httplib::Response& response) {
        response.set_content("body of " + std::to_string(request.matches[1].length()),
                             "audio/mpeg");
    });

    // Names of 250 to 256 bytes with the ".mp3" ending.
    std::vector<TestItem> items;
    for (size_t length : {250u, 251u, 252u, 254u, 255u, 256u})
        items.push_back({server.Url("/m/" + std::string(length - 4, 'n') + ".mp3")});
    const std::string longestTitle(255, 'T'), tooLongTitle(256, 'U');
    server.Serve("/short.xml", MakeFeed("Show", items), "text/xml");
    server.Serve("/longest.xml", MakeFeed(longestTitle, {items[0]}), "text/xml");
    server.Serve("/toolong.xml", MakeFeed(tooLongTitle, {items[0]}), "text/xml");
    server.Start();
    for (const char* path : {"/short.xml", "/longest.xml", "/toolong.xml"})
        model.subscriptions.Append(server.Url(path), "");

    EXPECT_EQ(engine.CheckCycleProc(), 0);

    const auto rows = view.Rows();
    ASSERT_EQ(rows.size(), items.size() + 2);
    for (size_t i = 0; i + 1 < items.size(); ++i) {
        const std::string name = FileNameFromUrl(items[i].enclosureUrl);
        EXPECT_EQ(rows[i][ColumnStatus], "Completed") << name.size();
        EXPECT_EQ(ReadFile(dir / ("Show/" + name)),
                  "body of " + std::to_string(name.size() - 4));
    }
    // 256 bytes: no such file can exist.
    const std::string tooLong = FileNameFromUrl(items.back().enclosureUrl);
    EXPECT_EQ(rows[items.size() - 1][ColumnStatus], "Failed");
    // The longest folder name works, a longer one cannot be created.
    EXPECT_EQ(rows[items.size()][ColumnStatus], "Completed");
    EXPECT_TRUE(fs::exists(dir / (longestTitle + "/" + FileNameFromUrl(items[0].enclosureUrl))));
    EXPECT_EQ(rows[items.size() + 1][ColumnStatus], "Failed");
    EXPECT_EQ(view.Messages(),
              (std::vector<std::string>{
                  "Error creating file " + dir.Base() + "Show/" + tooLong,
                  "Error creating file " + dir.Base() + tooLongTitle + "/" +
                      FileNameFromUrl(items[0].enclosureUrl)}));

    // Only the two folders exist, holding only finished files.
    std::vector<std::string> top;
    for (auto& entry : fs::directory_iterator(dir.Path()))
        top.push_back(entry.path().filename().string());
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<std::string>{"Show", longestTitle, kSettingsFileName}));
    for (auto& entry : fs::recursive_directory_iterator(dir.Path()))
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();
}
