#include "core/update/PartialFile.h"

#include "core/feeds/EnclosureNames.h"
#include "core/files/BaseDirectory.h"
#include "core/files/File.h"
#include "core/files/FileStore.h"
#include "core/util/Text.h"

#include <utility>
#include <vector>

namespace tessarine {

namespace {

constexpr std::string_view kResumeMagic = "tessarine-resume 1";

// A name beside the target: "." + its name + `suffix`, shortened to fit.
std::string BesideTarget(const std::string& targetPath, std::string_view suffix) {
    const size_t separator = targetPath.find_last_of(kPathSeparator);
    const size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const std::string_view name = std::string_view(targetPath).substr(nameStart);
    std::string partial = targetPath.substr(0, nameStart) + ".";
    if (1 + name.size() + suffix.size() <= kMaxEntryNameBytes) {
        partial.append(name);
    } else {
        std::string tag(1, '-');
        tag += EnclosureNames::Tag(name, 8);
        const size_t room = kMaxEntryNameBytes - 1 - suffix.size() - tag.size();
        // Shortened by the usual rule; the tag made from the whole name
        // keeps apart targets whose names begin alike.
        partial.append(ShortenedName(name, room)).append(tag);
    }
    return partial.append(suffix);
}

} // namespace

std::string PartialFile::PathFor(const std::string& targetPath) {
    return BesideTarget(targetPath, EnclosureNames::kPartialSuffix);
}

std::string PartialFile::ResumePathFor(const std::string& targetPath) {
    return BesideTarget(targetPath, EnclosureNames::kResumeSuffix);
}

PartialFile::PartialFile(std::string targetPath)
    : target_(std::move(targetPath)), path_(PathFor(target_)) {}

PartialFile::~PartialFile() {
    if (!finished_)
        Discard();
}

bool PartialFile::Create() {
    Close();
    finished_ = false;
    // Removing the entry never follows a link; the exclusive creation refuses
    // anything that appears at the path in between.
    RemoveEntry(path_);
    file_ = File::CreateNew(path_, 0666);
    return file_.IsOpen();
}

int64_t PartialFile::OpenExisting() {
    Close();
    File file = File::OpenRegularForAppending(path_);
    bool regular = false;
    int64_t size = -1;
    if (!file.IsOpen() || !file.Status(regular, size) || size < 0)
        return -1;
    file_ = std::move(file);
    finished_ = false;
    return size;
}

bool PartialFile::Write(std::string_view bytes) {
    return file_.WriteAll(bytes);
}

bool PartialFile::Close() {
    return file_.Close();
}

PartialFile::Commit PartialFile::CommitToTarget(bool replace) {
    ForgetResumeInfo(); // a whole file needs none, whatever comes of it
    const bool written = file_.IsOpen() && Close();
    if (!written) {
        Discard();
        return Commit::Failed;
    }
    bool exists = false;
    if (replace ? RenameReplacing(path_, target_) : RenameNoReplace(path_, target_, exists)) {
        finished_ = true;
        return Commit::Done;
    }
    Discard();
    return exists ? Commit::TargetExists : Commit::Failed;
}

void PartialFile::Discard() {
    Close();
    finished_ = true;
    RemoveEntry(path_);
    ForgetResumeInfo();
}

void PartialFile::Keep() {
    Close();
    finished_ = true;
}

std::optional<ResumeInfo> PartialFile::LoadResumeInfo() const {
    // Six short lines: a larger file is none of ours.
    std::string bytes;
    if (ReadRegularFile(ResumePathFor(target_), 65536, bytes, false) != FileRead::Read)
        return std::nullopt;
    // Magic, URL, tag, date, length, each on a line, and an end line: a file
    // cut short by a kill has no end line and is no information.
    std::vector<std::string> lines;
    for (size_t at = 0; at < bytes.size();) {
        const size_t end = bytes.find('\n', at);
        if (end == std::string::npos)
            return std::nullopt;
        lines.push_back(bytes.substr(at, end - at));
        at = end + 1;
    }
    if (lines.size() != 6 || lines[0] != kResumeMagic || lines[5] != "end" || lines[4].empty() ||
        lines[4].size() > 18 || lines[4].find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    ResumeInfo info{lines[1], {lines[2], lines[3]}, std::stoll(lines[4])};
    return info;
}

bool PartialFile::StoreResumeInfo(const ResumeInfo& info) const {
    const auto oneLine = [](const std::string& text) {
        return text.find_first_of("\r\n") == std::string::npos;
    };
    const std::string path = ResumePathFor(target_);
    RemoveEntry(path);
    if (info.total < 0 || !oneLine(info.url) || !oneLine(info.validators.etag) ||
        !oneLine(info.validators.lastModified))
        return false;
    const std::string bytes = std::string(kResumeMagic) + "\n" + info.url + "\n" +
                              info.validators.etag + "\n" + info.validators.lastModified + "\n" +
                              std::to_string(info.total) + "\nend\n";
    // Created exclusively: never written through a link put in its place.
    return WriteNewFile(path, bytes, 0644);
}

void PartialFile::ForgetResumeInfo() const {
    RemoveEntry(ResumePathFor(target_));
}

} // namespace tessarine
