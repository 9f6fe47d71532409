#include "subscriptions/OleDateTime.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tessarine;

TEST(OleDateTime, KnownValues) {
    // Day 0 is 30 December 1899; the fraction is the time of day.
    EXPECT_DOUBLE_EQ(OleDateTime::FromFields({1899, 12, 30, 0, 0, 0}).Value(), 0.0);
    EXPECT_DOUBLE_EQ(OleDateTime::FromFields({1900, 1, 1, 12, 0, 0}).Value(), 2.5);
    EXPECT_DOUBLE_EQ(OleDateTime::FromFields({1899, 12, 29, 6, 0, 0}).Value(), -1.25);
    EXPECT_NEAR(OleDateTime::FromFields({2009, 1, 28, 13, 24, 41}).Value(), 39841.558807, 1e-6);
}

TEST(OleDateTime, FormatsShownAndStored) {
    const auto t = OleDateTime::FromFields({2009, 1, 28, 13, 24, 41});
    EXPECT_EQ(t.FormatShown(), "28.01.2009 13:24");
    EXPECT_EQ(t.FormatStored(), "28.01.2009 13:24:41");
    const auto early = OleDateTime::FromFields({1899, 12, 29, 6, 0, 5});
    EXPECT_EQ(early.FormatStored(), "29.12.1899 06:00:05");
}

TEST(OleDateTime, InvalidStates) {
    EXPECT_EQ(OleDateTime().FormatShown(), "Invalid DateTime");
    EXPECT_EQ(OleDateTime().FormatStored(), "Invalid DateTime");
    EXPECT_FALSE(OleDateTime::FromFields({2009, 2, 29, 0, 0, 0}).IsValid());
    EXPECT_TRUE(OleDateTime::FromFields({2008, 2, 29, 0, 0, 0}).IsValid());
    EXPECT_FALSE(OleDateTime::FromFields({2009, 13, 1, 0, 0, 0}).IsValid());
    EXPECT_FALSE(OleDateTime::FromFields({2009, 1, 1, 24, 0, 0}).IsValid());
    EXPECT_FALSE(OleDateTime::FromValue(1e12).IsValid());
    EXPECT_FALSE(OleDateTime::FromValue(std::nan("")).IsValid());
}

TEST(OleDateTime, ParseAcceptsOnlyTheStoredLayout) {
    EXPECT_TRUE(OleDateTime::ParseStored("28.01.2009 13:24:41").IsValid());
    for (const char* bad : {"", "Invalid DateTime", "28.1.2009 13:24:41", "28.01.2009 13:24",
                            "28.01.2009T13:24:41", "31.02.2009 10:00:00", "28.01.2009 13:24:41 ",
                            "2009-01-28 13:24:41", "28.01.2009 25:00:00"})
        EXPECT_FALSE(OleDateTime::ParseStored(bad).IsValid()) << bad;
}

TEST(OleDateTime, RoundTripToTheSecond) {
    // Every second of a day, and days far apart, survive format and parse.
    for (int s = 0; s < 86400; s += 7) {
        const DateFields f{2024, 2, 29, s / 3600, s / 60 % 60, s % 60};
        const auto t = OleDateTime::FromFields(f);
        const auto back = OleDateTime::ParseStored(t.FormatStored());
        ASSERT_TRUE(back.IsValid());
        ASSERT_EQ(back.FormatStored(), t.FormatStored());
    }
    for (int year : {1000, 1601, 1899, 1900, 1970, 2038, 9999}) {
        const auto t = OleDateTime::FromFields({year, 12, 31, 23, 59, 59});
        EXPECT_EQ(OleDateTime::ParseStored(t.FormatStored()).FormatStored(), t.FormatStored());
    }
}

TEST(OleDateTime, NowMatchesTheLocalClock) {
    const std::time_t before = std::time(nullptr);
    const auto now = OleDateTime::Now();
    std::tm local{};
    localtime_r(&before, &local);
    DateFields f;
    ASSERT_TRUE(now.GetFields(f));
    EXPECT_EQ(f.year, local.tm_year + 1900);
    EXPECT_EQ(f.day, local.tm_mday);
}
