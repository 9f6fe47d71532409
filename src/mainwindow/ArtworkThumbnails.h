#pragma once
// Small pictures of podcasts' artwork for a list: fetched on worker threads
// when a row asks for one, scaled down and kept in a folder of the program's
// cache (one PNG per artwork address), so that the next search shows them
// without the network. What is in memory is handed out as pixmaps on the GUI
// thread; nothing is fetched unless asked for.

#include "core/net/HttpMessage.h"

#include <QObject>
#include <QPixmap>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tessarine {

class ArtworkThumbnails : public QObject {
    Q_OBJECT
public:
    // Thumbnails are kept in `folder` (none kept on disk when it is empty);
    // the artwork is fetched with `options`.
    ArtworkThumbnails(std::string folder, HttpOptions options, QObject* parent = nullptr);
    // Stops the fetches under way and waits for the workers.
    ~ArtworkThumbnails() override;

    // The longer side of a thumbnail, in pixels.
    static constexpr int kSize = 80;
    // Artwork larger than this is not read.
    static constexpr int64_t kMaxArtworkBytes = int64_t{8} << 20;
    // The folder keeps the newest this many thumbnails.
    static constexpr int kMaxFiles = 2000;
    // A list asks for a screenful at a time: a few fetches at once fill it
    // soon without flooding the artwork's servers.
    static constexpr size_t kWorkers = 3;

    // The thumbnail of `url` once it is loaded; a null pixmap before, and
    // for artwork that could not be had.
    QPixmap Thumbnail(const std::string& url) const;
    // Loads the thumbnail of `url` (from the folder, else from the network)
    // unless it is loaded, on its way or could not be had this session;
    // `ready` tells when it is there.
    void Request(const std::string& url);
    // The file a thumbnail of `url` is kept in; empty without a folder.
    std::string FileOf(const std::string& url) const;

signals:
    // The thumbnail of `url` is loaded.
    void ready(const QString& url);

private slots:
    // On the GUI thread: takes what the workers loaded.
    void TakeLoaded();

private:
    enum class State { Loading, Loaded, Failed };
    struct Entry {
        State state = State::Loading;
        QPixmap pixmap;
    };
    // On a worker: the thumbnail from the folder, else fetched and stored.
    QImage Load(const std::string& url) const;
    QImage Fetch(const std::string& url) const;
    void Store(const std::string& url, const QImage& thumbnail) const;
    // Keeps the folder at kMaxFiles, dropping the oldest thumbnails.
    void Prune() const;
    // A worker's loop: loads the addresses asked for until the end.
    void Work();

    std::string folder_;
    HttpOptions options_;
    std::map<std::string, Entry> entries_; // GUI thread only

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::string> wanted_;                     // guarded by mutex_
    std::vector<std::pair<std::string, QImage>> loaded_; // guarded by mutex_
    bool stopping_ = false;                              // guarded by mutex_
    std::vector<std::thread> workers_;                   // GUI thread only
    std::atomic<bool> cancel_{false};
    mutable std::atomic<bool> pruned_{false};
};

} // namespace tessarine
