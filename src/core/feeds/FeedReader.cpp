#include "core/feeds/FeedReader.h"

#include "core/util/Text.h"
#include "core/util/XmlText.h"

#include <tinyxml.h>

namespace tessarine {

namespace {

// The text of an element as TinyXML gives it: its first child when that is a
// text node; empty when there is no such text or no element at all.
std::string TextOf(const TiXmlElement* element) {
    if (element == nullptr)
        return {};
    const char* text = element->GetText();
    return text != nullptr ? std::string(text) : std::string();
}

// The texts that become names and archive entries are made valid UTF-8: a
// feed in Latin-1, or with stray bytes, must not leave bytes in a name that
// would break the settings file it is saved in.
std::string ChildText(const TiXmlElement& parent, const char* name) {
    return ValidUtf8(TextOf(parent.FirstChildElement(name)));
}

} // namespace

std::string TrimWhiteSpace(std::string_view text) {
    return std::string(Trimmed(text, IsXmlWhiteSpace));
}

int64_t ParseDuration(std::string_view text) {
    std::string_view rest = Trimmed(text, IsXmlWhiteSpace);
    // A fraction of the last part ("1834.5", "12:03.250") is dropped.
    if (const size_t dot = rest.find('.'); dot != std::string_view::npos) {
        const std::string_view fraction = rest.substr(dot + 1);
        if (fraction.empty() || fraction.find_first_not_of("0123456789") != std::string_view::npos)
            return -1;
        rest = rest.substr(0, dot);
    }
    int64_t parts[3] = {0, 0, 0};
    int count = 0;
    while (true) {
        const size_t colon = rest.find(':');
        const std::string_view part = rest.substr(0, colon);
        // At most 9 digits a part: no overflow, and no running time is longer.
        if (count == 3 || part.empty() || part.size() > 9 ||
            part.find_first_not_of("0123456789") != std::string_view::npos)
            return -1;
        parts[count++] = ParseDecimal(part);
        if (colon == std::string_view::npos)
            break;
        rest = rest.substr(colon + 1);
    }
    int64_t seconds = 0;
    for (int i = 0; i < count; ++i) {
        // The first part may be any size ("90:00" is ninety minutes); the
        // ones after a colon are minutes and seconds of the one before.
        if (i > 0 && parts[i] >= 60)
            return -1;
        seconds = seconds * 60 + parts[i];
    }
    return seconds > 0 ? seconds : -1;
}

namespace {

constexpr const char* kAtomNamespace = "http://www.w3.org/2005/Atom";

// An enclosure's announced length: digits alone (blanks around them allowed);
// feeds write 0 or leave it out when they do not know it.
int64_t AnnouncedLength(const char* attribute) {
    if (attribute == nullptr)
        return -1;
    const int64_t value = ParseDecimal(TrimWhiteSpace(attribute));
    return value > 0 ? value : -1;
}

// The part of an element name after its namespace prefix.
std::string_view LocalName(const TiXmlElement& element) {
    std::string_view name(element.Value());
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The prefix of an element name with its colon ("atom:"), or empty.
std::string PrefixOf(const TiXmlElement& element) {
    std::string_view name(element.Value());
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon + 1));
}

// Whether the root is the "feed" element of Atom 1.0: its own name's
// namespace, declared on it, is Atom's.
bool IsAtomRoot(const TiXmlElement& root) {
    if (LocalName(root) != "feed")
        return false;
    const std::string prefix = PrefixOf(root);
    const std::string attribute =
        prefix.empty() ? std::string("xmlns") : "xmlns:" + prefix.substr(0, prefix.size() - 1);
    const char* ns = root.Attribute(attribute.c_str());
    return ns != nullptr && TrimWhiteSpace(ns) == kAtomNamespace;
}

// The namespace `prefix` (without its colon; empty for the default
// namespace) is bound to at `element`: the nearest declaration on it or on an
// element around it; null when there is none.
const char* BoundNamespace(const TiXmlElement& element, const std::string& prefix) {
    const std::string attribute = prefix.empty() ? std::string("xmlns") : "xmlns:" + prefix;
    for (const TiXmlNode* node = &element; node != nullptr; node = node->Parent()) {
        const TiXmlElement* around = node->ToElement();
        if (around == nullptr)
            break;
        if (const char* ns = around->Attribute(attribute.c_str()))
            return ns;
    }
    return nullptr;
}

// Whether `element` is `local` of the vocabulary `ns`, by whatever prefix,
// or by the vocabulary's usual prefix bound to nothing.
bool IsNamed(const TiXmlElement& element, std::string_view local, std::string_view ns,
             std::string_view usualPrefix) {
    if (LocalName(element) != local)
        return false;
    std::string prefix = PrefixOf(element);
    if (!prefix.empty())
        prefix.pop_back(); // the colon
    const char* bound = BoundNamespace(element, prefix);
    return bound == nullptr ? prefix == usualPrefix : TrimWhiteSpace(bound) == ns;
}

constexpr std::string_view kItunesNamespace = "http://www.itunes.com/dtds/podcast-1.0.dtd";
constexpr std::string_view kMediaNamespace = "http://search.yahoo.com/mrss/";

// The first child of `item` that is `local` of the podcast directory's
// vocabulary, or null.
const TiXmlElement* ItunesChild(const TiXmlElement& item, std::string_view local) {
    for (const TiXmlElement* child = item.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement())
        if (IsNamed(*child, local, kItunesNamespace, "itunes"))
            return child;
    return nullptr;
}

// The trimmed "url" of a Media RSS "content" that is audio or video by its
// MIME type or its "medium"; empty for anything else (a cover picture).
std::string PlayableUrl(const TiXmlElement& content) {
    const char* type = content.Attribute("type");
    const char* medium = content.Attribute("medium");
    const std::string kind = TrimWhiteSpace(type != nullptr ? type : "");
    const std::string how = LowerAscii(TrimWhiteSpace(medium != nullptr ? medium : ""));
    const bool playable = StartsWithIgnoringCase(kind, "audio/") ||
                          StartsWithIgnoringCase(kind, "video/") || how == "audio" ||
                          how == "video";
    const char* url = content.Attribute("url");
    return playable && url != nullptr ? TrimWhiteSpace(url) : std::string();
}

// Whether an enclosure's MIME type names audio or video.
bool PlayableType(const char* type) {
    const std::string kind = TrimWhiteSpace(type != nullptr ? type : "");
    return StartsWithIgnoringCase(kind, "audio/") || StartsWithIgnoringCase(kind, "video/");
}

// Of the elements named `name` among the children of `parent` that `take`
// accepts, the first whose "type" is audio or video, else the first.
template <typename Accept>
const TiXmlElement* EpisodeEnclosure(const TiXmlElement& parent, const std::string& name,
                                     Accept take) {
    const TiXmlElement* first = nullptr;
    for (const TiXmlElement* e = parent.FirstChildElement(name.c_str()); e != nullptr;
         e = e->NextSiblingElement(name.c_str())) {
        if (!take(*e))
            continue;
        if (PlayableType(e->Attribute("type")))
            return e;
        if (first == nullptr)
            first = e;
    }
    return first;
}

// An item's first playable Media RSS "content", alone or in a "group", in
// document order; empty when there is none.
std::string MediaUrl(const TiXmlElement& item) {
    const auto isContent = [](const TiXmlElement& e) {
        return IsNamed(e, "content", kMediaNamespace, "media");
    };
    for (const TiXmlElement* child = item.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        if (isContent(*child)) {
            if (std::string url = PlayableUrl(*child); !url.empty())
                return url;
        } else if (IsNamed(*child, "group", kMediaNamespace, "media")) {
            for (const TiXmlElement* member = child->FirstChildElement(); member != nullptr;
                 member = member->NextSiblingElement())
                if (isContent(*member))
                    if (std::string url = PlayableUrl(*member); !url.empty())
                        return url;
        }
    }
    return {};
}

// An address as a feed names it: trimmed, an http or https URL with
// something after the scheme, else empty.
std::string WebAddress(std::string_view text) {
    const std::string url = TrimWhiteSpace(text);
    for (const std::string_view scheme : {"http://", "https://"})
        if (url.size() > scheme.size() && StartsWithIgnoringCase(url, scheme))
            return UrlAsValidUtf8(url);
    return {};
}

// A moved feed's new address as named in the document's `element`.
std::string WebAddress(const TiXmlElement* element) { return WebAddress(TextOf(element)); }

// The first usable "href" of an Atom "link" of rel "self" among the
// children of `parent` (the RSS channel, or the Atom feed itself).
std::string SelfAddress(const TiXmlElement& parent) {
    for (const TiXmlElement* child = parent.FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
        const char* rel = child->Attribute("rel");
        const char* href = child->Attribute("href");
        if (rel != nullptr && href != nullptr && LowerAscii(TrimWhiteSpace(rel)) == "self" &&
            IsNamed(*child, "link", kAtomNamespace, "atom"))
            if (std::string url = WebAddress(href); !url.empty())
                return url;
    }
    return {};
}

// Where the podcast says it moved: the channel's "new-feed-url", else a
// "redirect/newLocation" in the channel or beside it, else the document's
// own root when it is that "redirect" notice. The first usable one counts.
std::string MovedTo(const TiXmlElement& root, const TiXmlElement* channel) {
    if (channel != nullptr)
        for (const TiXmlElement* child = channel->FirstChildElement(); child != nullptr;
             child = child->NextSiblingElement())
            if (IsNamed(*child, "new-feed-url", kItunesNamespace, "itunes"))
                if (std::string url = WebAddress(child); !url.empty())
                    return url;
    const TiXmlElement* notices[] = {
        channel != nullptr ? channel->FirstChildElement("redirect") : nullptr,
        channel != &root ? root.FirstChildElement("redirect") : nullptr,
        LocalName(root) == "redirect" ? &root : nullptr};
    for (const TiXmlElement* notice : notices)
        if (notice != nullptr)
            if (std::string url = WebAddress(notice->FirstChildElement("newLocation"));
                !url.empty())
                return url;
    return {};
}

void ReadRss(const TiXmlElement& root, const TiXmlElement& channel, bool rdf, FeedDocument& feed) {
    const TiXmlElement* item = channel.FirstChildElement("item");
    if (item == nullptr && rdf)
        item = root.FirstChildElement("item");
    for (; item != nullptr; item = item->NextSiblingElement()) {
        // Of several enclosures (a transcript, a cover beside the episode),
        // the first audio or video one is the episode.
        const TiXmlElement* enclosure =
            EpisodeEnclosure(*item, "enclosure", [](const TiXmlElement&) { return true; });
        FeedItem entry;
        if (enclosure != nullptr) {
            const char* url = enclosure->Attribute("url");
            entry.enclosureUrl = TrimWhiteSpace(url != nullptr ? url : "");
            entry.enclosureLength = AnnouncedLength(enclosure->Attribute("length"));
        } else if ((entry.mediaUrl = MediaUrl(*item)).empty()) {
            continue; // nothing to download and nothing to record
        }
        entry.title = ChildText(*item, "title");
        entry.description = ChildText(*item, "description");
        entry.pubDate = ChildText(*item, "pubDate");
        entry.guid = TrimWhiteSpace(ChildText(*item, "guid"));
        if (const TiXmlElement* duration = ItunesChild(*item, "duration"))
            entry.duration = ParseDuration(TextOf(duration));
        (enclosure != nullptr ? feed.items : feed.mediaItems).push_back(std::move(entry));
    }
}

void ReadAtom(const TiXmlElement& root, FeedDocument& feed) {
    const std::string prefix = PrefixOf(root);
    const auto name = [&](const char* local) { return prefix + local; };
    // The first non-empty text among the named children.
    const auto firstText = [&](const TiXmlElement& parent, const char* a, const char* b) {
        std::string text = ChildText(parent, name(a).c_str());
        return text.empty() ? ChildText(parent, name(b).c_str()) : text;
    };
    for (const TiXmlElement* entry = root.FirstChildElement(name("entry").c_str());
         entry != nullptr; entry = entry->NextSiblingElement(name("entry").c_str())) {
        const TiXmlElement* link =
            EpisodeEnclosure(*entry, name("link"), [](const TiXmlElement& l) {
                const char* rel = l.Attribute("rel");
                return rel != nullptr && TrimWhiteSpace(rel) == "enclosure" &&
                       l.Attribute("href") != nullptr;
            });
        const char* href = link != nullptr ? link->Attribute("href") : nullptr;
        const char* length = link != nullptr ? link->Attribute("length") : nullptr;
        FeedItem item;
        if (href != nullptr) {
            item.enclosureUrl = TrimWhiteSpace(href);
            item.enclosureLength = AnnouncedLength(length);
        } else if ((item.mediaUrl = MediaUrl(*entry)).empty()) {
            continue;
        }
        item.title = ChildText(*entry, name("title").c_str());
        item.description = firstText(*entry, "summary", "content");
        item.pubDate = firstText(*entry, "published", "updated");
        item.guid = TrimWhiteSpace(ChildText(*entry, name("id").c_str()));
        if (const TiXmlElement* duration = ItunesChild(*entry, "duration"))
            item.duration = ParseDuration(TextOf(duration));
        (href != nullptr ? feed.items : feed.mediaItems).push_back(std::move(item));
    }
}

} // namespace

