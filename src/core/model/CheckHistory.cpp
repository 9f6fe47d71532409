#include "core/model/CheckHistory.h"

#include "core/files/BaseDirectory.h"
#include "core/files/FileStore.h"
#include "core/model/Subscription.h"

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

} // namespace

std::string CheckHistory::FileFor(const std::string& directory, const std::string& base) {
    if (directory.empty())
        return {};
    return (std::filesystem::path(directory) / BaseDirectoryPath(base).CheckRecordFileName())
        .string();
}

void CheckHistory::Load(const std::string& directory, const std::string& base) {
    path_ = FileFor(directory, base);
    base_ = BaseDirectoryPath(base).AbsoluteText();
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

void CheckHistory::Adopt(std::unordered_map<std::string, int32_t> statuses, bool detach) {
    statuses_ = std::move(statuses);
    if (detach)
        path_.clear();
    changed_ = false;
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
