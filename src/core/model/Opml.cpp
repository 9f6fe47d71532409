#include "core/model/Opml.h"

#include "core/net/FeedAddress.h"

#include "core/util/OleDateTime.h"

#include "core/util/Strings.h"
#include "core/util/Text.h"
#include "core/util/XmlText.h"

#include <tinyxml.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

namespace tessarine {

namespace {

void AppendUtf8(std::string& out, uint32_t code) {
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

// windows-1252's characters for 0x80-0x9F; 0 where it has none (the byte
// then stands for the control character of its value).
constexpr uint16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

enum class Encoding { Utf8, Utf16LE, Utf16BE, Windows1252, Latin9 };

uint32_t SingleByteCharacter(unsigned char byte, Encoding encoding) {
    if (encoding == Encoding::Windows1252 && byte >= 0x80 && byte <= 0x9F &&
        kWindows1252High[byte - 0x80] != 0)
        return kWindows1252High[byte - 0x80];
    if (encoding == Encoding::Latin9) {
        switch (byte) {
        case 0xA4:
            return 0x20AC;
        case 0xA6:
            return 0x0160;
        case 0xA8:
            return 0x0161;
        case 0xB4:
            return 0x017D;
        case 0xB8:
            return 0x017E;
        case 0xBC:
            return 0x0152;
        case 0xBD:
            return 0x0153;
        case 0xBE:
            return 0x0178;
        default:
            break;
        }
    }
    return byte;
}

std::string FromUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<uint32_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t code = unit(i);
        if (code >= 0xD800 && code <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD; // a surrogate without its partner
        }
        AppendUtf8(out, code);
    }
    return out;
}

// The value of "encoding" in the XML declaration at the start of `text`,
// lower case; empty when there is no declaration or it names none.
std::string DeclaredEncoding(std::string_view text) {
    text = Trimmed(text, IsXmlWhiteSpace);
    if (!text.starts_with("<?xml"))
        return {};
    text = text.substr(0, text.find("?>"));
    const std::size_t at = text.find("encoding");
    if (at == std::string_view::npos)
        return {};
    std::string_view rest = text.substr(at + 8);
    while (!rest.empty() && IsXmlWhiteSpace(rest.front()))
        rest.remove_prefix(1);
    if (rest.empty() || rest.front() != '=')
        return {};
    rest.remove_prefix(1);
    while (!rest.empty() && IsXmlWhiteSpace(rest.front()))
        rest.remove_prefix(1);
    if (rest.empty() || (rest.front() != '"' && rest.front() != '\''))
        return {};
    const char quote = rest.front();
    rest.remove_prefix(1);
    return LowerAscii(rest.substr(0, rest.find(quote)));
}

Encoding EncodingNamed(const std::string& name) {
    static const char* const kWindows1252Names[] = {
        "iso-8859-1", "iso8859-1",    "iso_8859-1", "latin1",   "latin-1",
        "l1",         "iso-ir-100",   "cp819",      "ibm819",   "us-ascii",
        "ascii",      "windows-1252", "cp1252",     "x-cp1252", "iso_8859-1:1987"};
    static const char* const kLatin9Names[] = {"iso-8859-15", "iso8859-15", "iso_8859-15",
                                               "latin9",      "latin-9",    "l9"};
    for (const char* known : kWindows1252Names) {
        if (name == known)
            return Encoding::Windows1252;
    }
    for (const char* known : kLatin9Names) {
        if (name == known)
            return Encoding::Latin9;
    }
    return Encoding::Utf8;
}

// Appends `value` to `out` as the content of a double-quoted attribute or of
// an element: markup characters and control characters as references, so
// that any reader gives back the same text.
void AppendEscaped(std::string& out, std::string_view value) {
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            if (byte < 32 || byte == 127) {
                char reference[8];
                std::snprintf(reference, sizeof reference, "&#x%02X;", byte);
                out += reference;
            } else {
                out += c;
            }
        }
    }
}

// The value of the attribute `name` (compared without regard to letter case),
// or none.
const char* AttributeNoCase(const TiXmlElement& element, std::string_view name) {
    for (const TiXmlAttribute* a = element.FirstAttribute(); a != nullptr; a = a->Next()) {
        if (LowerAscii(a->Name()) == name)
            return a->Value();
    }
    return nullptr;
}

