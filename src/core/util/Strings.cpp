#include "core/util/Strings.h"

#include "core/util/System.h"

#include <atomic>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace tessarine {

extern const StringEntry kEnglishStrings[];
extern const StringEntry kGermanStrings[];

namespace {

using Table = std::unordered_map<int, std::string>;

Table BuildTable(const StringEntry* entries) {
    Table table;
    for (const StringEntry* e = entries; e->text != nullptr; ++e)
        table.emplace(e->id, e->text);
    return table;
}

const Table& TableFor(Language language) {
    static const Table english = BuildTable(kEnglishStrings);
    static const Table german = BuildTable(kGermanStrings);
    return language == Language::German ? german : english;
}

std::atomic<Language> currentLanguage{Language::English};

} // namespace

void SetLanguage(Language language) { currentLanguage = language; }
Language CurrentLanguage() { return currentLanguage; }

Language ChooseLanguage(const char* environmentValue, bool systemIsGerman) {
    if (environmentValue != nullptr) {
        if (std::strcmp(environmentValue, "de") == 0)
            return Language::German;
        if (std::strcmp(environmentValue, "en") == 0)
            return Language::English;
    }
    return systemIsGerman ? Language::German : Language::English;
}

const std::string& LoadResString(int id, Language language) {
    static const std::string empty;
    const Table& table = TableFor(language);
    auto it = table.find(id);
    return it == table.end() ? empty : it->second;
}

const std::string& LoadResString(int id) { return LoadResString(id, currentLanguage); }

namespace {

template <typename Iterator>
std::string FormatWith(std::string_view pattern, Iterator next, Iterator end) {
    std::string out;
    out.reserve(pattern.size() + 64);
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (pattern[i + 1] == 's' && next != end) {
                out += *next++;
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

} // namespace

std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args) {
    return FormatWith(pattern, args.begin(), args.end());
}

std::string FormatText(std::string_view pattern, const std::vector<std::string>& args) {
    return FormatWith(pattern, args.begin(), args.end());
}

std::string FormatResNumber(int id, double value) {
    char buffer[128];
    const char* pattern = LoadResString(id).c_str();
    FormatNumberInCLocale(buffer, sizeof buffer, pattern, value);
    return buffer;
}

} // namespace tessarine
