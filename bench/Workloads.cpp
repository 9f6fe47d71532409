#include "Workloads.h"

#include "Harness.h"

#include "core/files/BaseDirectory.h"

#include <filesystem>
#include <random>

#include <fcntl.h>
#include <unistd.h>

namespace bench {

std::string ManyFeedTitle(int feed) {
    return Format("Feed %03d", feed);
}
std::string EnclosureName(int item) {
    return Format("e%04d.mp3", item);
}
std::string ManyFeedPath(int feed) {
    return Format("/many/%d.xml", feed);
}
std::string ValidatedFeedPath(int feed) {
    return Format("/v/many/%d.xml", feed);
}
std::string SmallFeedTitle(int feed) {
    return Format("Small %04d", feed);
}
std::string SmallFeedPath(int feed) {
    return Format("/small/%d.xml", feed);
}
std::string RangedBlobPath(int64_t size) {
    return Format("/ranged/%lld", static_cast<long long>(size));
}
std::string HugeFeedTitle() {
    return "A Long Running Show";
}
std::string HugeFeedPath() {
    return "/huge.xml";
}
std::string BlobPath(int64_t size) {
    return Format("/blob/%lld", static_cast<long long>(size));
}

namespace {

const char* const kWords[] = {
    "podcast", "episode",  "interview", "with",  "the",     "guest",   "about",  "their",
    "latest",  "work",     "and",       "a",     "look",    "at",      "news",   "from",
    "week",    "listener", "questions", "music", "history", "science", "of",     "city",
    "show",    "notes",    "links",     "&amp;", "more",    "today",   "people", "story"};

// Text of about `length` bytes, made of words chosen by `seed`.
std::string Prose(size_t length, uint32_t seed) {
    std::minstd_rand random(seed + 1);
    std::string text;
    text.reserve(length + 16);
    while (text.size() < length) {
        if (!text.empty())
            text += ' ';
        text += kWords[random() % (sizeof kWords / sizeof kWords[0])];
    }
    return text;
}

std::string PubDate(int item) {
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return Format("%s, %02d %s %04d 13:24:41 +0100", days[item % 7], 1 + item % 28,
                  months[item % 12], 2000 + (item / 300) % 25);
}

std::string Feed(const std::string& title, const std::string& mediaOrigin, int items,
                 size_t descriptionLength, uint32_t seed) {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n";
    text += "<title>" + title + "</title>\n<link>http://example.org/</link>\n";
    text += "<description>" + Prose(200, seed) + "</description>\n<language>en</language>\n";
    for (int i = 0; i < items; ++i) {
        const std::string url = mediaOrigin + "/" + EnclosureName(i);
        text += "<item>\n<title>Episode " + std::to_string(i) + ": " + Prose(40, seed * 7919 + i) +
                "</title>\n<link>http://example.org/episodes/" + std::to_string(i) +
                "</link>\n<description>" + Prose(descriptionLength, seed * 104729 + i) +
                "</description>\n<pubDate>" + PubDate(i) + "</pubDate>\n<guid>" + url +
                "</guid>\n<enclosure url=\"" + url +
                "\" length=\"31415926\" type=\"audio/mpeg\"/>\n</item>\n";
    }
    text += "</channel>\n</rss>\n";
    return text;
}

} // namespace

std::string ManyFeedText(const std::string& origin, int feed) {
    return Feed(ManyFeedTitle(feed), origin + Format("/media/%d", feed), kManyItems, 300,
                static_cast<uint32_t>(feed));
}

std::string SmallFeedText(const std::string& origin, int feed) {
    return Feed(SmallFeedTitle(feed), origin + Format("/media/small/%d", feed), kSmallItems, 100,
                static_cast<uint32_t>(feed));
}

std::string HugeFeedText(const std::string& origin) {
    return Feed(HugeFeedTitle(), origin + "/media/huge", kHugeItems, 2700, 4242);
}

const std::string& BlobBlock() {
    static const std::string block = [] {
        std::string bytes(1 << 20, '\0');
        std::minstd_rand random(7);
        for (char& c : bytes)
            c = static_cast<char>(random() & 0xff);
        return bytes;
    }();
    return block;
}

// Lays out a feed's folder with an empty file for each of its enclosures.
void CreateEnclosureFiles(const std::string& base, const std::string& title, int items) {
    std::filesystem::create_directories(tessarine::FeedFolderPath(base, title));
    for (int i = 0; i < items; ++i) {
        const int fd = ::open(tessarine::FeedFilePath(base, title, EnclosureName(i)).c_str(),
                              O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
        if (fd >= 0)
            ::close(fd);
    }
}

} // namespace bench
