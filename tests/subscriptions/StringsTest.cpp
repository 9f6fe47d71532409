#include "subscriptions/Strings.h"

#include <gtest/gtest.h>

using namespace tessarine;

TEST(Strings, BothTablesHoldEveryIdentifier) {
    for (int id : {100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 115,
                   116, 117, 119, 120, 121, 122, 123, 124, 125, 126, 127, 128, 129, 201, 202,
                   58114}) {
        EXPECT_FALSE(LoadResString(id, Language::English).empty()) << id;
        EXPECT_FALSE(LoadResString(id, Language::German).empty()) << id;
    }
    for (int id = TXT_CAPTION; id <= TXT_WEB_ADDRESS; ++id) {
        EXPECT_FALSE(LoadResString(id, Language::English).empty()) << id;
        EXPECT_FALSE(LoadResString(id, Language::German).empty()) << id;
    }
}

TEST(Strings, LanguageChoice) {
    EXPECT_EQ(ChooseLanguage("de", false), Language::German);
    EXPECT_EQ(ChooseLanguage("en", true), Language::English);
    EXPECT_EQ(ChooseLanguage(nullptr, true), Language::German);
    EXPECT_EQ(ChooseLanguage("fr", false), Language::English);
    EXPECT_EQ(LoadResString(IDS_COMPLETED, Language::German), "Completed");
    EXPECT_EQ(LoadResString(IDS_NEW_PODCAST, Language::German), "Neuer Podcast");
}

TEST(Strings, FormatInsertsArgumentsVerbatim) {
    // A URL holding percent signs and "%s" must come out unchanged.
    EXPECT_EQ(FormatText("Could not open %s", {"http://x/a%20b%s"}),
              "Could not open http://x/a%20b%s");
    EXPECT_EQ(FormatText("%%d.%%m", {}), "%d.%m");
    EXPECT_EQ(FormatText("Revision: %s, Date: %s", {"45", "2009/01/28 13:24:41"}),
              "Revision: 45, Date: 2009/01/28 13:24:41");
    EXPECT_EQ(FormatText("%s and %s", {"one"}), "one and %s");
}
