#include "subscriptions/Subscription.h"
#include "subscriptions/Strings.h"

#include <gtest/gtest.h>

using namespace tessarine;

namespace {

std::vector<std::string> Urls(const SubscriptionList& list) {
    std::vector<std::string> urls;
    for (const auto& s : list.Items())
        urls.push_back(s->url);
    return urls;
}

} // namespace

TEST(SubscriptionList, AppendNamesAndStatuses) {
    SubscriptionList list;
    auto unnamed = list.Append("http://a/feed", "");
    ASSERT_TRUE(unnamed);
    EXPECT_EQ(unnamed->name, "New Podcast");
    EXPECT_EQ(unnamed->status, NewlyAdded);
    EXPECT_EQ(StatusText(unnamed->status), "Newly added");
    EXPECT_TRUE(unnamed->lastChecked.IsValid()); // the time of its addition

    auto named = list.Append("http://b/feed", "Tom & Jerry");
    ASSERT_TRUE(named);
    EXPECT_EQ(named->status, Idle);
    EXPECT_EQ(StatusText(named->status), "");
}

TEST(SubscriptionList, DuplicateUrlsAreExactAndCaseSensitive) {
    SubscriptionList list;
    ASSERT_TRUE(list.Append("http://a/feed", "A"));
    EXPECT_FALSE(list.Append("http://a/feed", "again"));
    EXPECT_TRUE(list.Append("http://A/feed", "upper case differs"));
    EXPECT_TRUE(list.Append("http://a/feed ", "trailing blank differs"));
    EXPECT_TRUE(list.Append("", "empty URL is a record like any other"));
    EXPECT_FALSE(list.Append("", "but only once"));
    EXPECT_EQ(list.Size(), 4u);
}

TEST(SubscriptionList, RemoveFirstMiddleLastAndOnly) {
    for (int removed = 0; removed < 3; ++removed) {
        SubscriptionList list;
        std::vector<SubscriptionPtr> records;
        for (const char* url : {"u0", "u1", "u2"})
            records.push_back(list.Append(url, url));
        ASSERT_TRUE(list.Remove(records[removed]));
        std::vector<std::string> expected = {"u0", "u1", "u2"};
        expected.erase(expected.begin() + removed);
        EXPECT_EQ(Urls(list), expected) << removed;
        // The URL is free again after removal.
        EXPECT_TRUE(list.Append(records[removed]->url, "back"));
    }
    SubscriptionList only;
    auto record = only.Append("u", "n");
    EXPECT_TRUE(only.Remove(record));
    EXPECT_TRUE(only.Empty());
    EXPECT_FALSE(only.Remove(record));
}

TEST(SubscriptionList, AtPastTheEndOrNegativeIsNone) {
    SubscriptionList list;
    list.Append("u0", "a");
    list.Append("u1", "b");
    EXPECT_EQ(list.At(1)->url, "u1");
    EXPECT_EQ(list.At(2), nullptr);
    EXPECT_EQ(list.At(-1), nullptr);
}

TEST(SubscriptionList, RemovedRecordOutlivesTheListWhileHeld) {
    SubscriptionList list;
    SubscriptionPtr held = list.Append("u", "still used by the worker");
    list.Clear();
    EXPECT_EQ(held->name, "still used by the worker");
}

TEST(SubscriptionStatus, TextsForEveryCode) {
    const std::pair<int, const char*> table[] = {
        {0, ""},           {1, "Newly added"},  {2, "Check pending"}, {3, "Checking..."},
        {4, "New items found"}, {5, "No new items"}, {100, "Error"},     {6, ""},
        {-1, ""},          {99, ""},
    };
    for (auto [code, text] : table)
        EXPECT_EQ(StatusText(code), text) << code;
    SetLanguage(Language::German);
    EXPECT_EQ(StatusText(CheckPending), "Überprüfung steht an");
    SetLanguage(Language::English);
}
