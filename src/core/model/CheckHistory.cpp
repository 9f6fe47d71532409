#include "core/model/CheckHistory.h"

#include "core/feeds/FeedCache.h"
#include "core/files/FileStore.h"
#include "core/model/Subscription.h"
#include "core/util/Fnv1a.h"

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace tessarine {
namespace {

constexpr std::string_view kMagic = "tessarine checks 1\n";
constexpr std::string_view kBaseKey = "base\t";
// A line per feed: one larger than this is no record of ours.
constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

bool Recordable(int32_t status) {
    return status == NewItemsFound || status == NoNewItems || status == Error;
}

// The base directory as one spelling: absolute, without "." or ".." and
// without a trailing separator.
std::string NormalBase(const std::string& base) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(base.empty() ? "." : base, error);
    if (error)
        path = base;
    std::string text = path.lexically_normal().string();
    while (text.size() > 1 && (text.back() == '/' || text.back() == '\\'))
        text.pop_back();
    return text;
}

} // namespace

std::string CheckHistory::DefaultDirectory() {
    const std::filesystem::path feeds = FeedCache::DefaultDirectory();
    if (feeds.empty())
        return {};
    return (feeds.parent_path() / "checks").string();
}

std::string CheckHistory::FileFor(const std::string& directory, const std::string& base) {
    if (directory.empty())
        return {};
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.checks",
                  static_cast<unsigned long long>(Fnv1a(NormalBase(base))));
    return (std::filesystem::path(directory) / name).string();
}

void CheckHistory::Load(const std::string& directory, const std::string& base) {
    path_ = FileFor(directory, base);
    base_ = NormalBase(base);
    statuses_.clear();
    changed_ = false;
    std::string bytes;
    if (path_.empty() || ReadRegularFile(path_, kMaxFileBytes, bytes, false) != FileRead::Read)
        return;
    // The magic line, the base directory, then one "status TAB url" line per
    // feed. A file of another base (whose name hashes alike) is none of ours.
    const std::string header = std::string(kMagic) + std::string(kBaseKey) + base_ + "\n";
    if (bytes.compare(0, header.size(), header) != 0)
        return;
    size_t at = header.size();
    while (at < bytes.size()) {
        size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            break; // a line cut short is not taken
        const std::string_view line(bytes.data() + at, end - at);
        at = end + 1;
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos || tab == 0 || tab > 4)
            continue;
        int32_t status = 0;
        for (const char c : line.substr(0, tab)) {
            if (c < '0' || c > '9') {
                status = -1;
                break;
            }
            status = status * 10 + (c - '0');
        }
        if (Recordable(status))
            statuses_[std::string(line.substr(tab + 1))] = status;
    }
}

int32_t CheckHistory::StatusOf(const std::string& url) const {
    const auto found = statuses_.find(url);
    return found == statuses_.end() ? Idle : found->second;
}

void CheckHistory::Record(const std::string& url, int32_t status) {
    // A URL with a line break cannot be written as a line of its own.
    if (!Recordable(status) || url.find_first_of("\r\n") != std::string::npos)
        return;
    int32_t& stored = statuses_[url];
    changed_ = changed_ || stored != status;
    stored = status;
}

std::string CheckHistory::Take(const std::vector<std::string>& listed) {
    std::string bytes = std::string(kMagic) + std::string(kBaseKey) + base_ + "\n";
    for (const std::string& url : listed) {
        const int32_t status = StatusOf(url);
        if (status != Idle)
            bytes += std::to_string(status) + "\t" + url + "\n";
    }
    changed_ = false;
    return bytes;
}

} // namespace tessarine
