#pragma once
// Helpers for tests: temporary folders, environment overrides, file access.

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tessarine::test {

// A flag that one thread sets and others wait for.
class Signal {
public:
    void Set();
    bool IsSet() const;
    // Waits until the flag is set; false when `limit` passes first (which only
    // ends a broken run: what a test waits for is the event itself).
    bool Wait(std::chrono::milliseconds limit = std::chrono::minutes(1)) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable set_;
    bool isSet_ = false;
};

// Changes below a folder as the kernel tells them (inotify): in the folder and
// in every folder made below it while watched.
class FolderWatch {
public:
    explicit FolderWatch(const std::filesystem::path& folder);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Waits until `ready` holds, asking it again after every change below the
    // folder and whenever `alsoWake` (a descriptor such as a process's pidfd,
    // or -1) is readable; false when `limit` passes first.
    bool Until(const std::function<bool()>& ready,
               std::chrono::milliseconds limit = std::chrono::minutes(1), int alsoWake = -1);

private:
    void WatchTree(const std::filesystem::path& folder);
    const int fd_;
    std::map<int, std::filesystem::path> folders_;
};

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The path with a trailing separator, as a base directory is stored.
    std::string Base() const;
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Sets (or, with nullopt, unsets) an environment variable for the object's life.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// The XDG_CACHE_HOME every test program sets for itself (and the programs it
// starts) when it begins, so that nothing lands in the user's cache folder.
const std::filesystem::path& TestCacheHome();

// The folder of shared real-world feed documents, or empty when absent.
std::filesystem::path PeerFeedsDir();

// What may stand where the program expects a file of its own: a FIFO (which
// would block a reader), a folder, a symbolic link to a file elsewhere, and
// a sparse file of 3 GiB (made by truncation, taking no disk space).
enum class SpecialFile { Fifo, Folder, LinkOutside, Sparse };
inline constexpr SpecialFile kSpecialFiles[] = {SpecialFile::Fifo, SpecialFile::Folder,
                                                SpecialFile::LinkOutside, SpecialFile::Sparse};
const char* NameOf(SpecialFile kind);
// Puts `kind` at `at` (whose folder must exist); the link leads to `outside`,
// which is made holding "outside".
void MakeSpecialFile(SpecialFile kind, const std::filesystem::path& at,
                     const std::filesystem::path& outside);
// Whether `at` (and `outside`) are still as MakeSpecialFile left them.
bool SpecialFileIntact(SpecialFile kind, const std::filesystem::path& at,
                       const std::filesystem::path& outside);

} // namespace tessarine::test
