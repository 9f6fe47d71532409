// The texts both front ends show for the library's facts. Rows that only
// look a text up are left to the string tables' own test.
#include "display/DisplayText.h"
#include "core/model/Subscription.h"
#include "core/util/Strings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <tuple>
#include <vector>

using namespace tessarine;

namespace {

struct EnglishAfterwards {
    ~EnglishAfterwards() { SetLanguage(Language::English); }
};

} // namespace

TEST(DisplayText, FailuresInEitherLanguage) {
    EnglishAfterwards restore;
    const std::vector<std::tuple<Failure, std::string, std::string>> cases = {
        {{}, "", ""},
        {{FailureKind::HttpStatus, 404, "Not Found"},
         "HTTP status 404 Not Found",
         "HTTP-Status 404 Not Found"},
        {{FailureKind::HttpStatus, 503}, "HTTP status 503", "HTTP-Status 503"}, // no phrase sent
        {{FailureKind::NetworkError}, "Network error", "Netzwerkfehler"},
        {{FailureKind::NetworkError, 0, {}, "SSL connect error"},
         "Network error: SSL connect error",
         "Netzwerkfehler: SSL connect error"},
        // From the system's error numbers, as the file layer reports them.
        {FileFailure(ENOSPC), "Disk full", "Datenträger voll"},
        {FileFailure(EROFS), "Permission denied", "Zugriff verweigert"},
        {FileFailure(EIO), "File error: " + std::string(std::strerror(EIO)),
         "Dateifehler: " + std::string(std::strerror(EIO))},
    };
    for (const auto& [failure, english, german] : cases) {
        SetLanguage(Language::English);
        EXPECT_EQ(FailureText(failure), english) << static_cast<int>(failure.kind);
        SetLanguage(Language::German);
        EXPECT_EQ(FailureText(failure), german) << static_cast<int>(failure.kind);
    }
}

TEST(DisplayText, CellsOfStatusesSizesAndPercentages) {
    EnglishAfterwards restore;
    SetLanguage(Language::English);
    EXPECT_EQ(StatusText(Idle), "");
    EXPECT_EQ(StatusText(42), ""); // a code of some other program's record
    // The download list's sizes: as the command line's under a megabyte,
    // megabytes from one on, never gigabytes.
    const std::vector<std::tuple<int64_t, std::string, std::string>> sizes = {
        {1023, "1023B", "1023B"},      {1024, "1KB", "1KB"},
        {1048575, "1024KB", "1024KB"}, {1048576, "1.0MB", "1.0MB"},
        {1572864, "1.5MB", "1.5MB"},   {int64_t{5632} << 20, "5632.0MB", "5.50GB"}};
    for (const auto& [bytes, list, line] : sizes) {
        EXPECT_EQ(SizeText(bytes), list) << bytes;
        EXPECT_EQ(ByteSizeText(bytes), line) << bytes;
    }
    // Whole percent, rounded down; nothing known of the total is 0 %.
    const std::vector<std::tuple<int64_t, int64_t, std::string>> percents = {
        {0, 100, "0%"}, {999, 1000, "99%"}, {100, 100, "100%"},
        {5, 0, "0%"},   {1, 3, "33%"},      {int64_t{3} << 40, int64_t{4} << 40, "75%"}};
    for (const auto& [received, total, text] : percents)
        EXPECT_EQ(PercentText(received, total), text) << received << " of " << total;
    // A message's arguments go in verbatim.
    SetLanguage(Language::German);
    EXPECT_EQ(MessageText({Message::Kind::Error, IDS_COULD_NOT_OPEN, {"http://a/%s"}}),
              "URL konnte nicht geöffnet werden: http://a/%s");
    // The reason follows once: not where the text says it already, by
    // itself or in the system's words among its arguments.
    const Message refused{
        Message::Kind::Error, IDS_COULD_NOT_OPEN, {"http://a/"}, {FailureKind::ConnectionRefused}};
    EXPECT_EQ(MessageWithReason(refused),
              "URL konnte nicht geöffnet werden: http://a/ (Verbindung abgelehnt)");
    SetLanguage(Language::English);
    const Message page{Message::Kind::Error,
                       IDS_PAGE_NAMES_NO_FEED,
                       {"http://a/"},
                       {FailureKind::PageNamesNoFeed}};
    EXPECT_EQ(MessageWithReason(page), MessageText(page));
    const Message unwritable{Message::Kind::Error,
                             IDS_ERROR_CREATING_FILE_REASON,
                             {"/f", std::strerror(EISDIR)},
                             FileFailure(EISDIR)};
    EXPECT_EQ(MessageWithReason(unwritable), "Error creating file /f: " +
                                                 std::string(std::strerror(EISDIR)));
}
