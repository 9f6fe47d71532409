#include "update/FeedReader.h"

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

std::string ChildText(const TiXmlElement& parent, const char* name) {
    return TextOf(parent.FirstChildElement(name));
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// TinyXML takes "<" followed by a letter, "_" or any byte from 127 on as the
// start of an element; anything else is an unknown node running to ">".
bool StartsElementName(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 127 || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || c == '_';
}

bool IsControl(unsigned char byte) {
    return byte < 32 || byte == 127;
}

} // namespace

std::string TrimWhiteSpace(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return std::string(text.substr(begin, end - begin));
}

bool NestsDeeperThan(std::string_view text, std::size_t limit) {
    constexpr auto npos = std::string_view::npos;
    std::size_t depth = 0;
    std::size_t pos = 0;
    while ((pos = text.find('<', pos)) != npos) {
        const std::string_view rest = text.substr(pos);
        std::size_t end;
        if (rest.starts_with("<!--")) {
            end = text.find("-->", pos + 4);
            if (end == npos)
                break;
            pos = end + 3;
        } else if (rest.starts_with("<![CDATA[")) {
            end = text.find("]]>", pos + 9);
            if (end == npos)
                break;
            pos = end + 3;
        } else if (rest.size() > 1 && rest[1] == '/') {
            if (depth > 0)
                --depth;
            end = text.find('>', pos + 2);
            if (end == npos)
                break;
            pos = end + 1;
        } else if (rest.size() > 1 && StartsElementName(rest[1])) {
            // A start tag: find its ">" outside quoted attribute values.
            std::size_t i = pos + 1;
            char quote = 0;
            for (; i < text.size(); ++i) {
                const char c = text[i];
                if (quote != 0) {
                    if (c == quote)
                        quote = 0;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (i >= text.size())
                return depth + 1 > limit; // an unfinished tag still opens an element
            if (text[i - 1] != '/' && ++depth > limit)
                return true;
            pos = i + 1;
        } else {
            // Declarations, processing instructions, DOCTYPE and other unknown nodes.
            end = text.find('>', pos + 1);
            if (end == npos)
                break;
            pos = end + 1;
        }
    }
    return false;
}

FeedDocument ReadFeed(const std::string& text) {
    FeedDocument feed;
    if (NestsDeeperThan(text, kMaxXmlDepth))
        return feed;

    TiXmlDocument document;
    document.Parse(text.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
    feed.wellFormed = !document.Error();

    // Whatever tree the parser built is used, also after an error.
    const TiXmlElement* first = document.RootElement();
    const TiXmlElement* channel = first != nullptr ? first->FirstChildElement() : nullptr;
    if (channel == nullptr)
        return feed;
    feed.hasChannel = true;
    feed.channelTitle = ChildText(*channel, "title");

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