FeedDocument ReadFeed(const std::string& text) {
    FeedDocument feed;
    if (NestsDeeperThan(text, kMaxXmlDepth))
        return feed;

    TiXmlDocument document;
    std::string padded;
    document.Parse(ParserInput(text, padded), nullptr, TIXML_DEFAULT_ENCODING);
    feed.wellFormed = !document.Error();

    // Whatever tree the parser built is used, also after an error.
    const TiXmlElement* root = document.RootElement();
    if (root == nullptr)
        return feed;
    const TiXmlElement* titled = nullptr; // the element whose "title" names the feed
    std::string titleName = "title";
    if (IsAtomRoot(*root)) {
        feed.atom = true;
        titled = root;
        titleName = PrefixOf(*root) + "title";
        ReadAtom(*root, feed);
        feed.newFeedUrl = MovedTo(*root, root);
    } else {
        const std::string_view local = LocalName(*root);
        const bool rdf = local == "RDF";
        const TiXmlElement* channel =
            (local == "rss" || rdf) ? root->FirstChildElement("channel") : nullptr;
        if (local == "rss" || rdf || local == "redirect")
            feed.newFeedUrl = MovedTo(*root, channel);
        if (channel == nullptr)
            return feed;
        titled = channel;
        ReadRss(*root, *channel, rdf, feed);
    }
    feed.hasChannel = true;
    // The title becomes the subscription's name and folder: condensed as the
    // settings file gives it back, also where CDATA or character references
    // kept blanks the parser would otherwise condense.
    feed.channelTitle = CondensedText(ChildText(*titled, titleName.c_str()));
    return feed;
}

std::string FeedSelfUrl(const std::string& text) {
    if (NestsDeeperThan(text, kMaxXmlDepth))
        return {};
    TiXmlDocument document;
    std::string padded;
    document.Parse(ParserInput(text, padded), nullptr, TIXML_DEFAULT_ENCODING);
    const TiXmlElement* root = document.RootElement();
    if (root == nullptr)
        return {};
    if (IsAtomRoot(*root))
        return SelfAddress(*root);
    const std::string_view local = LocalName(*root);
    const TiXmlElement* channel =
        (local == "rss" || local == "RDF") ? root->FirstChildElement("channel") : nullptr;
    return channel != nullptr ? SelfAddress(*channel) : std::string();
}

} // namespace tessarine