// The namespace prefixes in scope while walking a document: each prefix's
// URIs, the innermost binding last.
class NamespaceScope {
public:
    // Takes in the bindings `element` declares; Leave drops them again.
    void Enter(const TiXmlElement& element) {
        std::vector<std::string> prefixes;
        for (const TiXmlAttribute* a = element.FirstAttribute(); a != nullptr; a = a->Next()) {
            const std::string_view name = a->Name();
            if (name.starts_with("xmlns:") && name.size() > 6) {
                prefixes.emplace_back(name.substr(6));
                bound_[prefixes.back()].emplace_back(a->Value());
            }
        }
        declared_.push_back(std::move(prefixes));
    }
    void Leave() {
        for (const std::string& prefix : declared_.back()) {
            const auto found = bound_.find(prefix);
            found->second.pop_back();
            if (found->second.empty())
                bound_.erase(found);
        }
        declared_.pop_back();
    }
    // Whether `prefix` is bound to `uri` here.
    bool Binds(std::string_view prefix, std::string_view uri) const {
        const auto found = bound_.find(prefix);
        return found != bound_.end() && found->second.back() == uri;
    }

private:
    std::map<std::string, std::vector<std::string>, std::less<>> bound_;
    std::vector<std::vector<std::string>> declared_; // by open element, outermost first
};

// The attributes of `element` in our namespace, by local name; of two with
// the same local name (through two prefixes) the first.
OpmlSettings SettingAttributes(const TiXmlElement& element, const NamespaceScope& scope) {
    OpmlSettings settings;
    for (const TiXmlAttribute* a = element.FirstAttribute(); a != nullptr; a = a->Next()) {
        const std::string_view name = a->Name();
        const std::size_t colon = name.find(':');
        if (colon == std::string_view::npos || colon + 1 == name.size())
            continue;
        if (scope.Binds(name.substr(0, colon), kOpmlSettingsNamespace))
            settings.emplace(ValidUtf8(name.substr(colon + 1)), ValidUtf8(a->Value()));
    }
    return settings;
}

// Whether `key` can be written as the local part of an attribute name.
bool IsAttributeName(std::string_view key) {
    if (key.empty() || !((key[0] >= 'a' && key[0] <= 'z') || (key[0] >= 'A' && key[0] <= 'Z')))
        return false;
    for (char c : key) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_' || c == '.'))
            return false;
    }
    return true;
}

long long SecondsAsIfUtc(const std::tm& fields) {
    return DaysFromCivil(fields.tm_year + 1900LL, static_cast<unsigned>(fields.tm_mon + 1),
                         static_cast<unsigned>(fields.tm_mday)) *
               86400 +
           fields.tm_hour * 3600LL + fields.tm_min * 60LL + fields.tm_sec;
}

} // namespace

