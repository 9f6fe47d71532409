#include "FuzzTarget.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace tessarine::fuzz {

namespace {

std::string MakeScratchFolder() {
    // Every run writes and renames files: in memory where the system has a
    // file system there, which keeps the rate of runs up.
    std::error_code error;
    const std::filesystem::path parent = std::filesystem::is_directory("/dev/shm", error) &&
                                                 access("/dev/shm", W_OK) == 0
                                             ? std::filesystem::path("/dev/shm")
                                             : std::filesystem::temp_directory_path();
    std::string pattern = (parent / "tessarine-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a scratch folder");
    static const std::string made = pattern;
    std::atexit([] {
        std::error_code error;
        std::filesystem::remove_all(made, error);
    });
    return pattern + "/";
}

} // namespace

const std::string& ScratchFolder() {
    static const std::string folder = MakeScratchFolder();
    return folder;
}

} // namespace tessarine::fuzz
