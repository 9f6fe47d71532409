#include "update/FeedReader.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace tessarine;

namespace {

std::vector<std::string> Urls(const FeedDocument& feed) {
    std::vector<std::string> urls;
    for (const FeedItem& item : feed.items)
        urls.push_back(item.enclosureUrl);
    return urls;
}

std::string Nested(std::size_t depth) {
    std::string text;
    for (std::size_t i = 0; i < depth; ++i)
        text += "<a>";
    for (std::size_t i = 0; i < depth; ++i)
        text += "</a>";
    return text;
}

} // namespace

TEST(FeedReader, ReadsChannelTitleAndItems) {
    const FeedDocument feed = ReadFeed(R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- a comment before the first element -->
<rss version="2.0">
  <channel>
    <title>Morning &amp; Night</title>
    <link>http://example.org/</link>
    <item>
      <title>Episode 1</title>
      <description><![CDATA[  <b>bold</b>  ]]></description>
      <link>http://example.org/ep1.html</link>
      <pubDate>Mon, 01 Jan 2024 10:00:00 GMT</pubDate>
      <enclosure url="  http://example.org/ep1.mp3?a=1&amp;b=2 " length="1" type="audio/mpeg"/>
    </item>
    <item>
      <enclosure url="http://example.org/ep2.mp3"/>
    </item>
  </channel>
</rss>)");
    EXPECT_TRUE(feed.wellFormed);
    EXPECT_TRUE(feed.hasChannel);
    EXPECT_EQ(feed.channelTitle, "Morning & Night");
    ASSERT_EQ(feed.items.size(), 2u);
    const FeedItem& first = feed.items[0];
    EXPECT_EQ(first.enclosureUrl, "http://example.org/ep1.mp3?a=1&b=2");
    EXPECT_EQ(first.title, "Episode 1");
    EXPECT_EQ(first.description, "  <b>bold</b>  "); // texts are not trimmed
    EXPECT_EQ(first.pubDate, "Mon, 01 Jan 2024 10:00:00 GMT");
    const FeedItem& second = feed.items[1];
    EXPECT_EQ(second.enclosureUrl, "http://example.org/ep2.mp3");
    EXPECT_EQ(second.title, "");
    EXPECT_EQ(second.description, "");
    EXPECT_EQ(second.pubDate, "");
}

TEST(FeedReader, EnclosureRules) {
    const FeedDocument feed = ReadFeed(R"(<rss><channel>
    <item><enclosure url="http://h/first.mp3"/><enclosure url="http://h/second.mp3"/></item>
    <item><title>no enclosure</title><link>http://h/page</link></item>
    <item><enclosure type="audio/mpeg"/><title>no url</title></item>
    <item><Enclosure url="http://h/upper.mp3"/><enclosure url="http://h/lower.mp3"/></item>
    <item><enclosure url=" &#x9;http://h/tab.mp3&#10;"/></item>
    <item><media><enclosure url="http://h/nested.mp3"/></media></item>
</channel></rss>)");
    EXPECT_EQ(Urls(feed), (std::vector<std::string>{"http://h/first.mp3", "", "http://h/lower.mp3",
                                                    "http://h/tab.mp3"}));
    ASSERT_EQ(feed.items.size(), 4u);
    EXPECT_EQ(feed.items[1].title, "no url");
}

