#include "core/model/SharedModel.h"

#include "core/files/BaseDirectory.h"
#include "core/files/FileStore.h"
#include "core/util/MutexLock.h"
#include "core/util/Strings.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <filesystem>

namespace tessarine {

std::optional<Message> UnreadableSettingsMessage(const LoadResult& loaded,
                                                 const std::string& baseDirectory) {
    if (!loaded.unreadableCopy)
        return std::nullopt;
    const std::string& copy = *loaded.unreadableCopy;
    if (copy.empty())
        return Message{Message::Kind::Error, IDS_SETTINGS_NOT_KEPT, {SettingsFilePath(baseDirectory)}};
    return Message{Message::Kind::Error, IDS_SETTINGS_KEPT, {copy}};
}

// ---- Subscriptions ----

SubscriptionPtr SharedModel::AddSubscription(const std::string& url, const std::string& name) {
    MutexLock lock(mutex_);
    return subscriptions_.AppendNew(url, name);
}

bool SharedModel::IsSubscribed(const std::string& url) const {
    MutexLock lock(mutex_);
    return subscriptions_.ContainsSameFeed(url);
}

bool SharedModel::ChangeUrl(const SubscriptionPtr& record, const std::string& url) {
    MutexLock lock(mutex_);
    return subscriptions_.ChangeUrl(record, url);
}

bool SharedModel::RemoveSubscription(const SubscriptionPtr& record) {
    MutexLock lock(mutex_);
    return subscriptions_.Remove(record);
}

size_t SharedModel::SubscriptionCount() const {
    MutexLock lock(mutex_);
    return subscriptions_.Size();
}

SubscriptionPtr SharedModel::SubscriptionAt(long long index) const {
    MutexLock lock(mutex_);
    return subscriptions_.At(index);
}

std::vector<SubscriptionPtr> SharedModel::Subscriptions() const {
    MutexLock lock(mutex_);
    return subscriptions_.Items();
}

std::vector<SubscriptionSnapshot> SharedModel::SnapshotSubscriptions() const {
    MutexLock lock(mutex_);
    std::vector<SubscriptionSnapshot> rows;
    rows.reserve(subscriptions_.Size());
    for (const SubscriptionPtr& record : subscriptions_.Items())
        rows.push_back({record, *record});
    return rows;
}

Subscription SharedModel::Values(const SubscriptionPtr& record) const {
    MutexLock lock(mutex_);
    return record ? *record : Subscription{};
}

bool SharedModel::MarkAllPending(const std::unordered_set<std::string>& passOver) {
    MutexLock lock(mutex_);
    bool due = false;
    for (const SubscriptionPtr& s : subscriptions_.Items()) {
        if (s->status != NewlyAdded) {
            if (passOver.contains(s->url))
                continue;
            s->status = CheckPending;
        }
        due = true;
    }
    if (due)
        checkAllRequested_ = true;
    return due;
}

void SharedModel::MarkPending(const SubscriptionPtr& record) {
    MutexLock lock(mutex_);
    record->status = CheckPending;
}

bool SharedModel::IsListed(const SubscriptionPtr& record) const {
    const auto& items = subscriptions_.Items();
    return std::find(items.begin(), items.end(), record) != items.end();
}

bool SharedModel::IsDue(const SubscriptionPtr& record) const {
    MutexLock lock(mutex_);
    return (record->status == NewlyAdded || record->status == CheckPending) && IsListed(record);
}

CheckStart SharedModel::BeginCheck(const SubscriptionPtr& record) {
    MutexLock lock(mutex_);
    // Never read yet: newly added, or still under the placeholder name that
    // only a feed's first reading replaces.
    const bool firstRead = record->status == NewlyAdded ||
                           record->name == LoadResString(IDS_NEW_PODCAST, Language::English) ||
                           record->name == LoadResString(IDS_NEW_PODCAST, Language::German);
    record->status = Checking;
    return {record->url, record->name, baseDirectory_, firstRead};
}

void SharedModel::FailCheck(const SubscriptionPtr& record, const Failure& reason) {
    MutexLock lock(mutex_);
    record->status = Error;
    history_.Record(record->url, Error);
    failures_[record->url] = reason;
}

void SharedModel::FinishCheck(const SubscriptionPtr& record, const std::string& name,
                              bool queuedAny, OleDateTime checked) {
    MutexLock lock(mutex_);
    record->name = name;
    record->lastChecked = checked;
    record->status = queuedAny ? NewItemsFound : NoNewItems;
    history_.Record(record->url, record->status);
    failures_.erase(record->url);
}

int32_t SharedModel::LastCheckStatus(const SubscriptionPtr& record) const {
    MutexLock lock(mutex_);
    return record ? history_.StatusOf(record->url) : Idle;
}

bool SharedModel::SaveCheckHistory() {
    MutexLock save(saveMutex_);
    std::string path, bytes;
    {
        MutexLock lock(mutex_);
        if (!history_.Changed() || history_.Path().empty())
            return true;
        std::vector<std::string> listed;
        for (const SubscriptionPtr& record : subscriptions_.Items())
            listed.push_back(record->url);
        path = history_.Path();
        bytes = history_.Take(listed);
    }
    // It names the feeds' addresses, which may carry a password; never
    // written through a link.
    CreatePrivateFolder(std::filesystem::path(path).parent_path().string());
    return WritePrivateFileAtomically(path, bytes);
}

std::unordered_map<std::string, int32_t> SharedModel::CheckStatuses() const {
    MutexLock lock(mutex_);
    return history_.Statuses();
}

void SharedModel::AdoptCheckStatuses(std::unordered_map<std::string, int32_t> statuses,
                                     bool detach) {
    MutexLock lock(mutex_);
    history_.Adopt(std::move(statuses), detach);
}

Failure SharedModel::LastCheckFailure(const SubscriptionPtr& record) const {
    MutexLock lock(mutex_);
    if (!record || history_.StatusOf(record->url) != Error)
        return {};
    const auto found = failures_.find(record->url);
    return found != failures_.end() ? found->second : Failure{};
}

void SharedModel::AdoptCheckFailures(std::unordered_map<std::string, Failure> failures) {
    MutexLock lock(mutex_);
    failures_ = std::move(failures);
}

bool SharedModel::QuitWanted(bool checkAndQuit) const {
    MutexLock lock(mutex_);
    return checkAllRequested_ && (checkAndQuit || options_.quitComplete != 0);
}

// ---- Downloads ----

size_t SharedModel::AppendDownload(const std::string& url, const std::string& folder,
                                  const std::string& fileName, EpisodeRef episode) {
    MutexLock lock(mutex_);
    return downloads_.Append(url, folder, fileName, std::move(episode));
}

std::optional<DownloadEntry> SharedModel::DownloadAt(long long row) const {
    MutexLock lock(mutex_);
    const DownloadEntry* entry = downloads_.At(row);
    if (entry == nullptr)
        return std::nullopt;
    return *entry;
}

std::optional<DownloadStep> SharedModel::DownloadStepAt(size_t row) const {
    MutexLock lock(mutex_);
    const DownloadEntry* entry = downloads_.At(static_cast<long long>(row));
    if (entry == nullptr)
        return std::nullopt;
    return DownloadStep{*entry, baseDirectory_};
}

bool SharedModel::SetDownloadState(size_t row, DownloadState state) {
    MutexLock lock(mutex_);
    DownloadEntry* entry = downloads_.At(static_cast<long long>(row));
    if (entry == nullptr || entry->state == state)
        return false;
    entry->state = state;
    return true;
}

std::optional<SharedModel::QueuedRow>
SharedModel::QueueDownload(const std::string& url, const std::string& folder,
                           const std::string& fileName, EpisodeRef episode,
                           const SubscriptionPtr& subscription) {
    MutexLock lock(mutex_);
    if (subscription && !IsListed(subscription))
        return std::nullopt;
    if (const std::optional<size_t> row = downloads_.Requeue(url, folder, fileName, episode))
        return QueuedRow{*row, true};
    return QueuedRow{downloads_.Append(url, folder, fileName, std::move(episode), subscription),
                     false};
}

bool SharedModel::BeginDownload(size_t row) {
    MutexLock lock(mutex_);
    DownloadEntry* entry = downloads_.At(static_cast<long long>(row));
    if (entry == nullptr || entry->state == DownloadState::Cancelled ||
        entry->state == DownloadState::Removed || entry->state == DownloadState::Downloading)
        return false;
    entry->state = DownloadState::Downloading;
    return true;
}

DownloadState SharedModel::EndDownload(size_t row, DownloadState state) {
    MutexLock lock(mutex_);
    DownloadEntry* entry = downloads_.At(static_cast<long long>(row));
    if (entry == nullptr)
        return state;
    if (state == DownloadState::Done || entry->state == DownloadState::Downloading)
        entry->state = state;
    return entry->state;
}

std::optional<DownloadState> SharedModel::CancelDownload(size_t row) {
    MutexLock lock(mutex_);
    DownloadEntry* entry = downloads_.At(static_cast<long long>(row));
    if (entry == nullptr ||
        (entry->state != DownloadState::Waiting && entry->state != DownloadState::Downloading &&
         entry->state != DownloadState::Failed))
        return std::nullopt;
    return std::exchange(entry->state, DownloadState::Cancelled);
}

bool SharedModel::RetryDownload(size_t row) {
    MutexLock lock(mutex_);
    DownloadEntry* entry = downloads_.At(static_cast<long long>(row));
    if (entry == nullptr ||
        (entry->state != DownloadState::Failed && entry->state != DownloadState::Cancelled))
        return false;
    entry->state = DownloadState::Waiting;
    return true;
}

std::vector<size_t> SharedModel::UnfinishedDownloadsOf(const SubscriptionPtr& subscription) const {
    MutexLock lock(mutex_);
    return downloads_.UnfinishedOf(subscription);
}

std::vector<size_t> SharedModel::RemoveFinishedDownloads() {
    MutexLock lock(mutex_);
    std::vector<size_t> rows = downloads_.Finished();
    for (size_t row : rows)
        downloads_.At(static_cast<long long>(row))->state = DownloadState::Removed;
    return rows;
}

// ---- Base directory and options ----

std::string SharedModel::BaseDirectory() const {
    MutexLock lock(mutex_);
    return baseDirectory_;
}

void SharedModel::SetBaseDirectory(const std::string& base) {
    MutexLock lock(mutex_);
    baseDirectory_ = base;
}

void SharedModel::ReplaceBaseDirectory(const std::string& base) {
    MutexLock lock(mutex_);
    baseDirectory_ = base;
    subscriptions_.Clear();
}

OptionSet SharedModel::Options() const {
    MutexLock lock(mutex_);
    return options_;
}

void SharedModel::SetOptions(const OptionSet& options) {
    MutexLock lock(mutex_);
    options_ = options;
}

void SharedModel::Reset(const std::string& base) {
    MutexLock lock(mutex_);
    options_.updateStart = 1;
    options_.quitComplete = 0;
    checkAllRequested_ = false;
    baseDirectory_ = base;
}

void SharedModel::SetCheckHistoryDirectory(const std::string& directory) {
    MutexLock lock(mutex_);
    historyDirectory_ = directory;
}

// ---- The settings file ----

bool SharedModel::SaveSettings() {
    MutexLock save(saveMutex_);
    std::string path, bytes;
    {
        MutexLock lock(mutex_);
        if (saveHolds_ > 0) {
            saveDeferred_ = true;
            return true;
        }
        path = SettingsFilePath(baseDirectory_);
        bytes = SerializeSettings(options_, subscriptions_);
    }
    const bool written = WriteFileAtomically(path, bytes);
    const int reason = errno;
    MutexLock lock(mutex_);
    if (written)
        saveFailure_.reset();
    else
        saveFailure_ = Message{Message::Kind::Error, IDS_ERROR_CREATING_FILE_REASON,
                               {path, std::strerror(reason)}, FileFailure(reason)};
    return written;
}

std::optional<Message> SharedModel::TakeSaveFailure() {
    MutexLock lock(mutex_);
    return std::exchange(saveFailure_, std::nullopt);
}

OpmlImportCounts SharedModel::AddFeeds(const std::vector<OpmlFeed>& feeds) {
    MutexLock lock(mutex_);
    return AddOpmlFeeds(subscriptions_, feeds);
}

std::string SharedModel::ExportOpml(std::string_view title, std::time_t created,
                                    const OpmlSettingsOf& settingsOf) const {
    MutexLock lock(mutex_);
    return SerializeOpml(subscriptions_, title, created, settingsOf);
}

SharedModel::SaveHold::SaveHold(SharedModel& model) : model_(model) {
    MutexLock lock(model_.mutex_);
    ++model_.saveHolds_;
}

SharedModel::SaveHold::~SaveHold() {
    bool save;
    {
        MutexLock lock(model_.mutex_);
        save = --model_.saveHolds_ == 0 && model_.saveDeferred_;
        if (save)
            model_.saveDeferred_ = false;
    }
    if (save)
        model_.SaveSettings();
}

LoadResult SharedModel::LoadSettings() {
    const SaveHold hold(*this);
    LoadResult result;
    std::string base, historyDirectory;
    {
        MutexLock lock(mutex_);
        base = baseDirectory_;
        historyDirectory = historyDirectory_;
    }
    CheckHistory history;
    history.Load(historyDirectory, base);
    {
        MutexLock lock(mutex_);
        history_ = std::move(history);
        failures_.clear();
    }
    const SettingsLoad load = LoadSettingsFile(SettingsFilePath(base));
    if (load.unreadable)
        result.unreadableCopy = load.keptCopy;
    const auto& stored = load.settings;
    if (!stored)
        return result;
    result.loaded = true;
    MutexLock lock(mutex_);
    if (stored->updateStart) {
        options_.updateStart = *stored->updateStart;
        options_.quitComplete = *stored->quitComplete;
    }
    for (const StoredFeed& feed : stored->feeds) {
        if (SubscriptionPtr record = subscriptions_.Append(feed.url, feed.name))
            record->lastChecked = OleDateTime::ParseStored(feed.lastChecked);
        else
            result.duplicates.push_back(feed.url);
    }
    return result;
}

} // namespace tessarine
