#pragma once
// Helpers for tests: temporary folders, environment overrides, file access.

#include <chrono>
#include <filesystem>
#include <thread>
#include <optional>
#include <string>

namespace tessarine::test {

// Waits until `ready` holds, looking again every millisecond, at most
// `limit`; false on time-out. What a test waits for is an event (a request
// the server saw, a flag a handler set): the limit only ends a broken run.
template <typename Ready>
bool Await(Ready ready, std::chrono::milliseconds limit = std::chrono::minutes(1)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!ready()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

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