TEST(FeedReader, ItemsStartAtTheFirstItemAndTakeEveryFollowingElement) {
    const FeedDocument feed = ReadFeed(R"(<feed><channel>
    <entry><enclosure url="before"/></entry>
    <title>Shown after its first use</title>
    <item><enclosure url="one"/></item>
    <!-- comments are not elements -->
    <episode><enclosure url="two"/><title>episode</title></episode>
    <Item><enclosure url="three"/></Item>
    <image><url>http://h/cover.png</url></image>
</channel><channel><item><enclosure url="second channel"/></item></channel></feed>)");
    EXPECT_EQ(feed.channelTitle, "Shown after its first use");
    EXPECT_EQ(Urls(feed), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(feed.items[1].title, "episode");
}

TEST(FeedReader, ChannelTitleWithoutText) {
    struct Case {
        const char* text;
        const char* title;
    };
    for (const Case& c : std::vector<Case>{
             {"<rss><channel><item/></channel></rss>", ""},
             {"<rss><channel><title/></channel></rss>", ""},
             {"<rss><channel><title><!-- c -->T</title></channel></rss>", ""},
             {"<rss><channel><Title>T</Title></channel></rss>", ""},
             {"<rss><channel><image><title>inner</title></image><title>T</title></channel></rss>",
              "T"},
             {"<rss><channel><title>  T  \n  two </title><title>later</title></channel></rss>",
              "T two"},
         }) {
        const FeedDocument feed = ReadFeed(c.text);
        EXPECT_TRUE(feed.wellFormed) << c.text;
        EXPECT_TRUE(feed.hasChannel) << c.text;
        EXPECT_EQ(feed.channelTitle, c.title) << c.text;
    }
}

TEST(FeedReader, MissingChannel) {
    for (const char* text : {"<rss/>", "<rss>just text</rss>", "<rss><!-- c --></rss>",
                             "<?xml version=\"1.0\"?><!-- nothing -->"}) {
        const FeedDocument feed = ReadFeed(text);
        EXPECT_TRUE(feed.wellFormed) << text;
        EXPECT_FALSE(feed.hasChannel) << text;
        EXPECT_EQ(feed.channelTitle, "") << text;
        EXPECT_TRUE(feed.items.empty()) << text;
    }
}

TEST(FeedReader, NotWellFormedTextUsesWhatWasParsed) {
    for (const char* text : {"", "   ", "not xml at all", "<html><body>Error 404</body>",
                             "<rss><channel attr=\"unterminated></channel></rss>"}) {
        const FeedDocument feed = ReadFeed(text);
        EXPECT_FALSE(feed.wellFormed) << text;
        EXPECT_TRUE(feed.items.empty()) << text;
    }
    // A body cut off in the middle still yields what came before the cut.
    const FeedDocument cut = ReadFeed(
        "<rss><channel><title>T</title><item><enclosure url=\"u1\"/></item><item><enclosure "
        "url=\"u2\"/></it");
    EXPECT_FALSE(cut.wellFormed);
    EXPECT_TRUE(cut.hasChannel);
    EXPECT_EQ(cut.channelTitle, "T");
    EXPECT_EQ(Urls(cut), (std::vector<std::string>{"u1", "u2"}));
}

TEST(FeedReader, DeepNestingIsRefusedWithoutParsing) {
    // Deep enough to overflow the stack of a parser that recurses per level.
    const FeedDocument deep =
        ReadFeed("<rss><channel><title>T</title>" + Nested(200000) + "</channel></rss>");
    EXPECT_FALSE(deep.wellFormed);
    EXPECT_FALSE(deep.hasChannel);
    EXPECT_TRUE(deep.items.empty());

    const FeedDocument fine =
        ReadFeed("<rss><channel><title>T</title><item><enclosure url=\"u\"/>" +
                 Nested(kMaxXmlDepth - 3) + "</item></channel></rss>");
    EXPECT_TRUE(fine.wellFormed);
    EXPECT_EQ(Urls(fine), (std::vector<std::string>{"u"}));
}

TEST(FeedReader, NestingDepthScan) {
    struct Case {
        std::string text;
        std::size_t depth; // deepest nesting the scan must find
    };
    const std::vector<Case> cases = {
        {"", 0},
        {"plain text", 0},
        {"<a/>", 0},
        {"<a></a><b></b>", 1},
        {"<a><b><c/></b></a>", 2},
        {"<a><b><c x='1' /></b></a>", 2},
        {"<a b=\"/>\" c='>'><d></d></a>", 2},
        {"<?xml version=\"1.0\"?><!DOCTYPE rss><a><!-- <b><c><d> --><e/></a>", 1},
        {"<a><![CDATA[<b><c><d>]]></a>", 1},
        {"<a>x < y and <1> <>", 1},
        {"<a><b><c", 3},
        {"</a></a></a><b><c></c></b>", 2},
        {"<\xC3\xA4><\xC3\xB6></\xC3\xB6></\xC3\xA4>", 2},
        {"<a>" + Nested(50) + "</a>", 51},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(c.depth == 0 || NestsDeeperThan(c.text, c.depth - 1)) << c.text;
        EXPECT_FALSE(NestsDeeperThan(c.text, c.depth)) << c.text;
    }
    // Many siblings do not add up to depth.
    std::string wide = "<rss><channel>";
    for (int i = 0; i < 20000; ++i)
        wide += "<item><title a=\"x/\">t</title><enclosure url='u'/></item>";
    wide += "</channel></rss>";
    EXPECT_FALSE(NestsDeeperThan(wide, 4));
    EXPECT_TRUE(NestsDeeperThan(wide, 3));
    EXPECT_EQ(ReadFeed(wide).items.size(), 20000u);
}

TEST(FeedReader, TrimWhiteSpace) {
    EXPECT_EQ(TrimWhiteSpace(""), "");
    EXPECT_EQ(TrimWhiteSpace(" \t\r\n\v\f"), "");
    EXPECT_EQ(TrimWhiteSpace(" \ta b\r\n"), "a b");
    EXPECT_EQ(TrimWhiteSpace("\xA0x\xA0"), "\xA0x\xA0"); // only ASCII white space
}

TEST(FeedReader, FileNameFromUrl) {
    struct Case {
        const char* url;
        const char* name;
    };
    for (const Case& c : std::vector<Case>{
             {"http://example.org/show/ep12.mp3", "ep12.mp3"},
             {"http://example.org/show/ep12.mp3?id=7", "ep12.mp3"},
             {"http://example.org/show/ep12.mp3#t=10", "ep12.mp3"},
             {"http://example.org/show/ep12.mp3?a=1#frag", "ep12.mp3"},
             {"http://example.org/feed/", "output"},
             {"http://host", "host"},
             {"", "output"},
             {"no-slash-at-all.mp3", "output"},
             {"http://example.org/a/..", "output"},
             {"http://example.org/a/.", "output"},
             {"http://example.org/a/...", "..."},
             {"http://h/a?x=/y.mp3", "a"},
             {"http://h/a#x/y.mp3", "a"},
             {"http://h/?x=1", "output"},
             {"http://h/dir\\evil.mp3", "dir_evil.mp3"},
             {"http://h/a%2Fb%20c.mp3", "a%2Fb%20c.mp3"},
             {"http://h/tab\there\x7F.mp3", "tab_here_.mp3"},
             {"http://h/caf\xC3\xA9.mp3", "caf\xC3\xA9.mp3"},
             {"http://h/..\\..\\x", ".._.._x"},
         }) {
        EXPECT_EQ(FileNameFromUrl(c.url), c.name) << c.url;
    }
#ifdef _WIN32
    EXPECT_EQ(FileNameFromUrl("http://h/a<b>c:d\"e|f*g"), "a_b_c_d_e_f_g");
#else
    EXPECT_EQ(FileNameFromUrl("http://h/a<b>c:d\"e|f*g"), "a<b>c:d\"e|f*g");
#endif
}

// ---------------------------------------------------------------------------
// Real-world feeds with what another podcast parser extracted from them.

namespace {

// Just enough JSON to read the expectation files: objects, arrays, strings,
// numbers and the three literals.
struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    std::string text;
    std::vector<Json> array;
    std::map<std::string, Json> object;

    const Json* Get(const std::string& key) const {
        auto it = object.find(key);
        return kind == Object && it != object.end() ? &it->second : nullptr;
    }
};

class JsonParser {
public:
    explicit JsonParser(const std::string& text) : text_(text) {}

    bool Parse(Json& out) {
        const bool ok = Value(out);
        Skip();
        return ok && pos_ == text_.size();
    }

private:
    void Skip() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
    }
    bool Eat(char c) {
        Skip();
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    bool Hex4(unsigned& code) {
        if (pos_ + 4 > text_.size())
            return false;
        code = static_cast<unsigned>(std::stoul(text_.substr(pos_, 4), nullptr, 16));
        pos_ += 4;
        return true;
    }
    bool Str(std::string& out) {
        if (!Eat('"'))
            return false;
        while (pos_ < text_.size() && text_[pos_] != '"') {
            char c = text_[pos_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos_ >= text_.size())
                return false;
            c = text_[pos_++];
            switch (c) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u': {
                unsigned code;
                if (!Hex4(code))
                    return false;
                if (code >= 0xD800 && code < 0xDC00 && text_.compare(pos_, 2, "\\u") == 0) {
                    pos_ += 2;
                    unsigned low;
                    if (!Hex4(low))
                        return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                AppendUtf8(out, code);
                break;
            }
            default:
                out += c;
                break;
            }
        }
        return Eat('"');
    }
    bool Value(Json& out) {
        Skip();
        if (pos_ >= text_.size())
            return false;
        const char c = text_[pos_];
        if (c == '{') {
            out.kind = Json::Object;
            ++pos_;
            if (Eat('}'))
                return true;
            do {
                std::string key;
                Skip();
                if (!Str(key) || !Eat(':') || !Value(out.object[key]))
                    return false;
            } while (Eat(','));
            return Eat('}');
        }
        if (c == '[') {
            out.kind = Json::Array;
            ++pos_;
            if (Eat(']'))
                return true;
            do {
                out.array.emplace_back();
                if (!Value(out.array.back()))
                    return false;
            } while (Eat(','));
            return Eat(']');
        }
        if (c == '"') {
            out.kind = Json::String;
            return Str(out.text);
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size() &&
               std::string_view(",]} \t\r\n").find(text_[pos_]) == std::string_view::npos)
            ++pos_;
        out.text = text_.substr(start, pos_ - start);
        if (out.text == "null")
            out.kind = Json::Null;
        else if (out.text == "true" || out.text == "false")
            out.kind = Json::Bool;
        else
            out.kind = Json::Number;
        return !out.text.empty();
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

} // namespace

TEST(FeedReader, PeerFeeds) {
    const std::filesystem::path dir = test::PeerFeedsDir();
    if (dir.empty())
        GTEST_SKIP() << "no peer feeds";

    int files = 0, titlesCompared = 0, urlsCompared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::filesystem::path path = entry.path();
        if (path.extension() != ".rss" && path.extension() != ".xml")
            continue;
        ++files;
        SCOPED_TRACE(path.filename().string());
        const std::string text = test::ReadFile(path);
        const FeedDocument feed = ReadFeed(text);
        for (const FeedItem& item : feed.items)
            EXPECT_EQ(item.enclosureUrl, TrimWhiteSpace(item.enclosureUrl));

        std::filesystem::path expectation = path;
        expectation.replace_extension(".json");
        if (!std::filesystem::exists(expectation))
            continue;
        Json json;
        ASSERT_TRUE(JsonParser(test::ReadFile(expectation)).Parse(json));

        // A feed without a channel title is named after its file there, and an
        // Atom feed has no channel: compare only titles of RSS channels.
        const Json* title = json.Get("title");
        const bool rss = text.find("<channel") != std::string::npos;
        if (rss && !feed.channelTitle.empty() && title != nullptr) {
            EXPECT_EQ(feed.channelTitle, title->text);
            ++titlesCompared;
        }

        // Episodes there are sorted, filtered and resolved by other rules;
        // compare the first enclosure of each item that is found there by its
        // title and whose URL is absolute.
        const Json* episodes = json.Get("episodes");
        if (episodes == nullptr)
            continue;
        for (const FeedItem& item : feed.items) {
            if (item.title.empty() || item.enclosureUrl.find("://") == std::string::npos)
                continue;
            const Json* match = nullptr;
            int matches = 0;
            for (const Json& episode : episodes->array) {
                const Json* episodeTitle = episode.Get("title");
                if (episodeTitle != nullptr && episodeTitle->text == item.title) {
                    match = &episode;
                    ++matches;
                }
            }
            if (matches != 1)
                continue;
            const Json* enclosures = match->Get("enclosures");
            if (enclosures == nullptr || enclosures->array.empty())
                continue;
            const Json* url = enclosures->array.front().Get("url");
            ASSERT_NE(url, nullptr);
            EXPECT_EQ(item.enclosureUrl, url->text) << item.title;
            ++urlsCompared;
        }
    }
    RecordProperty("titlesCompared", titlesCompared);
    RecordProperty("urlsCompared", urlsCompared);
    EXPECT_GT(files, 0);
    EXPECT_GT(titlesCompared, 0);
    EXPECT_GT(urlsCompared, 0);
}
