#include "support/TestSupport.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tessarine::test {

void Signal::Set() {
    {
        std::lock_guard lock(mutex_);
        isSet_ = true;
    }
    set_.notify_all();
}

bool Signal::IsSet() const {
    std::lock_guard lock(mutex_);
    return isSet_;
}

bool Signal::Wait(std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return set_.wait_for(lock, limit, [this] { return isSet_; });
}

FolderWatch::FolderWatch(const std::filesystem::path& folder)
    : fd_(inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
    if (fd_ < 0)
        throw std::runtime_error("cannot watch folders");
    WatchTree(folder);
}

FolderWatch::~FolderWatch() {
    ::close(fd_);
}

void FolderWatch::WatchTree(const std::filesystem::path& folder) {
    constexpr uint32_t kChanges = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO |
                                  IN_MOVED_FROM | IN_ATTRIB | IN_ONLYDIR;
    const int watch = inotify_add_watch(fd_, folder.c_str(), kChanges);
    if (watch < 0)
        return; // gone again: nothing to see below it
    folders_[watch] = folder;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        if (it->is_directory(error) && !it->is_symlink(error))
            WatchTree(it->path());
}

bool FolderWatch::Until(const std::function<bool()>& ready, std::chrono::milliseconds limit,
                        int alsoWake) {
    const auto end = std::chrono::steady_clock::now() + limit;
    // Each change is read before `ready` is asked, so none between the two is missed.
    while (!ready()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd wake[2] = {{fd_, POLLIN, 0}, {alsoWake, POLLIN, 0}};
        if (::poll(wake, alsoWake < 0 ? 1 : 2, static_cast<int>(left.count())) <= 0)
            continue;
        if (wake[1].revents != 0)
            return ready(); // a process's end or the like: asked once more, finally
        alignas(inotify_event) char buffer[16384];
        for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;)
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                auto folder = folders_.find(event->wd);
                if ((event->mask & IN_CREATE) && (event->mask & IN_ISDIR) && event->len > 0 &&
                    folder != folders_.end())
                    WatchTree(folder->second / event->name); // before `ready` looks into it
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
    }
    return true;
}

TempDir::TempDir() {
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate =
            std::filesystem::temp_directory_path() / ("tessarine-test-" + std::to_string(device()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code error;
    // Make read-only folders that a test left behind removable again.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(path_, error);
}

std::string TempDir::Base() const {
    return path_.string() + "/";
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str()))
        old_ = old;
    if (value)
        setenv(name_.c_str(), value->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        setenv(name_.c_str(), old_->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

namespace {

// No test writes into the user's own cache folder: every test program (and
// every program a test starts, which inherits the environment) keeps the
// program's cache in a folder of its own run, removed at its end.
struct OwnCacheFolder {
    TempDir dir;
    OwnCacheFolder() { setenv("XDG_CACHE_HOME", dir.Path().c_str(), 1); }
};

const OwnCacheFolder ownCacheFolder;

} // namespace

const std::filesystem::path& TestCacheHome() {
    return ownCacheFolder.dir.Path();
}

std::filesystem::path PeerFeedsDir() {
    std::filesystem::path dir = TESSARINE_PEER_FEEDS;
    std::error_code error;
    return std::filesystem::is_directory(dir, error) ? dir : std::filesystem::path();
}

namespace {
constexpr std::uintmax_t kSparseBytes = std::uintmax_t{3} << 30;
}

const char* NameOf(SpecialFile kind) {
    switch (kind) {
    case SpecialFile::Fifo:
        return "FIFO";
    case SpecialFile::Folder:
        return "folder";
    case SpecialFile::LinkOutside:
        return "link to a file elsewhere";
    case SpecialFile::Sparse:
        return "sparse 3 GiB file";
    }
    return "";
}

void MakeSpecialFile(SpecialFile kind, const std::filesystem::path& at,
                     const std::filesystem::path& outside) {
    namespace fs = std::filesystem;
    fs::remove_all(at);
    switch (kind) {
    case SpecialFile::Fifo:
        if (::mkfifo(at.c_str(), 0600) != 0)
            throw std::runtime_error("mkfifo " + at.string());
        break;
    case SpecialFile::Folder:
        fs::create_directories(at);
        break;
    case SpecialFile::LinkOutside:
        WriteFile(outside, "outside");
        fs::create_symlink(outside, at);
        break;
    case SpecialFile::Sparse:
        WriteFile(at, "");
        fs::resize_file(at, kSparseBytes);
        break;
    }
}

bool SpecialFileIntact(SpecialFile kind, const std::filesystem::path& at,
                       const std::filesystem::path& outside) {
    namespace fs = std::filesystem;
    std::error_code error;
    switch (kind) {
    case SpecialFile::Fifo:
        return fs::symlink_status(at, error).type() == fs::file_type::fifo;
    case SpecialFile::Folder:
        return fs::symlink_status(at, error).type() == fs::file_type::directory &&
               fs::is_empty(at, error);
    case SpecialFile::LinkOutside:
        return fs::is_symlink(at, error) && fs::read_symlink(at, error) == outside &&
               ReadFile(outside) == "outside";
    case SpecialFile::Sparse:
        return fs::symlink_status(at, error).type() == fs::file_type::regular &&
               fs::file_size(at, error) == kSparseBytes;
    }
    return false;
}

} // namespace tessarine::test
