#include "core/util/XmlText.h"



namespace tessarine {

namespace {

// TinyXML takes "<" followed by a letter, "_" or any byte from 127 on as the
// start of an element; anything else is an unknown node running to ">".
bool StartsElementName(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 127 || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || c == '_';
}

// The length of the well-formed UTF-8 sequence at text[i], or 0 when the byte
// there does not start one (stray continuation bytes, overlong forms,
// surrogates, values past U+10FFFF, cut-off sequences).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(i);
    if (lead < 0x80)
        return 1;
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF; // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size() || at(i + 1) < low || at(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (at(i + k) < 0x80 || at(i + k) > 0xBF)
            return 0;
    }
    return length;
}

} // namespace

bool IsXmlWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
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

const char* ParserInput(const std::string& text, std::string& padded) {
    // A lead byte announces at most 4 bytes: from the last 3 positions the
    // step ends at most 3 bytes past the terminating zero.
    constexpr std::size_t kReach = 3;
    const std::size_t tail = text.size() < kReach ? 0 : text.size() - kReach;
    bool lead = false;
    for (std::size_t i = tail; i < text.size(); ++i)
        lead = lead || static_cast<unsigned char>(text[i]) >= 0xC0;
    if (!lead)
        return text.c_str();
    padded.reserve(text.size() + kReach);
    padded.assign(text);
    padded.append(kReach, '\0');
    return padded.c_str();
}

namespace {

// `text` with every byte that begins no UTF-8 sequence replaced by what
// `replace` appends for it; the valid sequences are kept as they are.
template <typename Replace>
std::string ReplacingInvalidUtf8(std::string_view text, Replace replace) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t length = Utf8SequenceLength(text, i); length > 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            replace(out, static_cast<unsigned char>(text[i++]));
        }
    }
    return out;
}

} // namespace

std::string ValidUtf8(std::string_view text) {
    return ReplacingInvalidUtf8(text, [](std::string& out, unsigned char byte) {
        out += static_cast<char>(0xC0 | (byte >> 6));
        out += static_cast<char>(0x80 | (byte & 0x3F));
    });
}

std::string UrlAsValidUtf8(std::string_view url) {
    return ReplacingInvalidUtf8(url, [](std::string& out, unsigned char byte) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        out += '%';
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xF];
    });
}

std::string CondensedText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool blank = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string_view rest = text.substr(i);
        if (out.empty() && (rest.starts_with("\xEF\xBB\xBF") || rest.starts_with("\xEF\xBF\xBE") ||
                            rest.starts_with("\xEF\xBF\xBF"))) {
            i += 2;
            continue;
        }
        if (IsXmlWhiteSpace(text[i])) {
            blank = true;
            continue;
        }
        if (blank && !out.empty())
            out += ' ';
        blank = false;
        out += text[i];
    }
    return out;
}

} // namespace tessarine