std::string OpmlTextAsUtf8(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return ValidUtf8(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE"))
        return FromUtf16(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF"))
        return FromUtf16(bytes.substr(2), true);
    // UTF-16 without a byte order mark, recognised by its first "<".
    if (bytes.starts_with(std::string_view("<\0", 2)))
        return FromUtf16(bytes, false);
    if (bytes.starts_with(std::string_view("\0<", 2)))
        return FromUtf16(bytes, true);

    const Encoding encoding = EncodingNamed(DeclaredEncoding(bytes));
    if (encoding == Encoding::Utf8)
        return ValidUtf8(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes)
        AppendUtf8(out, SingleByteCharacter(static_cast<unsigned char>(c), encoding));
    return out;
}

std::optional<std::vector<OpmlFeed>> ReadOpml(std::string_view bytes) {
    std::string text = OpmlTextAsUtf8(bytes);
    // As the parser sees a file: up to the first zero byte.
    if (const std::size_t zero = text.find('\0'); zero != std::string::npos)
        text.resize(zero);
    if (NestsDeeperThan(text, kMaxXmlDepth))
        return std::nullopt;
    TiXmlDocument document;
    std::string padded;
    // The text is UTF-8 now, whatever its declaration still names.
    document.Parse(ParserInput(text, padded), nullptr, TIXML_ENCODING_UTF8);
    const TiXmlElement* root = document.RootElement();
    if (document.Error() || root == nullptr || LowerAscii(root->Value()) != "opml")
        return std::nullopt;

    std::vector<OpmlFeed> feeds;
    NamespaceScope scope;
    scope.Enter(*root);
    // Depth first in document order, without recursion.
    std::vector<const TiXmlElement*> path;
    const TiXmlElement* element = root->FirstChildElement();
    while (element != nullptr) {
        scope.Enter(*element);
        if (std::string_view(element->Value()) == "outline") {
            if (const char* url = AttributeNoCase(*element, "xmlurl")) {
                OpmlFeed feed;
                feed.url = ValidUtf8(Trimmed(url, IsXmlWhiteSpace));
                const char* title = AttributeNoCase(*element, "text");
                if (title == nullptr || Trimmed(title, IsXmlWhiteSpace).empty())
                    title = AttributeNoCase(*element, "title");
                if (title != nullptr)
                    feed.title = CondensedText(ValidUtf8(title));
                feed.settings = SettingAttributes(*element, scope);
                feeds.push_back(std::move(feed));
            }
        }
        if (const TiXmlElement* child = element->FirstChildElement()) {
            path.push_back(element);
            element = child;
            continue;
        }
        scope.Leave();
        element = element->NextSiblingElement();
        while (element == nullptr && !path.empty()) {
            scope.Leave();
            element = path.back()->NextSiblingElement();
            path.pop_back();
        }
    }
    return feeds;
}

OpmlImportCounts AddOpmlFeeds(SubscriptionList& list, const std::vector<OpmlFeed>& feeds) {
    OpmlImportCounts counts;
    for (const OpmlFeed& feed : feeds) {
        const std::optional<std::string> url = FeedAddress(feed.url);
        if (!url) {
            ++counts.skipped;
            continue;
        }
        if (list.AppendNew(*url, ""))
            ++counts.added;
        else
            ++counts.present;
    }
    return counts;
}

std::string OpmlOutlineText(const Subscription& subscription) {
    const std::string& name = subscription.name;
    if (name.empty() || name == LoadResString(IDS_NEW_PODCAST, Language::English) ||
        name == LoadResString(IDS_NEW_PODCAST, Language::German))
        return subscription.url;
    return name;
}

std::string SerializeOpml(const SubscriptionList& list, std::string_view title, std::time_t created,
                          const OpmlSettingsOf& settingsOf) {
    const auto& items = list.Items();
    std::vector<OpmlSettings> settings(items.size());
    bool anySettings = false;
    if (settingsOf) {
        for (std::size_t i = 0; i < items.size(); ++i) {
            for (auto& [key, value] : settingsOf(items[i]->url)) {
                if (IsAttributeName(key))
                    settings[i].emplace(key, std::move(value));
            }
            anySettings = anySettings || !settings[i].empty();
        }
    }
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\"";
    if (anySettings) {
        out += " xmlns:";
        out += kOpmlSettingsPrefix;
        out += "=\"";
        out += kOpmlSettingsNamespace;
        out += '"';
    }
    out += ">\n  <head>\n    <title>";
    AppendEscaped(out, ValidUtf8(title));
    out += "</title>\n    <dateCreated>" + Rfc822Date(created) +
           "</dateCreated>\n  </head>\n"
           "  <body>\n";
    for (std::size_t i = 0; i < items.size(); ++i) {
        const Subscription* s = items[i].get();
        const std::string text = ValidUtf8(OpmlOutlineText(*s));
        out += "    <outline type=\"rss\" text=\"";
        AppendEscaped(out, text);
        out += "\" title=\"";
        AppendEscaped(out, text);
        out += "\" xmlUrl=\"";
        AppendEscaped(out, ValidUtf8(s->url));
        out += '"';
        for (const auto& [key, value] : settings[i]) {
            out += ' ';
            out += kOpmlSettingsPrefix;
            out += ':';
            out += key;
            out += "=\"";
            AppendEscaped(out, ValidUtf8(value));
            out += '"';
        }
        out += "/>\n";
    }
    out += "  </body>\n</opml>\n";
    return out;
}

std::string Rfc822Date(std::time_t t) {
    std::tm local{};
    std::tm utc{};
    LocalTime(t, local);
    UtcTime(t, utc);
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const long long offset = (SecondsAsIfUtc(local) - SecondsAsIfUtc(utc)) / 60;
    const long long magnitude = offset < 0 ? -offset : offset;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d %c%02lld%02lld",
                  kDays[local.tm_wday % 7], local.tm_mday, kMonths[local.tm_mon % 12],
                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                  offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return buffer;
}

} // namespace tessarine
