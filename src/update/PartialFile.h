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

#include <string>
#include <string_view>

namespace tessarine {

class PartialFile {
public:
    static constexpr std::string_view kSuffix = ".tessarine-part";

    // The partial file's path for the target at `targetPath`.
    static std::string PathFor(const std::string& targetPath);

    explicit PartialFile(std::string targetPath);
    ~PartialFile(); // closes the file and removes it unless it was committed or discarded
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;

    const std::string& Path() const { return path_; }

    // Creates the partial file afresh; false when it cannot be created.
    bool Create();
    // Appends `bytes`; false when not all of them were written.
    bool Write(std::string_view bytes);

    enum class Commit {
        Done,         // the file now has the target's name
        TargetExists, // something appeared at the target meanwhile: it is kept
        Failed,       // the file could not be completed or renamed
    };
    // Closes the file and gives it the target's name unless something is
    // there. The partial file is gone afterwards in every case.
    Commit CommitToTarget();
    // Closes and removes the partial file.
    void Discard();

private:
    bool Close();

    std::string target_;
    std::string path_;
    int fd_ = -1;
    bool finished_ = true; // not created yet, committed or discarded
};

} // namespace tessarine
