#include "mainwindow/ArtworkThumbnails.h"

#include "core/net/FeedAddress.h"
#include "core/net/HttpClient.h"
#include "core/util/Fnv1a.h"

#include <QByteArray>
#include <QImage>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

namespace tessarine {
namespace {

namespace fs = std::filesystem;

QImage Scaled(const QImage& image) {
    if (image.isNull())
        return {};
    if (image.width() <= ArtworkThumbnails::kSize && image.height() <= ArtworkThumbnails::kSize)
        return image.convertToFormat(QImage::Format_ARGB32);
    return image
        .scaled(ArtworkThumbnails::kSize, ArtworkThumbnails::kSize, Qt::KeepAspectRatio,
                Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_ARGB32);
}

} // namespace

ArtworkThumbnails::ArtworkThumbnails(std::string folder, HttpOptions options, QObject* parent)
    : QObject(parent), folder_(std::move(folder)), options_(std::move(options)) {}

ArtworkThumbnails::~ArtworkThumbnails() {
    cancel_ = true;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

QPixmap ArtworkThumbnails::Thumbnail(const std::string& url) const {
    const auto found = entries_.find(url);
    return found != entries_.end() ? found->second.pixmap : QPixmap();
}

std::string ArtworkThumbnails::FileOf(const std::string& url) const {
    if (folder_.empty())
        return {};
    char name[24];
    std::snprintf(name, sizeof name, "%016llx.png", static_cast<unsigned long long>(Fnv1a(url)));
    return (fs::path(folder_) / name).string();
}

void ArtworkThumbnails::Request(const std::string& url) {
    if (url.empty() || entries_.count(url) != 0)
        return;
    if (!IsWebUrl(url)) {
        entries_[url].state = State::Failed;
        return;
    }
    entries_[url].state = State::Loading;
    {
        std::lock_guard lock(mutex_);
        wanted_.push_back(url);
    }
    wake_.notify_one();
    // The workers start with the first request and stay until the end; a
    // window whose list shows no artwork starts none.
    while (workers_.size() < kWorkers)
        workers_.emplace_back([this] { Work(); });
}

void ArtworkThumbnails::Work() {
    for (;;) {
        std::string url;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !wanted_.empty(); });
            if (stopping_)
                return;
            url = std::move(wanted_.front());
            wanted_.pop_front();
        }
        QImage image = Load(url);
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            loaded_.emplace_back(std::move(url), std::move(image));
        }
        // Posted to this object: dropped with it should it go first. The
        // destructor joins the workers, so it is alive while this is posted.
        QMetaObject::invokeMethod(this, "TakeLoaded", Qt::QueuedConnection);
    }
}

void ArtworkThumbnails::TakeLoaded() {
    std::vector<std::pair<std::string, QImage>> loaded;
    {
        std::lock_guard lock(mutex_);
        loaded.swap(loaded_);
    }
    for (auto& [url, image] : loaded) {
        Entry& entry = entries_[url];
        if (image.isNull()) {
            entry.state = State::Failed;
            continue;
        }
        entry.state = State::Loaded;
        entry.pixmap = QPixmap::fromImage(image);
        emit ready(QString::fromStdString(url));
    }
}

QImage ArtworkThumbnails::Load(const std::string& url) const {
    const std::string file = FileOf(url);
    if (!file.empty()) {
        QImage kept;
        if (kept.load(QString::fromStdString(file), "PNG")) {
            // Used now: the folder's pruning keeps what is in use.
            std::error_code ignored;
            fs::last_write_time(file, fs::file_time_type::clock::now(), ignored);
            return kept;
        }
    }
    QImage thumbnail = Scaled(Fetch(url));
    if (!thumbnail.isNull() && !file.empty())
        Store(url, thumbnail);
    return thumbnail;
}

QImage ArtworkThumbnails::Fetch(const std::string& url) const {
    HttpSession session(options_, &cancel_);
    std::string body;
    const HttpResult result = session.FetchToString(url, body, kMaxArtworkBytes);
    if (!result.Complete() || result.status < 200 || result.status > 299)
        return {};
    QImage image;
    image.loadFromData(QByteArray::fromRawData(body.data(), static_cast<qsizetype>(body.size())));
    // A picture of absurd dimensions is no artwork to scale down here.
    if (image.width() > 8000 || image.height() > 8000)
        return {};
    return image;
}

void ArtworkThumbnails::Store(const std::string& url, const QImage& thumbnail) const {
    std::error_code error;
    fs::create_directories(folder_, error);
    if (error)
        return;
    // Written beside its place and renamed: a reader never sees half a file.
    QSaveFile file(QString::fromStdString(FileOf(url)));
    if (!file.open(QIODevice::WriteOnly) || !thumbnail.save(&file, "PNG") || !file.commit())
        return;
    if (!pruned_.exchange(true))
        Prune();
}

void ArtworkThumbnails::Prune() const {
    std::vector<std::pair<fs::file_time_type, fs::path>> files;
    std::error_code error;
    for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() != ".png" || !it->is_regular_file(error))
            continue;
        files.emplace_back(it->last_write_time(error), it->path());
    }
    if (files.size() <= static_cast<size_t>(kMaxFiles))
        return;
    std::sort(files.begin(), files.end()); // oldest first
    for (size_t i = 0; i + kMaxFiles < files.size(); ++i)
        fs::remove(files[i].second, error);
}

} // namespace tessarine
