#pragma once
// The file a download is received into before it takes its final name.
//
// Its name is derived from the target's alone: a leading "." and the suffix
// ".tessarine-part", which no downloaded file is ever named with, so it can
// neither be a finished download nor another target's partial file. Where the
// name would be too long for a folder entry, the target's name is shortened
// and a tag made from the whole of it keeps it distinct.
//
// It is created exclusively: a leftover of a killed run is unlinked first
// (which removes a link, never what it points to), and the new file is
// created only where nothing exists, never through a link. It takes the
// target's name only when the transfer is complete, and never in place of a
// file that exists there.
//
// A transfer that the network cut off may keep its partial file for the next
// attempt to resume. What that attempt needs to know of the resource (its
// validators and whole length, and the URL) is kept beside it in a small
// file with the suffix ".tessarine-resume" (ResumeInfo). Both suffixes are
// reserved names.

#include "core/files/File.h"
#include "core/net/HttpClient.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessarine {

// What resuming a kept partial file relies on: the resource it holds the
// beginning of is the one at `url` whose first reply sent these validators
// (none when it sent none) and announced `total` bytes.
struct ResumeInfo {
    std::string url;
    HttpValidators validators;
    int64_t total = -1;
};

class PartialFile {
public:
    // The partial file's path for the target at `targetPath`.
    static std::string PathFor(const std::string& targetPath);
    // The path of the resume information kept beside it.
    static std::string ResumePathFor(const std::string& targetPath);

    explicit PartialFile(std::string targetPath);
    ~PartialFile(); // closes the file and removes it unless it was committed or discarded
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    const std::string& Path() const { return path_; }

    // Creates the partial file afresh; false when it cannot be created.
    bool Create();
    // Opens a partial file kept by an earlier attempt for appending: only a
    // regular file, never through a link. Its size, or -1 when there is none
    // to open (nothing is changed then).
    int64_t OpenExisting();
    // Appends `bytes`; false when not all of them were written.
    bool Write(std::string_view bytes);

    enum class Commit {
        Done,         // the file now has the target's name
        TargetExists, // something appeared at the target meanwhile: it is kept
        Failed,       // the file could not be completed or renamed
    };
    // Closes the file and gives it the target's name unless something is
    // there (with `replace`, in place of a file that is there). The partial
    // file and its resume information are gone afterwards in every case.
    Commit CommitToTarget(bool replace = false);
    // Closes and removes the partial file and its resume information.
    void Discard();
    // Closes the partial file and leaves it for a later attempt.
    void Keep();

    // The resume information kept beside the partial file: none when it is
    // missing, damaged or no link-free regular file.
    std::optional<ResumeInfo> LoadResumeInfo() const;
    // Writes it atomically; false when it could not be written.
    bool StoreResumeInfo(const ResumeInfo& info) const;
    void ForgetResumeInfo() const;

private:
    bool Close();

    std::string target_;
    std::string path_;
    File file_;
    bool finished_ = true; // not created yet, committed or discarded
};

} // namespace tessarine
