#include "core/update/StalePartials.h"

#include "core/feeds/EnclosureNames.h"
#include "core/files/BaseDirectory.h"
#include "core/update/PartialFile.h"
#include "core/util/Text.h"

#include <filesystem>
#include <optional>

namespace tessarine {

StalePartials::StalePartials(const SharedModel& model, std::string base, std::string folder)
    : model_(model), base_(std::move(base)), folder_(std::move(folder)) {}

void StalePartials::Remove(const std::unordered_set<std::string>& listed,
                           const std::vector<std::string>& fileNames) const {
    if (FeedFolderName(folder_).empty())
        return;
    std::vector<std::string> found;
    for (const std::string& entry : listed)
        if (EnclosureNames::IsPartialName(entry))
            found.push_back(entry);
    if (found.empty())
        return;
    // Kept are those of this feed's enclosures and of every entry queued
    // into the same folder (another subscription may share the name).
    std::unordered_set<std::string> kept;
    for (const std::string& fileName : fileNames)
        if (!fileName.empty())
            Keep(kept, fileName);
    const std::string folderName = FeedFolderName(folder_);
    for (size_t row = 0;; ++row) {
        const std::optional<DownloadEntry> entry = model_.DownloadAt(static_cast<long long>(row));
        if (!entry)
            break;
        if (SameNameIgnoringCase(FeedFolderName(entry->folder), folderName))
            Keep(kept, entry->fileName);
    }
    const std::string folderPath = FeedFolderPath(base_, folder_);
    std::error_code error;
    for (const std::string& entry : found)
        if (!kept.contains(entry))
            std::filesystem::remove(std::filesystem::path(folderPath) / entry, error);
}

void StalePartials::Keep(std::unordered_set<std::string>& kept, const std::string& fileName) const {
    const std::string target = FeedFilePath(base_, folder_, fileName);
    kept.insert(std::filesystem::path(PartialFile::PathFor(target)).filename().string());
    kept.insert(std::filesystem::path(PartialFile::ResumePathFor(target)).filename().string());
}

} // namespace tessarine
