#include "update/FeedReader.h"

#include "subscriptions/XmlText.h"

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


bool IsControl(unsigned char byte) {
    return byte < 32 || byte == 127;
}

} // namespace

std::string TrimWhiteSpace(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsXmlWhiteSpace(text[begin]))
        ++begin;
    while (end > begin && IsXmlWhiteSpace(text[end - 1]))
        --end;
    return std::string(text.substr(begin, end - begin));
}


FeedDocument ReadFeed(const std::string& text) {
    FeedDocument feed;
    if (NestsDeeperThan(text, kMaxXmlDepth))
        return feed;

    TiXmlDocument document;
    std::string padded;
    document.Parse(ParserInput(text, padded), nullptr, TIXML_DEFAULT_ENCODING);
    feed.wellFormed = !document.Error();

    // Whatever tree the parser built is used, also after an error.
    const TiXmlElement* first = document.RootElement();
    const TiXmlElement* channel = first != nullptr ? first->FirstChildElement() : nullptr;
    if (channel == nullptr)
        return feed;
    feed.hasChannel = true;
    // The title becomes the subscription's name and folder: condensed as the
    // settings file gives it back, also where CDATA or character references
    // kept blanks the parser would otherwise condense.
    feed.channelTitle = CondensedText(ChildText(*channel, "title"));

    for (const TiXmlElement* item = channel->FirstChildElement("item"); item != nullptr;
         item = item->NextSiblingElement()) {
        const TiXmlElement* enclosure = item->FirstChildElement("enclosure");
        if (enclosure == nullptr)
            continue; // nothing to download and nothing to record
        FeedItem entry;
        const char* url = enclosure->Attribute("url");
        entry.enclosureUrl = TrimWhiteSpace(url != nullptr ? url : "");
        entry.title = ChildText(*item, "title");
        entry.description = ChildText(*item, "description");
        entry.pubDate = ChildText(*item, "pubDate");
        feed.items.push_back(std::move(entry));
    }
    return feed;
}

std::string FileNameFromUrl(const std::string& url) {
    // Query and fragment are not part of the file's name.
    std::string_view path(url);
    path = path.substr(0, path.find_first_of("?#"));

    const std::size_t slash = path.rfind('/');
    std::string name =
        slash == std::string_view::npos ? std::string() : std::string(path.substr(slash + 1));
    for (char& c : name) {
        const auto byte = static_cast<unsigned char>(c);
        bool replace = c == '\\' || IsControl(byte);
#ifdef _WIN32
        replace = replace || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
                  c == '*';
#endif
        if (replace)
            c = '_';
    }
    if (name.empty() || name == "." || name == "..")
        return "output";
    return name;
}

} // namespace tessarine
