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

void ReadRss(const TiXmlElement& root, const TiXmlElement& channel, bool rdf, FeedDocument& feed) {
    const TiXmlElement* item = channel.FirstChildElement("item");
    if (item == nullptr && rdf)
        item = root.FirstChildElement("item");
    for (; item != nullptr; item = item->NextSiblingElement()) {
        const TiXmlElement* enclosure = item->FirstChildElement("enclosure");
        if (enclosure == nullptr)
            continue; // nothing to download and nothing to record
        FeedItem entry;
        const char* url = enclosure->Attribute("url");
        entry.enclosureUrl = TrimWhiteSpace(url != nullptr ? url : "");
        entry.enclosureLength = AnnouncedLength(enclosure->Attribute("length"));
        entry.title = ChildText(*item, "title");
        entry.description = ChildText(*item, "description");
        entry.pubDate = ChildText(*item, "pubDate");
        feed.items.push_back(std::move(entry));
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
        const char* href = nullptr;
        const char* length = nullptr;
        for (const TiXmlElement* link = entry->FirstChildElement(name("link").c_str());
             link != nullptr && href == nullptr;
             link = link->NextSiblingElement(name("link").c_str())) {
            const char* rel = link->Attribute("rel");
            if (rel != nullptr && TrimWhiteSpace(rel) == "enclosure") {
                href = link->Attribute("href");
                length = link->Attribute("length");
            }
        }
        if (href == nullptr)
            continue;
        FeedItem item;
        item.enclosureUrl = TrimWhiteSpace(href);
        item.enclosureLength = AnnouncedLength(length);
        item.title = ChildText(*entry, name("title").c_str());
        item.description = firstText(*entry, "summary", "content");
        item.pubDate = firstText(*entry, "published", "updated");
        feed.items.push_back(std::move(item));
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
    } else {
        const std::string_view local = LocalName(*root);
        const bool rdf = local == "RDF";
        const TiXmlElement* channel =
            (local == "rss" || rdf) ? root->FirstChildElement("channel") : nullptr;
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

} // namespace tessarine
